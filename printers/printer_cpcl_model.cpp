// Mobile printers that speak CPCL: 2, 3 and 4 inch heads, receipts and
// labels.
#include "printers/printer_cpcl_model.h"

namespace {

using O = EJobOption;

extern const tagPrinterModel kModel;

constexpr tagDriverInfo kDrivers[] = {
    {"cpcl_203dpi", "CPCL Mobile 203dpi", "dotweave-cpcl-203dpi.ppd", 203, 500, "custom_max_112x3000mm", &kModel},
};

constexpr const char *kSizes[] = {
    "om_58x210mm_58x210mm",   "om_80x210mm_80x210mm",     "om_112x210mm_112x210mm",
    "om_50x30mm_50x30mm",     "om_57x32mm_57x32mm",       "om_60x40mm_60x40mm",
    "om_100x50mm_100x50mm",   "om_small-photo_100x150mm", "na_index-4x6_4x6in",
};

constexpr tagMediaType kTypes[] = {
    {"continuous", "Continuous"}, {"labels", nullptr}, {"labels-fan-fold", "BLine_Fold"},
};

constexpr tagModelOption kOptions[] = {
    {O::HalftoneMethod, kAutomatic}, {O::ThresholdLevel, 128}, {O::Brightness, 0},
    {O::Contrast, 0},                {O::TrimTop, -1},         {O::TrimBottom, -1},
    {O::TrimLeft, 0},                {O::TrimRight, 0},
    {O::RollLength, kRollLengthContent},
};

constexpr tagDeviceIdMatch kDeviceIds[] = {
    {"", "", "CPCL", "cpcl_203dpi"},
};

// The label header shifts the print sideways only.
const tagPrinterModel kModel = {
    "CPCL", EPrinterLanguage::CPCL, 22, EPrinterClass::Mobile, kDrivers,
    kSizes, "om_58x210mm_58x210mm", "custom_min_25x10mm", kTypes, "continuous",
    kSenseContinuous | kSenseGap | kSenseMark, kSenseContinuous,
    kOptions, 0, 0, 0, 2400,
    kDeviceIds, "application/vnd.zebra-cpcl", "cpcl",
};

}  // namespace

const tagPrinterModel &CpclModel()
{
    return kModel;
}
