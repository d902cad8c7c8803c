// Reading the settings records from the job's option choices: one table of
// keywords, each converted and clamped once, the same for every printer
// class and every front end.
#include "render/base_render.h"

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

struct NamedChoice {
    const char *choice;
    int32_t value;
};

struct MediaRow {
    const char *choice;
    int32_t type;
    int32_t length;
    int32_t offset;
};

// First match wins.
constexpr MediaRow kMediaTable[] = {
    {"Continuous", kMediaContinuous, 0, 0},   {"A4Stock", kMediaContinuous, 0, 0},
    {"Gap", kMediaGap, 3, 0},                 {"BLine", kMediaBlackMark, 0, 0},
    {"BLine_Fold", kMediaBlackMark, 0, 0},    {"Perforated", kMediaPerforated, 0, 0},
    {"Roll", kMediaRoll, 0, 0},               {"Recording", kMediaRecording, 0, 0},
    {"Tattoo", kMediaTattoo, 0, 0},           {"TattooWrinkle", kMediaTattooWrinkle, 0, 0},
    {"TattooGuidelines", kMediaTattooWrinkle, 0, 0},
};

constexpr NamedChoice kCutModes[] = {{"None", kCutNone},         {"JobFull", kCutJobFull},
                                     {"JobPartial", kCutJobPartial}, {"PageFull", kCutPageFull},
                                     {"PagePartial", kCutPagePartial}, {nullptr, 0}};
constexpr NamedChoice kCashDrawerPulses[] = {
    {"None", kDrawerNone}, {"BeforePage", kDrawerBeforePage}, {"AfterPage", kDrawerAfterPage}, {nullptr, 0}};
constexpr NamedChoice kCutterModes[] = {{"None", kCutterNone},   {"Tear", kCutterTear},
                                        {"Cutter", kCutterCut},   {"Peel", kCutterPeel},
                                        {"PartialCutter", kCutterPartial}, {nullptr, 0}};

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
    MediaTracking,    // the media table
    Named,            // a table of choice names
};

struct Setting {
    const char *keyword;
    Kind kind;
    const char *logFormat;
    int32_t &(*number)(Records &);
    bool &(*flag)(Records &) = nullptr;
    const NamedChoice *names = nullptr;
};

// In the order they are read and logged.
const Setting kSettings[] = {
    {"MediaMethod", Kind::PrintMethod, "iPrinttype = %d", [](Records &r) -> int32_t & { return r.reg.iPrinttype; }},
    {"AdjustHoriaontal", Kind::Reference, "iReference[0] = %d",
     [](Records &r) -> int32_t & { return r.reg.iReference[0]; }},
    {"AdjustVertical", Kind::Reference, "iReference[1] = %d",
     [](Records &r) -> int32_t & { return r.reg.iReference[1]; }},
    {"zeMediaTracking", Kind::MediaTracking, "Gap = %d, %d, %d", [](Records &r) -> int32_t & { return r.reg.iGap[0]; }},
    {"FeedOffset", Kind::Feed, "iOffset = %d", [](Records &r) -> int32_t & { return r.reg.iOffset; }},
    {"Rotate", Kind::Number, "iRotate = %d", [](Records &r) -> int32_t & { return r.reg.iRotate; }},
    {"Darkness", Kind::PrinterOwn, "iDensity = %d", [](Records &r) -> int32_t & { return r.reg.iDensity; }},
    {"zePrintRate", Kind::PrinterOwn, "iSpeed = %d", [](Records &r) -> int32_t & { return r.reg.iSpeed; }},
    {"AutoDotted", Kind::Flag, "iDottedline = %d", nullptr, [](Records &r) -> bool & { return r.reg.iDottedline; }},
    {"Brightness", Kind::NumberAlways, "iLiangdu = %d", [](Records &r) -> int32_t & { return r.tone.iLiangdu; }},
    {"Contrast", Kind::Number, "iDuibidu = %d", [](Records &r) -> int32_t & { return r.tone.iDuibidu; }},
    {"ImageFilter", Kind::Number, "iGrayMethod = %d", [](Records &r) -> int32_t & { return r.tone.iGrayMethod; }},
    {"Threshold", Kind::Number, "iThreValue = %d", [](Records &r) -> int32_t & { return r.tone.iThreValue; }},
    {"ImageCompress", Kind::Flag, "ImageCompress = %d", nullptr,
     [](Records &r) -> bool & { return r.tone.ImageCompress; }},
    {"CropEdgeTop", Kind::Number, "iCropTopEdge = %d", [](Records &r) -> int32_t & { return r.tone.iCropTopEdge; }},
    {"CropEdgeBottom", Kind::Number, "iCropBottomEdge = %d",
     [](Records &r) -> int32_t & { return r.tone.iCropBottomEdge; }},
    {"CropEdgeLeft", Kind::Number, "iCropLeftEdge = %d", [](Records &r) -> int32_t & { return r.tone.iCropLeftEdge; }},
    {"CropEdgeRight", Kind::Number, "iCropRightEdge = %d",
     [](Records &r) -> int32_t & { return r.tone.iCropRightEdge; }},
    // Finishing: only the printer classes that cut or have a drawer offer
    // these; a name the table does not know keeps the default.
    {"CutMode", Kind::Named, "iCutMode = %d", [](Records &r) -> int32_t & { return r.reg.iCutMode; }, nullptr,
     kCutModes},
    {"CashDrawer", Kind::Named, "iCashDrawer = %d", [](Records &r) -> int32_t & { return r.reg.iCashDrawer; },
     nullptr, kCashDrawerPulses},
    {"CutterMode", Kind::Named, "iCutterMode = %d", [](Records &r) -> int32_t & { return r.reg.iCutterMode; },
     nullptr, kCutterModes},
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
            if (present && choice != "Default")
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
                for (const MediaRow &row : kMediaTable) {
                    if (choice == row.choice) {
                        regStruct.iGap[0] = row.type;
                        regStruct.iGap[1] = row.length;
                        regStruct.iGap[2] = row.offset;
                        break;
                    }
                }
                AddLog(setting.logFormat, regStruct.iGap[0], regStruct.iGap[1], regStruct.iGap[2]);
            }
            break;
        case Kind::Named:
            for (const NamedChoice *row = setting.names; present && row->choice != nullptr; ++row) {
                if (choice == row->choice) {
                    AddLog(setting.logFormat, setting.number(records) = row->value);
                    break;
                }
            }
            break;
        }
    }
}

std::vector<const char *> CBaseRender::SettingKeywords()
{
    std::vector<const char *> keywords;
    for (const Setting &setting : kSettings)
        keywords.push_back(setting.keyword);
    return keywords;
}
