#pragma once

#include "filter/my_buffer.h"
#include "render/base_render.h"

class CPrinterTSPL : public CBaseRender {
public:
    CPrinterTSPL();
    ~CPrinterTSPL() override;

    void OnPaintBmp() override;

protected:
    CMyBuffer pageBuffer;
};
