#include "app/driver_table.h"

#include <cstring>

namespace {

constexpr const char *kLabelMedia[] = {
    "om_40x30mm_40x30mm",   "om_50x30mm_50x30mm",     "om_57x32mm_57x32mm",       "om_60x40mm_60x40mm",
    "om_100x50mm_100x50mm", "om_100x100mm_100x100mm", "om_small-photo_100x150mm", "na_index-4x6_4x6in",
};
constexpr const char *kReceiptMedia[] = {
    "om_58x100mm_58x100mm", "om_58x210mm_58x210mm", "om_58x297mm_58x297mm",
    "om_80x100mm_80x100mm", "om_80x210mm_80x210mm", "om_80x297mm_80x297mm",
};
constexpr const char *kMobileMedia[] = {
    "om_58x210mm_58x210mm",   "om_80x210mm_80x210mm",     "om_112x210mm_112x210mm",
    "om_50x30mm_50x30mm",     "om_57x32mm_57x32mm",       "om_60x40mm_60x40mm",
    "om_100x50mm_100x50mm",   "om_small-photo_100x150mm", "na_index-4x6_4x6in",
};
constexpr const char *kPocketMedia[] = {
    "om_57x30mm_57x30mm", "om_57x50mm_57x50mm", "om_57x100mm_57x100mm",
    "om_57x150mm_57x150mm", "om_57x297mm_57x297mm",
};

// Receipt and mobile rolls: the PPDs give 58 mm rolls 5 mm margins and wider
// rolls 3.95 mm. PAPPL keeps one margin per driver, so the wider one is used:
// nothing is placed outside the head of any roll.
constexpr int kRollMargin = 500;

// The engine's row of a driver this table names (a test keeps the names in
// step).
const tagDriverInfo &Engine(const char *name)
{
    return *FindDriver(name);
}

const DriverRow kDrivers[] = {
    {"tspl_203dpi", Engine("tspl_203dpi"), kLabelMedia, "om_small-photo_100x150mm", 0, "custom_min_10x10mm",
     "custom_max_108x1000mm", false, false},
    {"tspl_300dpi", Engine("tspl_300dpi"), kLabelMedia, "om_small-photo_100x150mm", 0, "custom_min_10x10mm",
     "custom_max_106x1000mm", false, false},
    {"escpos_203dpi", Engine("escpos_203dpi"), kReceiptMedia, "om_80x210mm_80x210mm", kRollMargin,
     "custom_min_58x20mm", "custom_max_80x3000mm", true, true},
    {"cpcl_203dpi", Engine("cpcl_203dpi"), kMobileMedia, "om_58x210mm_58x210mm", kRollMargin, "custom_min_25x10mm",
     "custom_max_112x3000mm", true, false},
    {"paperang_203dpi", Engine("paperang_203dpi"), kPocketMedia, "om_57x100mm_57x100mm", 450, "custom_min_57x10mm",
     "custom_max_57x3000mm", true, false},
    {"paperang_300dpi", Engine("paperang_300dpi"), kPocketMedia, "om_57x100mm_57x100mm", 412, "custom_min_57x10mm",
     "custom_max_57x3000mm", true, false},
    {"peripage_203dpi", Engine("peripage_203dpi"), kPocketMedia, "om_57x100mm_57x100mm", 450, "custom_min_57x10mm",
     "custom_max_57x3000mm", true, false},
    {"peripage_300dpi", Engine("peripage_300dpi"), kPocketMedia, "om_57x100mm_57x100mm", 412, "custom_min_57x10mm",
     "custom_max_57x3000mm", true, false},
};

}  // namespace

std::span<const DriverRow> AppDrivers()
{
    return kDrivers;
}

const DriverRow *FindAppDriver(const char *name)
{
    if (name == nullptr)
        return nullptr;
    for (const DriverRow &row : kDrivers)
        if (std::strcmp(row.name, name) == 0)
            return &row;
    return nullptr;
}
