#include "printers/printer_paperang.h"

CPrinterPaperang::CPrinterPaperang() = default;

CPrinterPaperang::~CPrinterPaperang() = default;

void CPrinterPaperang::OnPaintBmp()
{
}
