#pragma once

#include "printers/printer_cpcl.h"
#include "printers/printer_escpos.h"
#include "printers/printer_model.h"
#include "printers/printer_paperang.h"
#include "printers/printer_peripage.h"
#include "printers/printer_tspl.h"

#include <span>
#include <string_view>
#include <vector>

// Every printer language dotweave speaks, one model each, in a stable order.
std::span<const tagPrinterModel *const> AllModels();
// The model of a PPD's model number; null for an unknown one.
const tagPrinterModel *FindModel(int modelNumber);
// Every printer description, language by language.
std::vector<const tagDriverInfo *> AllDrivers();
// The printer description of a driver name; null for an unknown one.
const tagDriverInfo *FindDriver(std::string_view name);

// A new render object of the language's back-end, owned by the caller
// through its reference count. Binding<T> wraps the back-end T for a front
// end (the CUPS filter binds the PPD); the plain back-end by default.
template <class T>
using PlainBinding = T;

template <template <class> class Binding = PlainBinding>
CBaseRender *CreateRender(EPrinterLanguage language)
{
    switch (language) {
    case EPrinterLanguage::TSPL: return new Binding<CPrinterTSPL>();
    case EPrinterLanguage::ESCPOS: return new Binding<CPrinterESCPOS>();
    case EPrinterLanguage::CPCL: return new Binding<CPrinterCPCL>();
    case EPrinterLanguage::Paperang: return new Binding<CPrinterPaperang>();
    case EPrinterLanguage::PeriPage: return new Binding<CPrinterPeriPage>();
    }
    return nullptr;
}
