#include "render/job_options.h"

#include "render/ppd_keywords.h"

#include <iterator>

namespace {

constexpr tagOptionChoice kHalftones[] = {
    {"threshold", "0", kThreshold},
    {"floyd-steinberg", "1", kFloydSteinberg},
    {"bayer-4x4", "2", kOrderedBayer4},
    {"burkes", "3", kBurkes},
    {"stucki", "4", kStucki},
    {"jarvis-judice-ninke", "5", kJarvisJudiceNinke},
    {"sierra", "6", kSierra},
    {"stevenson-arce", "7", kStevensonArce},
    {"interleaved-4x4", "8", kOrderedInterleaved4},
    {"bayer-8x8", "9", kOrderedBayer8},
    {"ordered-16x16", "10", kOrdered16},
    {"automatic", "11", kAutomatic},
};
constexpr tagOptionChoice kCutModes[] = {
    {"none", "None", kCutNone},
    {"job-full", "JobFull", kCutJobFull},
    {"job-partial", "JobPartial", kCutJobPartial},
    {"page-full", "PageFull", kCutPageFull},
    {"page-partial", "PagePartial", kCutPagePartial},
};
constexpr tagOptionChoice kCashDrawerPulses[] = {
    {"none", "None", kDrawerNone},
    {"before-page", "BeforePage", kDrawerBeforePage},
    {"after-page", "AfterPage", kDrawerAfterPage},
};
constexpr tagOptionChoice kCutterModes[] = {
    {"none", "None", kCutterNone},         {"tear", "Tear", kCutterTear},
    {"peel", "Peel", kCutterPeel},         {"cutter", "Cutter", kCutterCut},
    {"partial-cutter", "PartialCutter", kCutterPartial},
};
// How long a page of another width laid out on a continuous roll is: its
// content's length, or its own page's. The filter's pages come sized by
// CUPS: it has no such choice.
constexpr tagOptionChoice kRollLengths[] = {
    {"content", nullptr, kRollLengthContent},
    {"page", nullptr, kRollLengthPage},
};
constexpr tagOptionChoice kPrintMethods[] = {
    {"direct-thermal", "Direct", kDirectThermal},
    {"thermal-transfer", "Transfer", kThermalTransfer},
};

// Lengths in millimetres; a trim limit of -1 trims every blank row.
constexpr int32_t kMaxMm = 1000;

using K = EOptionKind;
using S = tagJobSettings;

// In EJobOption order.
constexpr tagJobOptionInfo kOptions[] = {
    {EJobOption::HalftoneMethod, "halftone-method", ppdkeyword::kImageFilter, K::Keyword, kHalftones, 0, 0,
     [](S &s, int32_t v) { s.halftone.iGrayMethod = v; }},
    {EJobOption::ThresholdLevel, "threshold-level", ppdkeyword::kThreshold, K::Integer, {}, 0, 255,
     [](S &s, int32_t v) { s.halftone.iThreValue = v; }},
    {EJobOption::Brightness, "brightness", ppdkeyword::kBrightness, K::Integer, {}, -255, 255,
     [](S &s, int32_t v) { s.halftone.iLiangdu = v; }},
    {EJobOption::Contrast, "contrast", ppdkeyword::kContrast, K::Integer, {}, -100, 100,
     [](S &s, int32_t v) { s.halftone.iDuibidu = v; }},
    {EJobOption::TrimTop, "trim-blank-top", ppdkeyword::kCropEdgeTop, K::Integer, {}, -1, kMaxMm,
     [](S &s, int32_t v) { s.halftone.iCropTopEdge = v; }},
    {EJobOption::TrimBottom, "trim-blank-bottom", ppdkeyword::kCropEdgeBottom, K::Integer, {}, -1, kMaxMm,
     [](S &s, int32_t v) { s.halftone.iCropBottomEdge = v; }},
    {EJobOption::TrimLeft, "trim-blank-left", ppdkeyword::kCropEdgeLeft, K::Integer, {}, -1, kMaxMm,
     [](S &s, int32_t v) { s.halftone.iCropLeftEdge = v; }},
    {EJobOption::TrimRight, "trim-blank-right", ppdkeyword::kCropEdgeRight, K::Integer, {}, -1, kMaxMm,
     [](S &s, int32_t v) { s.halftone.iCropRightEdge = v; }},
    // The feed after the page; the TSPL OFFSET line carries the same number.
    {EJobOption::FeedAfterPage, "feed-after-page", ppdkeyword::kFeedOffset, K::Integer, {}, 0, 100,
     [](S &s, int32_t v) { s.regStruct.iOffset = s.regStruct.iFeedLength = v; }},
    {EJobOption::BitmapCompression, "bitmap-compression", ppdkeyword::kImageCompress, K::Boolean, {}, 0, 1,
     [](S &s, int32_t v) { s.halftone.ImageCompress = v != 0; }},
    {EJobOption::PrintMethod, "print-method", ppdkeyword::kMediaMethod, K::Keyword, kPrintMethods, 0, 0,
     [](S &s, int32_t v) { s.regStruct.iPrinttype = v; }},
    {EJobOption::DottedLine, "dotted-line", ppdkeyword::kAutoDotted, K::Boolean, {}, 0, 1,
     [](S &s, int32_t v) { s.regStruct.iDottedline = v != 0; }},
    {EJobOption::CutMode, "cut-mode", ppdkeyword::kCutMode, K::Keyword, kCutModes, 0, 0,
     [](S &s, int32_t v) { s.regStruct.iCutMode = v; }},
    {EJobOption::CashDrawer, "cash-drawer", ppdkeyword::kCashDrawer, K::Keyword, kCashDrawerPulses, 0, 0,
     [](S &s, int32_t v) { s.regStruct.iCashDrawer = v; }},
    {EJobOption::CutterMode, "cutter-mode", ppdkeyword::kCutterMode, K::Keyword, kCutterModes, 0, 0,
     [](S &s, int32_t v) { s.regStruct.iCutterMode = v; }},
    {EJobOption::RollLength, "roll-length", nullptr, K::Keyword, kRollLengths, 0, 0,
     [](S &, int32_t) {}},  // read by the layout, not the engine's settings
};

constexpr bool InOptionOrder()
{
    for (int i = 0; i < kJobOptionCount; ++i)
        if (static_cast<int>(kOptions[i].id) != i)
            return false;
    return std::size(kOptions) == kJobOptionCount;
}
static_assert(InOptionOrder(), "JobOptionInfo indexes the table by EJobOption");

}  // namespace

std::span<const tagJobOptionInfo> JobOptions()
{
    return kOptions;
}

const tagJobOptionInfo &JobOptionInfo(EJobOption option)
{
    return kOptions[static_cast<int>(option)];
}

const tagJobOptionInfo *FindJobOption(std::string_view ippName)
{
    for (const tagJobOptionInfo &option : kOptions)
        if (ippName == option.ippName)
            return &option;
    return nullptr;
}

const tagOptionChoice *FindChoice(const tagJobOptionInfo &option, int32_t value)
{
    for (const tagOptionChoice &choice : option.choices)
        if (choice.value == value)
            return &choice;
    return nullptr;
}

const tagOptionChoice *FindChoice(const tagJobOptionInfo &option, std::string_view ipp)
{
    for (const tagOptionChoice &choice : option.choices)
        if (ipp == choice.ipp)
            return &choice;
    return nullptr;
}
