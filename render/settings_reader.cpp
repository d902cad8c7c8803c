// Reading the settings records from the job's option choices: one table of
// keywords, each converted and clamped once, the same for every printer
// class and every front end.
#include "render/base_render.h"
#include "render/job_options.h"
#include "render/media_kinds.h"
#include "render/ppd_keywords.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>

namespace {

// Reads a choice as a decimal number the way atoi does (leading blanks, a
// sign, the leading digits, 0 without any), but clamps values that do not fit
// an int instead of leaving them undefined.
int ChoiceNumber(const std::string &choice)
{
    const long value = std::strtol(choice.c_str(), nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

// Longest reference offset or paper feed taken from an option, in
// millimetres. A metre is beyond any label or receipt; the bound keeps the
// products with the page resolution (at most 9600 dpi) within int and the
// number of feed commands small.
constexpr int kMaxLengthMm = 1000;

int LengthMm(int value)
{
    return std::clamp(value, -kMaxLengthMm, kMaxLengthMm);
}

struct Records {
    tagREGSTRUCT &reg;
    tagREGSTRUCTWITHALFTONE &tone;
};

// How a choice becomes a field value.
enum class Kind {
    Number,           // the choice as a number
    NumberAlways,     // the same; no choice counts as 0 and is logged too
    Flag,             // a number other than 0 is on
    PrinterOwn,       // a number, or -1 (the printer's own setting) for "Default" or no choice
    Reference,        // millimetres, clamped to a metre, in steps of 8
    Feed,             // iOffset as given, iFeedLength clamped to a metre
    PrintMethod,      // "Direct" and "Normal" are direct thermal, anything else transfer
    MediaTracking,    // the media kinds
    Named,            // the choice names of a job option
};

struct Setting {
    const char *keyword;
    Kind kind;
    const char *logFormat;
    int32_t &(*number)(Records &);
    bool &(*flag)(Records &) = nullptr;
    EJobOption named = EJobOption::CutMode;
};

namespace k = ppdkeyword;

// In the order they are read and logged.
const Setting kSettings[] = {
    {k::kMediaMethod, Kind::PrintMethod, "iPrinttype = %d", [](Records &r) -> int32_t & { return r.reg.iPrinttype; }},
    {k::kAdjustHorizontal, Kind::Reference, "iReference[0] = %d",
     [](Records &r) -> int32_t & { return r.reg.iReference[0]; }},
    {k::kAdjustVertical, Kind::Reference, "iReference[1] = %d",
     [](Records &r) -> int32_t & { return r.reg.iReference[1]; }},
    {k::kMediaTracking, Kind::MediaTracking, "Gap = %d, %d, %d", [](Records &r) -> int32_t & { return r.reg.iGap[0]; }},
    {k::kFeedOffset, Kind::Feed, "iOffset = %d", [](Records &r) -> int32_t & { return r.reg.iOffset; }},
    {k::kRotate, Kind::Number, "iRotate = %d", [](Records &r) -> int32_t & { return r.reg.iRotate; }},
    {k::kDarkness, Kind::PrinterOwn, "iDensity = %d", [](Records &r) -> int32_t & { return r.reg.iDensity; }},
    {k::kPrintRate, Kind::PrinterOwn, "iSpeed = %d", [](Records &r) -> int32_t & { return r.reg.iSpeed; }},
    {k::kAutoDotted, Kind::Flag, "iDottedline = %d", nullptr, [](Records &r) -> bool & { return r.reg.iDottedline; }},
    {k::kBrightness, Kind::NumberAlways, "iLiangdu = %d", [](Records &r) -> int32_t & { return r.tone.iLiangdu; }},
    {k::kContrast, Kind::Number, "iDuibidu = %d", [](Records &r) -> int32_t & { return r.tone.iDuibidu; }},
    {k::kImageFilter, Kind::Number, "iGrayMethod = %d", [](Records &r) -> int32_t & { return r.tone.iGrayMethod; }},
    {k::kThreshold, Kind::Number, "iThreValue = %d", [](Records &r) -> int32_t & { return r.tone.iThreValue; }},
    {k::kImageCompress, Kind::Flag, "ImageCompress = %d", nullptr,
     [](Records &r) -> bool & { return r.tone.ImageCompress; }},
    {k::kCropEdgeTop, Kind::Number, "iCropTopEdge = %d", [](Records &r) -> int32_t & { return r.tone.iCropTopEdge; }},
    {k::kCropEdgeBottom, Kind::Number, "iCropBottomEdge = %d",
     [](Records &r) -> int32_t & { return r.tone.iCropBottomEdge; }},
    {k::kCropEdgeLeft, Kind::Number, "iCropLeftEdge = %d", [](Records &r) -> int32_t & { return r.tone.iCropLeftEdge; }},
    {k::kCropEdgeRight, Kind::Number, "iCropRightEdge = %d",
     [](Records &r) -> int32_t & { return r.tone.iCropRightEdge; }},
    // Finishing: only the printer classes that cut or have a drawer offer
    // these; a name the table does not know keeps the default.
    {k::kCutMode, Kind::Named, "iCutMode = %d", [](Records &r) -> int32_t & { return r.reg.iCutMode; }, nullptr,
     EJobOption::CutMode},
    {k::kCashDrawer, Kind::Named, "iCashDrawer = %d", [](Records &r) -> int32_t & { return r.reg.iCashDrawer; },
     nullptr, EJobOption::CashDrawer},
    {k::kCutterMode, Kind::Named, "iCutterMode = %d", [](Records &r) -> int32_t & { return r.reg.iCutterMode; },
     nullptr, EJobOption::CutterMode},
};

}  // namespace

void CBaseRender::ReadSettings(ISettingsSource &source)
{
    Records records{regStruct, halftone};
    for (const Setting &setting : kSettings) {
        const std::string choice = source.Choice(setting.keyword);
        const bool present = !choice.empty();
        switch (setting.kind) {
        case Kind::Number:
            if (present)
                AddLog(setting.logFormat, setting.number(records) = ChoiceNumber(choice));
            break;
        case Kind::NumberAlways:
            AddLog(setting.logFormat, setting.number(records) = ChoiceNumber(choice));
            break;
        case Kind::Flag:
            if (present) {
                const bool on = ChoiceNumber(choice) != 0;
                setting.flag(records) = on;
                AddLog(setting.logFormat, on ? 1 : 0);
            }
            break;
        case Kind::PrinterOwn:
            if (present && choice != k::kPrinterDefault)
                AddLog(setting.logFormat, setting.number(records) = ChoiceNumber(choice));
            else
                setting.number(records) = -1;
            break;
        case Kind::Reference:
            // The reference options count millimetres at 8 dots per millimetre.
            if (present)
                AddLog(setting.logFormat, setting.number(records) = LengthMm(ChoiceNumber(choice)) * 8);
            break;
        case Kind::Feed:
            if (present) {
                regStruct.iOffset = ChoiceNumber(choice);
                regStruct.iFeedLength = LengthMm(regStruct.iOffset);
                AddLog(setting.logFormat, regStruct.iOffset);
            }
            break;
        case Kind::PrintMethod:
            if (present)
                AddLog(setting.logFormat, setting.number(records) = (choice == "Normal" || choice == "Direct")
                                                                        ? kDirectThermal
                                                                        : kThermalTransfer);
            break;
        case Kind::MediaTracking:
            if (present) {
                if (const tagMediaKind *kind = FindMediaKind(choice); kind != nullptr) {
                    regStruct.iGap[0] = kind->tracking;
                    regStruct.iGap[1] = kind->gapLength;
                    regStruct.iGap[2] = kind->gapOffset;
                }
                AddLog(setting.logFormat, regStruct.iGap[0], regStruct.iGap[1], regStruct.iGap[2]);
            }
            break;
        case Kind::Named:
            for (const tagOptionChoice &named : JobOptionInfo(setting.named).choices) {
                if (present && choice == named.ppd) {
                    AddLog(setting.logFormat, setting.number(records) = named.value);
                    break;
                }
            }
            break;
        }
    }
}
