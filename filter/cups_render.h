#pragma once

#include "printers/printer_cpcl.h"
#include "printers/printer_escpos.h"
#include "printers/printer_paperang.h"
#include "printers/printer_peripage.h"
#include "printers/printer_tspl.h"
#include "render/base_render.h"

#include <cups/ppd.h>

#include <string>

// The PPD whose marked choices a render object reads its settings from.
class CCupsBinding {
public:
    virtual ~CCupsBinding() = default;

    ppd_file_t *ppd = nullptr;
};

// Binds a printer class to CUPS: its settings come from the PPD's marked
// options, read through the engine's one settings reader.
template <class T>
class CCupsRender : public T, public CCupsBinding {
public:
    CCupsRender() = default;
    ~CCupsRender() override = default;

    void GetPrinterParameters() override;

    // The name of the choice marked for keyword in the PPD, or an empty
    // string when there is none; logs one line either way.
    std::string GetMarkedOption(const char *keyword);
};

extern template class CCupsRender<CPrinterTSPL>;
extern template class CCupsRender<CPrinterESCPOS>;
extern template class CCupsRender<CPrinterCPCL>;
extern template class CCupsRender<CPrinterPaperang>;
extern template class CCupsRender<CPrinterPeriPage>;
