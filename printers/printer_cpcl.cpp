#include "printers/printer_cpcl.h"

CPrinterCPCL::CPrinterCPCL() = default;

CPrinterCPCL::~CPrinterCPCL() = default;

void CPrinterCPCL::OnPaintBmp()
{
}
