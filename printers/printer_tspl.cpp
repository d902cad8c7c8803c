#include "printers/printer_tspl.h"

CPrinterTSPL::CPrinterTSPL() = default;

CPrinterTSPL::~CPrinterTSPL() = default;

void CPrinterTSPL::OnPaintBmp()
{
}
