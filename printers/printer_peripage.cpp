#include "printers/printer_peripage.h"

#include <algorithm>
#include <climits>
#include <zlib.h>

CPrinterPeriPage::Compressor CPrinterPeriPage::compressor = &CPrinterPeriPage::DeflateWindow10;

CPrinterPeriPage::CPrinterPeriPage()
{
    AddLog("new CPrinterPeriPage()");
}

CPrinterPeriPage::~CPrinterPeriPage() = default;

// The printer is set up by every page's own commands and takes no
// end-of-document cut.
bool CPrinterPeriPage::OnInit()
{
    return true;
}

bool CPrinterPeriPage::OnDestroy()
{
    return true;
}

bool CPrinterPeriPage::OnPaintBmp()
{
    // A page the preparation had to drop (left without pixels) sends nothing.
    if (!image.IsValid())
        return true;
    const int media = regStruct.iGap[0];
    if (media == kMediaRecording) {
        // Recording paper: no blank paper above or below the trace.
        CropWhiteEdge(-1, -1, 0, 0);
        AdjustEffWidthBits();
    }
    // The printer burns 1 bits; the prepared page has 0 = black.
    Negative();
    pageBuffer.InitBuffer(0);

    cmdInit();
    cmdDENSITY(regStruct.iDensity);
    cmdAlignCenter();

    // The print head is 208 bytes wide at 203 dpi and 312 above; the
    // compressed form is cut to it, the raster command is sent whole.
    size_t bytesPerLine = (static_cast<size_t>(image.GetWidth()) + 7) / 8;
    if (halftone.ImageCompress)
        bytesPerLine = std::min<size_t>(bytesPerLine, iDpi <= 203 ? 208 : 312);
    const size_t rows = image.GetHeight();
    CMyBuffer data;
    CollectRows(data, bytesPerLine);
    if (!BufferIntact(data))
        return false;
    ReservePageBuffer(static_cast<size_t>(data.GetBufferLength()) + (rows / kMaxRasterRows + 1) * 10 + 64);
    PrintBMP(iDpi, iDpi, static_cast<int>(std::min<size_t>(bytesPerLine, INT_MAX)),
             static_cast<int>(std::min<size_t>(rows, INT_MAX)), data.GetBuffer(), data.GetBufferLength());

    if (media == kMediaGap || media == kMediaBlackMark || media == kMediaPerforated) {
        static const uint8_t nextMark[] = {0x1D, 0x0C};
        pageBuffer.AddBuffer(nextMark, sizeof(nextMark));
    }
    if (regStruct.iFeedLength > 0)
        PrintAndFeedPaper(regStruct.iFeedLength);
    if (media == kMediaContinuous || media == kMediaRoll)
        cmdCutLine();
    cmdEndPrint();

    const bool sent = SpoolBuffer(pageBuffer);
    pageBuffer.InitBuffer(0);
    return sent;
}

void CPrinterPeriPage::cmdInit()
{
    static const uint8_t start[] = {0x10, 0xFF, 0xFE, 0x01};
    pageBuffer.AddBuffer(start, sizeof(start));

    // Media byte by media type 0 to 7.
    static const int mediaByte[] = {0x01, 0x02, 0x00, 0x03, 0x01, 0x01, 0x04, 0x05};
    const int media = regStruct.iGap[0];
    if (media >= 0 && media < static_cast<int>(sizeof(mediaByte) / sizeof(mediaByte[0]))) {
        const uint8_t bytes[] = {0x10, 0xFF, 0x10, 0x03, static_cast<uint8_t>(mediaByte[media])};
        pageBuffer.AddBuffer(bytes, sizeof(bytes));
    }

    static const uint8_t reset[] = {0x1B, 0x40, 0x00};
    pageBuffer.AddBuffer(reset, sizeof(reset));
}

void CPrinterPeriPage::cmdDENSITY(int density)
{
    if (density < 0)
        return;
    const uint8_t bytes[] = {0x10, 0xFF, 0x10, 0x00, static_cast<uint8_t>(std::min(density, 5))};
    pageBuffer.AddBuffer(bytes, sizeof(bytes));
}

void CPrinterPeriPage::cmdCutLine()
{
    static const uint8_t bytes[] = {0x10, 0x50};
    pageBuffer.AddBuffer(bytes, sizeof(bytes));
}

void CPrinterPeriPage::cmdEndPrint()
{
    static const uint8_t bytes[] = {0x10, 0xFF, 0xFE, 0x45};
    pageBuffer.AddBuffer(bytes, sizeof(bytes));
}

void CPrinterPeriPage::PrintBMP(int dpi1, int dpi2, int widthBytes, int height, const void *data, int length)
{
    if (!halftone.ImageCompress) {
        CPrinterESCPOS::PrintBMP(dpi1, dpi2, widthBytes, height, data, length);
        return;
    }
    if (widthBytes < 0 || widthBytes > 65535) {
        ReportError("The page is too wide for the printer: %d bytes per row, the bitmap block carries at most 65535.",
                    widthBytes);
        return;
    }
    const uint8_t *bytes = static_cast<const uint8_t *>(data);
    size_t left = length > 0 && data != nullptr ? static_cast<size_t>(length) : 0;

    // All blocks are built first: a page whose compression fails loses its
    // whole bitmap, never a part of it.
    std::vector<uint8_t> blocks;
    bool compressed = true;
    if (height <= kMaxRasterRows) {
        compressed = AddCompressedBlock(blocks, widthBytes, height, bytes, left);
    } else {
        // The block header counts rows in 16 bits: a taller page goes out as
        // consecutive blocks of at most 65 535 rows each.
        for (int rowsLeft = height; rowsLeft > 0 && compressed;) {
            const int rows = std::min(rowsLeft, kMaxRasterRows);
            const size_t chunk = std::min(left, static_cast<size_t>(rows) * static_cast<size_t>(widthBytes));
            compressed = AddCompressedBlock(blocks, widthBytes, rows, bytes, chunk);
            if (chunk > 0)
                bytes += chunk;
            left -= chunk;
            rowsLeft -= rows;
        }
    }
    if (!compressed) {
        ReportError("The page bitmap could not be compressed; the page is sent without it.");
        return;
    }
    if (blocks.size() > static_cast<size_t>(INT_MAX)) {
        ReportError("The compressed page bitmap is larger than 2 GiB; the page is sent without it.");
        return;
    }
    pageBuffer.AddBuffer(blocks.data(), static_cast<int>(blocks.size()));
}

bool CPrinterPeriPage::AddCompressedBlock(std::vector<uint8_t> &out, int widthBytes, int rows, const uint8_t *data, size_t length)
{
    std::vector<uint8_t> stream;
    if (!compressor(data, length, stream) || stream.size() < 2 || stream.size() - 2 > 0x7FFFFFFFu)
        return false;
    // The printer takes the deflate data and the Adler-32 trailer without
    // zlib's two-byte stream header.
    const uint32_t size = static_cast<uint32_t>(stream.size() - 2);
    const uint8_t header[] = {0x1F,
                              0x00,
                              static_cast<uint8_t>((widthBytes >> 8) & 0xFF),
                              static_cast<uint8_t>(widthBytes & 0xFF),
                              static_cast<uint8_t>((rows >> 8) & 0xFF),
                              static_cast<uint8_t>(rows & 0xFF),
                              static_cast<uint8_t>(size >> 24),
                              static_cast<uint8_t>((size >> 16) & 0xFF),
                              static_cast<uint8_t>((size >> 8) & 0xFF),
                              static_cast<uint8_t>(size & 0xFF)};
    out.insert(out.end(), header, header + sizeof(header));
    out.insert(out.end(), stream.begin() + 2, stream.end());
    return true;
}

bool CPrinterPeriPage::DeflateWindow10(const uint8_t *data, size_t length, std::vector<uint8_t> &stream)
{
    if (length > UINT_MAX)
        return false;
    z_stream zs{};
    zs.zalloc = Z_NULL;
    zs.zfree = Z_NULL;
    zs.opaque = Z_NULL;
    if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 10, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    const uLong bound = deflateBound(&zs, static_cast<uLong>(length));
    if (bound > UINT_MAX) {
        deflateEnd(&zs);
        return false;
    }
    stream.resize(bound);
    zs.next_in = const_cast<Bytef *>(data);
    zs.avail_in = static_cast<uInt>(length);
    zs.next_out = stream.data();
    zs.avail_out = static_cast<uInt>(bound);
    const int finished = deflate(&zs, Z_FINISH);
    const size_t produced = zs.total_out;
    const int ended = deflateEnd(&zs);
    if (finished != Z_STREAM_END || ended != Z_OK)
        return false;
    stream.resize(produced);
    return true;
}

CPrinterPeriPage::Compressor CPrinterPeriPage::SetCompressorForTest(Compressor replacement)
{
    const Compressor previous = compressor;
    compressor = replacement != nullptr ? replacement : &CPrinterPeriPage::DeflateWindow10;
    return previous;
}
