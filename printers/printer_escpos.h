#pragma once

#include "filter/my_buffer.h"
#include "render/base_render.h"

class CPrinterESCPOS : public CBaseRender {
public:
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
    CMyBuffer pageBuffer;
};
