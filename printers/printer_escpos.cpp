#include "printers/printer_escpos.h"

CPrinterESCPOS::CPrinterESCPOS()
{
    AddLog("new CPrinterESCPOS()");
}

CPrinterESCPOS::~CPrinterESCPOS() = default;

void CPrinterESCPOS::OnInit() {}
void CPrinterESCPOS::OnDestroy() {}
void CPrinterESCPOS::OnPaintBmp() {}
void CPrinterESCPOS::cmdInit() {}
void CPrinterESCPOS::cmdAlignCenter() {}
void CPrinterESCPOS::cmdCutPaper(int) {}
void CPrinterESCPOS::PrintAndFeedPaper(int) {}
void CPrinterESCPOS::PrintBMP(int, int, int, int, const void *, int) {}
void CPrinterESCPOS::cmdEndPrint() {}
void CPrinterESCPOS::cmdOpenMoneyBox() {}
