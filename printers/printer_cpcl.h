#pragma once

#include "render/base_render.h"

class CPrinterCPCL : public CBaseRender {
public:
    CPrinterCPCL();
    ~CPrinterCPCL() override;

    void OnPaintBmp() override;
};
