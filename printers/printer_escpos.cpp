#include "printers/printer_escpos.h"

#include "render/dots.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// GS v 0 mode byte: normal, double width, double height or both, chosen
// from the two resolutions the bitmap was made for.
uint8_t RasterMode(int dpi1, int dpi2)
{
    if (dpi1 > 202 && dpi2 > 202)
        return 0x00;
    if (dpi1 > 202 && dpi2 == 100)
        return 0x01;
    if (dpi1 == 100 && dpi2 > 202)
        return 0x02;
    if (dpi1 == 100 && dpi2 == 100)
        return 0x03;
    return 0x00;
}

int ClampToInt(long long value)
{
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

}  // namespace

CPrinterESCPOS::CPrinterESCPOS()
{
    AddLog("new CPrinterESCPOS()");
}

CPrinterESCPOS::~CPrinterESCPOS() = default;

bool CPrinterESCPOS::OnInit()
{
    return true;
}

bool CPrinterESCPOS::OnDestroy()
{
    int partial;
    if (regStruct.iCutMode == kCutJobFull)
        partial = 0;
    else if (regStruct.iCutMode == kCutJobPartial)
        partial = 1;
    else
        return true;
    // The end-of-document cut goes out on its own.
    pageBuffer.InitBuffer(0);
    cmdCutPaper(partial);
    const bool sent = SpoolBuffer(pageBuffer);
    pageBuffer.InitBuffer(0);
    return sent;
}

bool CPrinterESCPOS::OnPaintBmp()
{
    // A page the preparation had to drop (left without pixels) sends nothing.
    if (!image.IsValid())
        return true;
    // The printer burns 1 bits; the prepared page has 0 = black.
    Negative();
    pageBuffer.InitBuffer(0);

    if (regStruct.iCashDrawer == kDrawerBeforePage)
        cmdOpenMoneyBox();
    cmdInit();
    cmdAlignCenter();

    const size_t bytesPerRow = (static_cast<size_t>(image.GetWidth()) + 7) / 8;
    const size_t rows = image.GetHeight();
    const uint8_t *bits = image.GetBits(0);
    const size_t stored = static_cast<size_t>(image.GetEffWidth()) * rows;
    if (bits != nullptr && rows > 0 && bytesPerRow == image.GetEffWidth() && stored <= static_cast<size_t>(INT_MAX)) {
        // The stored rows have no tail bytes: they already are the raster
        // data, and need not be collected into a copy first.
        ReservePageBuffer(stored + (rows / kMaxRasterRows + 1) * 8 + 64);
        PrintBMP(iDpi, iDpi, ClampToInt(static_cast<long long>(bytesPerRow)), ClampToInt(static_cast<long long>(rows)),
                 bits, static_cast<int>(stored));
    } else {
        CMyBuffer data;
        CollectRows(data, bytesPerRow);
        if (!BufferIntact(data))
            return false;
        // Room for the image and one raster header per 65 535 rows.
        ReservePageBuffer(static_cast<size_t>(data.GetBufferLength()) + (rows / kMaxRasterRows + 1) * 8 + 64);
        PrintBMP(iDpi, iDpi, ClampToInt(static_cast<long long>(bytesPerRow)),
                 ClampToInt(static_cast<long long>(rows)), data.GetBuffer(), data.GetBufferLength());
    }

    if (regStruct.iFeedLength >= 1)
        PrintAndFeedPaper(regStruct.iFeedLength);
    if (regStruct.iCutMode == kCutPageFull)
        cmdCutPaper(0);
    else if (regStruct.iCutMode == kCutPagePartial)
        cmdCutPaper(1);
    cmdEndPrint();
    if (regStruct.iCashDrawer == kDrawerAfterPage)
        cmdOpenMoneyBox();

    const bool sent = SpoolBuffer(pageBuffer);
    pageBuffer.InitBuffer(0);
    return sent;
}

void CPrinterESCPOS::cmdInit()
{
    static const uint8_t bytes[] = {0x1B, 0x40, 0x00};
    pageBuffer.AddBuffer(bytes, sizeof(bytes));
}

void CPrinterESCPOS::cmdAlignCenter()
{
    static const uint8_t bytes[] = {0x1B, 0x61, 0x01};
    pageBuffer.AddBuffer(bytes, sizeof(bytes));
}

void CPrinterESCPOS::cmdCutPaper(int partial)
{
    const uint8_t bytes[] = {0x1D, 0x56, static_cast<uint8_t>(partial == 0 ? 0x30 : 0x31)};
    pageBuffer.AddBuffer(bytes, sizeof(bytes));
}

void CPrinterESCPOS::PrintAndFeedPaper(int mm)
{
    const int dots = DotsFromMm(mm, iDpi);
    if (dots <= 255) {
        const uint8_t bytes[] = {0x1B, 0x4A, static_cast<uint8_t>(dots < 0 ? 0 : dots)};
        pageBuffer.AddBuffer(bytes, sizeof(bytes));
        return;
    }
    // ESC J feeds at most 255 dots at a time. The steps are appended in one
    // block: the buffer grows to the exact size each append needs.
    const int steps = dots / 255;
    const int rest = dots % 255;
    std::vector<uint8_t> bytes(static_cast<size_t>(steps + (rest > 0 ? 1 : 0)) * 3);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        bytes[i] = 0x1B;
        bytes[i + 1] = 0x4A;
        bytes[i + 2] = 0xFF;
    }
    if (rest > 0)
        bytes.back() = static_cast<uint8_t>(rest);
    pageBuffer.AddBuffer(bytes.data(), static_cast<int>(bytes.size()));
}

void CPrinterESCPOS::PrintBMP(int dpi1, int dpi2, int widthBytes, int height, const void *data, int length)
{
    if (widthBytes < 0 || widthBytes > kMaxRasterWidthBytes) {
        // Wrapping the width would print the page as garbage.
        ReportError("The page is too wide for the printer: %d bytes per row, the raster command carries at most %d.",
                    widthBytes, kMaxRasterWidthBytes);
        return;
    }
    const uint8_t mode = RasterMode(dpi1, dpi2);
    auto header = [&](int rows) {
        const uint8_t bytes[] = {0x1D,
                                 0x76,
                                 0x30,
                                 mode,
                                 static_cast<uint8_t>(widthBytes & 0xFF),
                                 static_cast<uint8_t>((widthBytes >> 8) & 0xFF),
                                 static_cast<uint8_t>(rows & 0xFF),
                                 static_cast<uint8_t>((rows >> 8) & 0xFF)};
        pageBuffer.AddBuffer(bytes, sizeof(bytes));
    };
    if (height <= kMaxRasterRows) {
        header(height);
        pageBuffer.AddBuffer(data, length);
        return;
    }
    // Taller than one command can say: consecutive commands of at most
    // 65 535 rows each, in order, so no row is lost or wrapped.
    const uint8_t *bytes = static_cast<const uint8_t *>(data);
    size_t left = length > 0 && data != nullptr ? static_cast<size_t>(length) : 0;
    for (int rowsLeft = height; rowsLeft > 0;) {
        const int rows = std::min(rowsLeft, kMaxRasterRows);
        const size_t chunk = std::min(left, static_cast<size_t>(rows) * static_cast<size_t>(widthBytes));
        header(rows);
        pageBuffer.AddBuffer(bytes, static_cast<int>(chunk));
        if (chunk > 0)
            bytes += chunk;
        left -= chunk;
        rowsLeft -= rows;
    }
}

void CPrinterESCPOS::cmdEndPrint() {}

void CPrinterESCPOS::cmdOpenMoneyBox()
{
    static const uint8_t bytes[] = {0x1B, 0x70, 0x00, 0xFF, 0xFF};
    pageBuffer.AddBuffer(bytes, sizeof(bytes));
}

void CPrinterESCPOS::CollectRows(CMyBuffer &out, size_t bytesPerRow) const
{
    const uint8_t *bits = image.GetBits(0);
    const size_t effWidth = image.GetEffWidth();
    const size_t rows = image.GetHeight();
    out.InitBuffer(0);
    if (bits == nullptr || rows == 0)
        return;
    bytesPerRow = std::min(bytesPerRow, effWidth);
    const size_t total = effWidth * rows;
    if (total <= static_cast<size_t>(INT_MAX))
        out.SetBufferSize(static_cast<int>(total));
    for (size_t y = 0; y < rows; ++y)
        out.AddBuffer(bits + y * effWidth, static_cast<int>(bytesPerRow));
}

void CPrinterESCPOS::ReservePageBuffer(size_t extra)
{
    const size_t need = static_cast<size_t>(pageBuffer.GetBufferLength()) + extra;
    if (need <= static_cast<size_t>(INT_MAX))
        pageBuffer.SetBufferSize(static_cast<int>(need));
}
