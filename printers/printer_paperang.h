#pragma once

#include "filter/my_buffer.h"
#include "render/base_render.h"

class CPrinterPaperang : public CBaseRender {
public:
    CPrinterPaperang();
    ~CPrinterPaperang() override;

    void OnPaintBmp() override;

protected:
    CMyBuffer pageBuffer;
};
