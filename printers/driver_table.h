#pragma once

#include "printers/printer_cpcl.h"
#include "printers/printer_escpos.h"
#include "printers/printer_paperang.h"
#include "printers/printer_peripage.h"
#include "printers/printer_tspl.h"

#include <span>
#include <string_view>

// The printer languages dotweave speaks, one back-end each.
enum class EPrinterLanguage { TSPL, ESCPOS, CPCL, Paperang, PeriPage };

// What kind of printer a driver is for: it decides the media and the
// defaults that suit it.
enum class EPrinterClass { Label, Receipt, Mobile, Pocket };

// One printer description: the CUPS filter finds its row by the PPD's model
// number, the printer application by the driver name.
struct tagDriverInfo {
    const char *name;           // driver name, "tspl_203dpi"
    const char *modelName;      // the PPD's ModelName, "TSPL Label 203dpi"
    const char *ppdFileName;    // the PPD this row describes
    int modelNumber;            // the PPD's cupsModelNumber
    EPrinterLanguage language;
    EPrinterClass printerClass;
    int dpi;
    int darknessLevels;         // darkness settings 0 .. darknessLevels - 1
    bool cuts;                  // ESC/POS cut and cash-drawer options
    bool labelFinishing;        // TSPL tear, peel and cutter options
    bool compressesBitmaps;     // the bitmap can travel compressed
};

// Every printer description dotweave ships, in a stable order.
std::span<const tagDriverInfo> AllDrivers();
// The row of a driver name; null for an unknown one.
const tagDriverInfo *FindDriver(std::string_view name);
// The first row of a model number (the printer language); null for an
// unknown one.
const tagDriverInfo *FindDriverForModel(int modelNumber);

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
