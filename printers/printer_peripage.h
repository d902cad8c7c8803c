#pragma once

#include "printers/printer_escpos.h"

class CPrinterPeriPage : public CPrinterESCPOS {
public:
    CPrinterPeriPage();
    ~CPrinterPeriPage() override;

    void OnInit() override;
    void OnDestroy() override;
    void OnPaintBmp() override;
    void cmdInit() override;
    void PrintBMP(int dpi1, int dpi2, int widthBytes, int height, const void *data, int length) override;
    void cmdEndPrint() override;

    void cmdDENSITY(int density);
    void cmdCutLine();
};
