// Label printers that speak TSPL: die-cut labels on a 4 inch head.
#include "printers/printer_tspl_model.h"

namespace {

using O = EJobOption;

extern const tagPrinterModel kModel;

constexpr tagDriverInfo kDrivers[] = {
    {"tspl_203dpi", "TSPL Label 203dpi", "dotweave-tspl-203dpi.ppd", 203, 0, "custom_max_108x1000mm", &kModel},
    {"tspl_300dpi", "TSPL Label 300dpi", "dotweave-tspl-300dpi.ppd", 300, 0, "custom_max_106x1000mm", &kModel},
};

constexpr const char *kSizes[] = {
    "om_40x30mm_40x30mm",   "om_50x30mm_50x30mm",     "om_57x32mm_57x32mm",       "om_60x40mm_60x40mm",
    "om_100x50mm_100x50mm", "om_100x100mm_100x100mm", "om_small-photo_100x150mm", "na_index-4x6_4x6in",
};

constexpr tagMediaType kTypes[] = {
    {"labels", nullptr}, {"continuous", "Continuous"},
    {"labels-fan-fold", "BLine_Fold"}, {"labels-perforated", "Perforated"},
};

constexpr tagModelOption kOptions[] = {
    {O::HalftoneMethod, kAutomatic}, {O::ThresholdLevel, 128}, {O::Brightness, 0},
    {O::Contrast, 0},                {O::TrimTop, 0},          {O::TrimBottom, 0},
    {O::TrimLeft, 0},                {O::TrimRight, 0},        {O::FeedAfterPage, 0},
    {O::BitmapCompression, 0},       {O::PrintMethod, kDirectThermal},
    {O::DottedLine, 0},              {O::CutterMode, kCutterNone},
    {O::RollLength, kRollLengthContent},
};

// TSC's 300 dpi models by name, and any ID that gives its resolution as
// 300 dpi, before the 203 dpi row that takes every other TSPL printer.
constexpr tagDeviceIdMatch kDeviceIds[] = {
    {"TSC", "TE300", "", "tspl_300dpi"},   {"TSC", "TE310", "", "tspl_300dpi"},
    {"TSC", "TTP-345", "", "tspl_300dpi"}, {"TSC", "TTP-344", "", "tspl_300dpi"},
    {"TSC", "TX300", "", "tspl_300dpi"},   {"TSC", "TX310", "", "tspl_300dpi"},
    {"", "300DPI", "TSPL", "tspl_300dpi"}, {"", "300 DPI", "TSPL", "tspl_300dpi"},
    {"", "", "TSPL", "tspl_203dpi"},
    {"TSC", "", "", "tspl_203dpi"},  // TSC's printers all speak TSPL
};

const tagPrinterModel kModel = {
    "TSPL", EPrinterLanguage::TSPL, 20, EPrinterClass::Label, kDrivers,
    kSizes, "om_small-photo_100x150mm", "custom_min_10x10mm", kTypes, "labels",
    kSenseContinuous | kSenseGap | kSenseMark, kSenseGap,
    kOptions, 16, 12, 2400, 2400,
    kDeviceIds, "application/vnd.tsc-tspl", "tspl",
};

}  // namespace

const tagPrinterModel &TsplModel()
{
    return kModel;
}
