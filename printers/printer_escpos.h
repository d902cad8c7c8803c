#pragma once

#include "filter/my_buffer.h"
#include "render/base_render.h"

#include <cstddef>
#include <cstdint>

// Receipt printers that speak ESC/POS: each page is one raster image command
// framed by initialisation, centring, an optional feed, cut and drawer pulse.
// The PeriPage back-end derives from it and replaces some of the writers.
class CPrinterESCPOS : public CBaseRender {
public:
    // The raster command carries width in bytes and height in rows as 16-bit
    // numbers; nothing larger can be described in one command.
    static constexpr int kMaxRasterWidthBytes = 65535;
    static constexpr int kMaxRasterRows = 65535;

    CPrinterESCPOS();
    ~CPrinterESCPOS() override;

    void OnInit() override;
    void OnDestroy() override;
    void OnPaintBmp() override;

    virtual void cmdInit();
    virtual void cmdAlignCenter();
    virtual void cmdCutPaper(int partial);
    virtual void PrintAndFeedPaper(int mm);
    virtual void PrintBMP(int dpi1, int dpi2, int widthBytes, int height, const void *data, int length);
    virtual void cmdEndPrint();
    virtual void cmdOpenMoneyBox();

protected:
    // Millimetres to dots at the page resolution, truncated, as the feed
    // commands count them; clamped to the int range for hostile values.
    int FeedDots(int mm) const;
    // Copies the first bytesPerRow bytes of every stored row of the page
    // image into out, one row after the other.
    void CollectRows(CMyBuffer &out, size_t bytesPerRow) const;
    // Makes room for extra bytes in the page command buffer up front, so a
    // large page is never cut short by the buffer's growth ceiling.
    void ReservePageBuffer(size_t extra);
    // An "ERROR:" line for the scheduler on standard error.
    static void ReportError(const char *format, ...) __attribute__((format(printf, 1, 2)));

    CMyBuffer pageBuffer;
};
