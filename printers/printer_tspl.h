#pragma once

#include "render/base_render.h"
#include "render/my_buffer.h"

#include <zlib.h>

// Label printers that speak TSPL: every page becomes one complete label job
// (media set-up, CLS, one BITMAP with the whole page, PRINT), spooled at once.
class CPrinterTSPL : public CBaseRender {
public:
    // zlib's compress, or a stand-in that lets tests make compression fail.
    using Compressor = int (*)(Bytef *dest, uLongf *destLen, const Bytef *source, uLong sourceLen);

    // The unit written after a number.
    enum class Unit { None = 0, Millimetre = 1, Dot = 2 };

    CPrinterTSPL();
    ~CPrinterTSPL() override;

    bool OnPaintBmp() override;

    // Command writers: each appends one command, ended by CR LF, to the page
    // command buffer.
    void cmdSIZE(double width, double height, Unit unit);
    void cmdSetRibbon(bool on);
    void cmdSetPeel(bool on);
    void cmdSetTear(bool on);
    void cmdSetCutter(int mode, int count);
    void cmdSetPartialCutter(int mode, int count);
    // The reference point, in millimetres converted at the page resolution,
    // or in dots as they are.
    void cmdREFERENCE(int x, int y, Unit unit = Unit::Millimetre);
    void cmdGAP(int m, int n, Unit unit);
    void cmdBLINE(int m, int n, Unit unit);
    void cmdOFFSET(int v, Unit unit);
    void cmdDENSITY(int d);
    void cmdSPEED(int s);
    void setcAutoDotted(bool on);
    void setcPauseKey(bool on);
    void setcWaterMark(bool on);
    void cmdCLS();
    void cmdBITMAP(int x, int y, int widthBytes, int height, const void *data, int length);
    void cmdPRINT(int sets, int copies);

    void SetCompressor(Compressor compressor) { compressFunction = compressor; }

protected:
    CMyBuffer pageBuffer;

private:
    void Reserve(int bytes);
    void AddUnit(Unit unit);
    void AddLineEnd();
    void AddSwitch(const char *command, bool on);
    // "NAME m unit,n unit": the gap and black-mark commands.
    void AddSensing(const char *command, int m, int n, Unit unit);
    // "SET NAME off|BATCH|count": the two cutter commands.
    void AddCutter(const char *command, const char *off, int mode, int count);

    Compressor compressFunction = &compress;
};
