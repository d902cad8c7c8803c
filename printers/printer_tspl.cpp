#include "printers/printer_tspl.h"

#include "render/dots.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// Room for every command of a page besides the bitmap bytes.
constexpr int kCommandRoom = 1024;

struct FreeDeleter {
    void operator()(Bytef *p) const { std::free(p); }
};

} // namespace

CPrinterTSPL::CPrinterTSPL() = default;

CPrinterTSPL::~CPrinterTSPL() = default;

void CPrinterTSPL::Reserve(int bytes)
{
    // Sized ahead so that a large page grows the buffer once and never meets
    // its ceiling, which would drop the commands before the bitmap.
    const int64_t need = int64_t{pageBuffer.GetBufferLength()} + bytes + kCommandRoom;
    if (need <= INT_MAX)
        pageBuffer.SetBufferSize(static_cast<int>(need));
}

void CPrinterTSPL::AddLineEnd()
{
    pageBuffer.AddStringA("\r\n");
}

void CPrinterTSPL::AddUnit(Unit unit)
{
    if (unit == Unit::Millimetre)
        pageBuffer.AddStringA(" mm");
    else if (unit == Unit::Dot)
        pageBuffer.AddStringA(" dot");
}

void CPrinterTSPL::AddSwitch(const char *command, bool on)
{
    pageBuffer.AddStringA(command);
    pageBuffer.AddStringA(on ? "ON" : "OFF");
    AddLineEnd();
}

void CPrinterTSPL::cmdSIZE(double width, double height, Unit unit)
{
    char number[512];
    pageBuffer.AddStringA("SIZE ");
    std::snprintf(number, sizeof(number), "%.2lf", width);
    pageBuffer.AddStringA(number);
    AddUnit(unit);
    pageBuffer.AddStringA(",");
    std::snprintf(number, sizeof(number), "%.2lf", height);
    pageBuffer.AddStringA(number);
    AddUnit(unit);
    AddLineEnd();
}

void CPrinterTSPL::cmdSetRibbon(bool on)
{
    AddSwitch("SET RIBBON ", on);
}

void CPrinterTSPL::cmdSetPeel(bool on)
{
    AddSwitch("SET PEEL ", on);
}

void CPrinterTSPL::cmdSetTear(bool on)
{
    AddSwitch("SET TEAR ", on);
}

void CPrinterTSPL::AddCutter(const char *command, const char *off, int mode, int count)
{
    pageBuffer.AddStringA(command);
    if (mode == 0)
        pageBuffer.AddStringA(off);
    else if (mode == 1)
        pageBuffer.AddStringA("BATCH");
    else
        pageBuffer.AddInt(count);
    AddLineEnd();
}

void CPrinterTSPL::cmdSetCutter(int mode, int count)
{
    AddCutter("SET CUTTER ", "FALSE", mode, count);
}

void CPrinterTSPL::cmdSetPartialCutter(int mode, int count)
{
    AddCutter("SET PARTIAL_CUTTER ", "OFF", mode, count);
}

void CPrinterTSPL::cmdREFERENCE(int x, int y, Unit unit)
{
    pageBuffer.AddStringA("REFERENCE ");
    pageBuffer.AddInt(unit == Unit::Dot ? x : DotsFromMm(x, iDpi));
    pageBuffer.AddStringA(",");
    pageBuffer.AddInt(unit == Unit::Dot ? y : DotsFromMm(y, iDpi));
    AddLineEnd();
}

void CPrinterTSPL::AddSensing(const char *command, int m, int n, Unit unit)
{
    pageBuffer.AddStringA(command);
    pageBuffer.AddInt(m);
    AddUnit(unit);
    pageBuffer.AddStringA(",");
    pageBuffer.AddInt(n);
    AddUnit(unit);
    AddLineEnd();
}

void CPrinterTSPL::cmdGAP(int m, int n, Unit unit)
{
    AddSensing("GAP ", m, n, unit);
}

void CPrinterTSPL::cmdBLINE(int m, int n, Unit unit)
{
    AddSensing("BLINE ", m, n, unit);
}

void CPrinterTSPL::cmdOFFSET(int v, Unit unit)
{
    pageBuffer.AddStringA("OFFSET ");
    pageBuffer.AddInt(v);
    AddUnit(unit);
    AddLineEnd();
}

void CPrinterTSPL::cmdDENSITY(int d)
{
    // Below 0 the printer keeps its own darkness.
    if (d < 0)
        return;
    pageBuffer.AddStringA("DENSITY ");
    pageBuffer.AddInt(d);
    AddLineEnd();
}

void CPrinterTSPL::cmdSPEED(int s)
{
    // Below 0 the printer keeps its own speed; speeds it cannot run fall back to 4.
    if (s < 0)
        return;
    if (s == 0 || s > 12)
        s = 4;
    pageBuffer.AddStringA("SPEED ");
    pageBuffer.AddInt(s);
    AddLineEnd();
}

void CPrinterTSPL::setcAutoDotted(bool on)
{
    AddSwitch("SETC AUTODOTTED ", on);
}

void CPrinterTSPL::setcPauseKey(bool on)
{
    AddSwitch("SETC PAUSEKEY ", on);
}

void CPrinterTSPL::setcWaterMark(bool on)
{
    AddSwitch("SETC WATERMARK ", on);
}

void CPrinterTSPL::cmdCLS()
{
    pageBuffer.AddStringA("CLS");
    AddLineEnd();
}

void CPrinterTSPL::cmdBITMAP(int x, int y, int widthBytes, int height, const void *data, int length)
{
    pageBuffer.AddStringA("BITMAP ");
    pageBuffer.AddInt(x);
    pageBuffer.AddStringA(",");
    pageBuffer.AddInt(y);
    pageBuffer.AddStringA(",");
    pageBuffer.AddInt(widthBytes);
    pageBuffer.AddStringA(",");
    pageBuffer.AddInt(height);
    pageBuffer.AddStringA(",");
    if (length < 0 || data == nullptr)
        length = 0;

    if (halftone.ImageCompress) {
        // Compressed bitmaps take 1 = black: the page image (which `data`
        // points into) is inverted first.
        Negative();
        const uLong bound = compressBound(static_cast<uLong>(length));
        std::unique_ptr<Bytef, FreeDeleter> work(static_cast<Bytef *>(std::malloc(bound)));
        uLongf compressedLength = bound;
        const int status = work != nullptr ? compressFunction(work.get(), &compressedLength,
                                                              static_cast<const Bytef *>(data),
                                                              static_cast<uLong>(length))
                                           : Z_MEM_ERROR;
        if (status == Z_OK && compressedLength <= static_cast<uLongf>(INT_MAX - kCommandRoom)) {
            const int z = static_cast<int>(compressedLength);
            pageBuffer.AddStringA("3,");
            pageBuffer.AddInt(z);
            pageBuffer.AddStringA(",");
            Reserve(z);
            pageBuffer.AddBuffer(work.get(), z);
            AddLineEnd();
            return;
        }
        // The stream has no error form: a broken BITMAP would print garbage,
        // so the page goes out uncompressed with the normal bit sense.
        ReportError("The page bitmap could not be compressed (zlib status %d); it is sent uncompressed.", status);
        Negative();
    }

    pageBuffer.AddStringA("1,");
    Reserve(length);
    pageBuffer.AddBuffer(data, length);
    AddLineEnd();
}

void CPrinterTSPL::cmdPRINT(int sets, int copies)
{
    pageBuffer.AddStringA("PRINT ");
    pageBuffer.AddInt(sets);
    pageBuffer.AddStringA(",");
    pageBuffer.AddInt(copies);
    AddLineEnd();
}

bool CPrinterTSPL::OnPaintBmp()
{
    AddLog("OnPaintBmp");
    pageBuffer.InitBuffer(0);

    // A page the preparation had to drop (left without pixels) sends nothing.
    const uint8_t *bits = image.GetBits(0);
    const uint64_t bitmapBytes = uint64_t{image.GetEffWidth()} * image.GetHeight();
    if (bits == nullptr || bitmapBytes == 0 || bitmapBytes > static_cast<uint64_t>(INT_MAX - 2 * kCommandRoom))
        return true;
    const int effWidth = static_cast<int>(image.GetEffWidth());
    const int height = static_cast<int>(image.GetHeight());
    const int length = static_cast<int>(bitmapBytes);
    Reserve(length + kCommandRoom);

    const double dotsPerMm = iDpi / 25.4;
    cmdSIZE(image.GetWidth() / dotsPerMm, image.GetHeight() / dotsPerMm, Unit::Millimetre);

    if (regStruct.iPrinttype == kDirectThermal)
        cmdSetRibbon(false);
    else if (regStruct.iPrinttype == kThermalTransfer)
        cmdSetRibbon(true);

    switch (regStruct.iCutterMode) {
    case kCutterTear:
        cmdSetPeel(false);
        cmdSetCutter(0, 0);
        cmdSetPartialCutter(0, 0);
        cmdSetTear(true);
        break;
    case kCutterCut:  // every label
        cmdSetPeel(false);
        cmdSetCutter(2, 1);
        cmdSetPartialCutter(0, 0);
        cmdSetTear(false);
        break;
    case kCutterPeel:
        cmdSetPeel(true);
        cmdSetCutter(0, 0);
        cmdSetPartialCutter(0, 0);
        cmdSetTear(false);
        break;
    case kCutterPartial:  // every label
        cmdSetPeel(false);
        cmdSetCutter(0, 0);
        cmdSetPartialCutter(2, 1);
        cmdSetTear(false);
        break;
    default:
        break;
    }

    cmdREFERENCE(regStruct.iReference[0], regStruct.iReference[1],
                 regStruct.iReferenceUnit == kUnitDot ? Unit::Dot : Unit::Millimetre);

    switch (regStruct.iGap[0]) {
    case kMediaContinuous: cmdGAP(0, 0, Unit::Millimetre); break;
    case kMediaGap: cmdGAP(regStruct.iGap[1], regStruct.iGap[2], Unit::Millimetre); break;
    case kMediaBlackMark: cmdBLINE(regStruct.iGap[1], regStruct.iGap[2], Unit::Millimetre); break;
    default: break;
    }

    cmdOFFSET(regStruct.iOffset, Unit::Millimetre);
    cmdDENSITY(regStruct.iDensity);
    cmdSPEED(regStruct.iSpeed);
    setcAutoDotted(regStruct.iDottedline);
    setcPauseKey(regStruct.iPauseKey);
    setcWaterMark(regStruct.iWaterMark);
    cmdCLS();
    cmdBITMAP(0, 0, effWidth, height, bits, length);
    cmdPRINT(1, 1);

    const bool sent = SpoolBuffer(pageBuffer);
    pageBuffer.InitBuffer(0);
    return sent;
}
