#include "printers/printer_peripage.h"

CPrinterPeriPage::CPrinterPeriPage()
{
    AddLog("new CPrinterPeriPage()");
}

CPrinterPeriPage::~CPrinterPeriPage() = default;

void CPrinterPeriPage::OnInit() {}
void CPrinterPeriPage::OnDestroy() {}
void CPrinterPeriPage::OnPaintBmp() {}
void CPrinterPeriPage::cmdInit() {}
void CPrinterPeriPage::PrintBMP(int, int, int, int, const void *, int) {}
void CPrinterPeriPage::cmdEndPrint() {}
void CPrinterPeriPage::cmdDENSITY(int) {}
void CPrinterPeriPage::cmdCutLine() {}
