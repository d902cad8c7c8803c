// Receipt printers that speak ESC/POS: 58 and 80 mm rolls, a cutter and a
// cash drawer. Receipts are trimmed after their last line and cut at the
// end of the job.
#include "printers/printer_escpos_model.h"

namespace {

using O = EJobOption;

extern const tagPrinterModel kModel;

// The roll margins differ by roll (5 mm on 58 mm, 3.95 mm on 80 mm); one
// margin per driver takes the wider, so nothing falls outside any head.
constexpr tagDriverInfo kDrivers[] = {
    {"escpos_203dpi", "ESC/POS Receipt 203dpi", "dotweave-escpos-203dpi.ppd", 203, 500, "custom_max_80x3000mm",
     &kModel},
};

constexpr const char *kSizes[] = {
    "om_58x100mm_58x100mm", "om_58x210mm_58x210mm", "om_58x297mm_58x297mm",
    "om_80x100mm_80x100mm", "om_80x210mm_80x210mm", "om_80x297mm_80x297mm",
};

constexpr tagMediaType kTypes[] = {
    {"continuous", "Continuous"}, {"roll", "Roll"},
};

constexpr tagModelOption kOptions[] = {
    {O::HalftoneMethod, kAutomatic}, {O::ThresholdLevel, 128}, {O::Brightness, 0},
    {O::Contrast, 0},                {O::TrimTop, -1},         {O::TrimBottom, -1},
    {O::TrimLeft, 0},                {O::TrimRight, 0},        {O::FeedAfterPage, 10},
    {O::CutMode, kCutJobFull},       {O::CashDrawer, kDrawerNone},
    {O::RollLength, kRollLengthContent},
};

constexpr tagDeviceIdMatch kDeviceIds[] = {
    {"", "", "ESC/POS", "escpos_203dpi"},
    {"", "", "ESCPOS", "escpos_203dpi"},
    // Epson's TM receipt printers, whatever command set they list.
    {"EPSON", "TM-", "", "escpos_203dpi"},
};

// Receipt printers feed a continuous roll and sense nothing.
const tagPrinterModel kModel = {
    "ESC/POS", EPrinterLanguage::ESCPOS, 21, EPrinterClass::Receipt, kDrivers,
    kSizes, "om_80x210mm_80x210mm", "custom_min_58x20mm", kTypes, "continuous",
    kSenseContinuous, kSenseContinuous,
    kOptions, 0, 0, 0, 0,
    kDeviceIds, "application/vnd.epson-escpos", "escpos",
};

}  // namespace

const tagPrinterModel &EscPosModel()
{
    return kModel;
}
