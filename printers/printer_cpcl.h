#pragma once

#include "render/base_render.h"

// Mobile printers that speak CPCL: each page is one label carrying the page
// as a single CG graphic. Every command goes to the printer as soon as it is
// built; there is no page buffer.
class CPrinterCPCL : public CBaseRender {
public:
    CPrinterCPCL();
    ~CPrinterCPCL() override;

    void OnPaintBmp() override;

    void cmdBegin();
    void cmdPageWidth();
    void cmdCG();
    void cmdFORM();
    void cmdPrint();
};
