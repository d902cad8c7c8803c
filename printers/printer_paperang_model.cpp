// Paperang pocket printers: a 384-dot head at 203 dpi (576 at 300 dpi),
// centred on a 57 mm roll.
#include "printers/printer_paperang_model.h"

#include "printers/pocket_media.h"

namespace {

using O = EJobOption;

extern const tagPrinterModel kModel;

constexpr tagDriverInfo kDrivers[] = {
    {"paperang_203dpi", "Paperang 203dpi", "dotweave-paperang-203dpi.ppd", 203, 450, "custom_max_57x3000mm", &kModel},
    {"paperang_300dpi", "Paperang 300dpi", "dotweave-paperang-300dpi.ppd", 300, 412, "custom_max_57x3000mm", &kModel},
};

constexpr tagModelOption kOptions[] = {
    {O::HalftoneMethod, kAutomatic}, {O::ThresholdLevel, 128}, {O::Brightness, 0},
    {O::Contrast, 0},                {O::TrimTop, -1},         {O::TrimBottom, -1},
    {O::TrimLeft, 0},                {O::TrimRight, 0},
    {O::RollLength, kRollLengthContent},
};

// The P2 family prints at 300 dpi, the P1 at 203.
constexpr tagDeviceIdMatch kDeviceIds[] = {
    {"PAPERANG", "P2", "", "paperang_300dpi"},
    {"PAPERANG", "", "", "paperang_203dpi"},
};

const tagPrinterModel kModel = {
    "Paperang", EPrinterLanguage::Paperang, 23, EPrinterClass::Pocket, kDrivers,
    kPocketMediaSizes, "om_57x100mm_57x100mm", "custom_min_57x10mm", kPocketMediaTypes, "continuous",
    kSenseContinuous | kSenseGap | kSenseMark, kSenseContinuous,
    kOptions, 0, 0, 0, 0,
    kDeviceIds, "application/vnd.dotweave-paperang", "paperang",
};

}  // namespace

const tagPrinterModel &PaperangModel()
{
    return kModel;
}
