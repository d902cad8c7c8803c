#pragma once

#include "printers/printer_cpcl.h"
#include "printers/printer_escpos.h"
#include "printers/printer_paperang.h"
#include "printers/printer_peripage.h"
#include "printers/printer_tspl.h"
#include "render/base_render.h"

#include <string>

// Binds a printer class to CUPS: printer output to standard output, log
// lines to the system log, settings from the PPD's marked options.
template <class T>
class CCupsRender : public T {
public:
    CCupsRender() = default;
    ~CCupsRender() override = default;

    void OnBeginBmp() override;
    void WriteSpool(const void *data, int length) override;
    void AddLog(const char *format, ...) override __attribute__((format(printf, 2, 3)));
    void GetPrinterParameters() override;

    std::string GetMarkedOption(const char *keyword);
};

extern template class CCupsRender<CPrinterTSPL>;
extern template class CCupsRender<CPrinterESCPOS>;
extern template class CCupsRender<CPrinterCPCL>;
extern template class CCupsRender<CPrinterPaperang>;
extern template class CCupsRender<CPrinterPeriPage>;
