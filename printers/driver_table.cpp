#include "printers/driver_table.h"

namespace {

using L = EPrinterLanguage;
using C = EPrinterClass;

// One row per printer description shipped in ppd/.
constexpr tagDriverInfo kDrivers[] = {
    {"tspl_203dpi", "TSPL Label 203dpi", "dotweave-tspl-203dpi.ppd", 20, L::TSPL, C::Label, 203, 16, false, true, true},
    {"tspl_300dpi", "TSPL Label 300dpi", "dotweave-tspl-300dpi.ppd", 20, L::TSPL, C::Label, 300, 16, false, true, true},
    {"escpos_203dpi", "ESC/POS Receipt 203dpi", "dotweave-escpos-203dpi.ppd", 21, L::ESCPOS, C::Receipt, 203, 16,
     true, false, false},
    {"cpcl_203dpi", "CPCL Mobile 203dpi", "dotweave-cpcl-203dpi.ppd", 22, L::CPCL, C::Mobile, 203, 16, false, false,
     false},
    {"paperang_203dpi", "Paperang 203dpi", "dotweave-paperang-203dpi.ppd", 23, L::Paperang, C::Pocket, 203, 16, false,
     false, false},
    {"paperang_300dpi", "Paperang 300dpi", "dotweave-paperang-300dpi.ppd", 23, L::Paperang, C::Pocket, 300, 16, false,
     false, false},
    {"peripage_203dpi", "PeriPage 203dpi", "dotweave-peripage-203dpi.ppd", 24, L::PeriPage, C::Pocket, 203, 6, false,
     false, true},
    {"peripage_300dpi", "PeriPage 300dpi", "dotweave-peripage-300dpi.ppd", 24, L::PeriPage, C::Pocket, 300, 6, false,
     false, true},
};

}  // namespace

std::span<const tagDriverInfo> AllDrivers()
{
    return kDrivers;
}

const tagDriverInfo *FindDriver(std::string_view name)
{
    for (const tagDriverInfo &driver : kDrivers)
        if (name == driver.name)
            return &driver;
    return nullptr;
}

const tagDriverInfo *FindDriverForModel(int modelNumber)
{
    for (const tagDriverInfo &driver : kDrivers)
        if (driver.modelNumber == modelNumber)
            return &driver;
    return nullptr;
}
