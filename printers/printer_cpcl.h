#pragma once

#include "render/base_render.h"

// Mobile printers that speak CPCL: each page is one label carrying the page
// as a single CG graphic. Every command goes to the printer as soon as it is
// built; there is no page buffer.
class CPrinterCPCL : public CBaseRender {
public:
    CPrinterCPCL();
    ~CPrinterCPCL() override;

    bool OnPaintBmp() override;

    // Each command goes out as it is built; false once the output failed.
    bool cmdBegin();
    bool cmdPageWidth();
    bool cmdCG();
    bool cmdFORM();
    bool cmdPrint();
};
