#pragma once

#include "render/base_render.h"
#include "render/my_buffer.h"

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

    bool OnInit() override;
    bool OnDestroy() override;
    bool OnPaintBmp() override;

    virtual void cmdInit();
    virtual void cmdAlignCenter();
    virtual void cmdCutPaper(int partial);
    virtual void PrintAndFeedPaper(int mm);
    virtual void PrintBMP(int dpi1, int dpi2, int widthBytes, int height, const void *data, int length);
    virtual void cmdEndPrint();
    virtual void cmdOpenMoneyBox();

protected:
    // Copies the first bytesPerRow bytes of every stored row of the page
    // image into out, one row after the other.
    void CollectRows(CMyBuffer &out, size_t bytesPerRow) const;
    // Makes room for extra bytes in the page command buffer up front, so a
    // large page is never cut short by the buffer's growth ceiling.
    void ReservePageBuffer(size_t extra);

    CMyBuffer pageBuffer;
};
