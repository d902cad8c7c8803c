// PeriPage pocket printers: a 384-dot head at 203 dpi (576 at 300 dpi),
// centred on a 57 mm roll; six darkness levels; compressed bitmaps.
#include "printers/printer_peripage_model.h"

#include "printers/pocket_media.h"

namespace {

using O = EJobOption;

extern const tagPrinterModel kModel;

constexpr tagDriverInfo kDrivers[] = {
    {"peripage_203dpi", "PeriPage 203dpi", "dotweave-peripage-203dpi.ppd", 203, 450, "custom_max_57x3000mm", &kModel},
    {"peripage_300dpi", "PeriPage 300dpi", "dotweave-peripage-300dpi.ppd", 300, 412, "custom_max_57x3000mm", &kModel},
};

constexpr tagModelOption kOptions[] = {
    {O::HalftoneMethod, kAutomatic}, {O::ThresholdLevel, 128}, {O::Brightness, 0},
    {O::Contrast, 0},                {O::TrimTop, -1},         {O::TrimBottom, -1},
    {O::TrimLeft, 0},                {O::TrimRight, 0},        {O::FeedAfterPage, 0},
    {O::BitmapCompression, 0},
    {O::RollLength, kRollLengthContent},
};

// The A6 prints at 203 dpi; the A6+ and A40 at 300 (304 in fact).
constexpr tagDeviceIdMatch kDeviceIds[] = {
    {"PERIPAGE", "A6+", "", "peripage_300dpi"},
    {"PERIPAGE", "A40", "", "peripage_300dpi"},
    {"PERIPAGE", "", "", "peripage_203dpi"},
};

const tagPrinterModel kModel = {
    "PeriPage", EPrinterLanguage::PeriPage, 24, EPrinterClass::Pocket, kDrivers,
    kPocketMediaSizes, "om_57x100mm_57x100mm", "custom_min_57x10mm", kPocketMediaTypes, "continuous",
    kSenseContinuous | kSenseGap | kSenseMark, kSenseContinuous,
    kOptions, 6, 0, 0, 0,
    kDeviceIds, "application/vnd.dotweave-peripage", "peripage",
};

}  // namespace

const tagPrinterModel &PeriPageModel()
{
    return kModel;
}
