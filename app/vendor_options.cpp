#include "app/vendor_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr unsigned kTspl = LanguageBit(20);
constexpr unsigned kEscPos = LanguageBit(21);
constexpr unsigned kCpcl = LanguageBit(22);
constexpr unsigned kPaperang = LanguageBit(23);
constexpr unsigned kPeriPage = LanguageBit(24);
constexpr unsigned kAll = kTspl | kEscPos | kCpcl | kPaperang | kPeriPage;

constexpr VendorChoice kHalftones[] = {
    {"threshold", "0"},        {"floyd-steinberg", "1"}, {"bayer-4x4", "2"},
    {"burkes", "3"},           {"stucki", "4"},          {"jarvis-judice-ninke", "5"},
    {"sierra", "6"},           {"stevenson-arce", "7"},  {"interleaved-4x4", "8"},
    {"bayer-8x8", "9"},        {"ordered-16x16", "10"},   {"automatic", "11"},
};
constexpr VendorChoice kCutModes[] = {
    {"none", "None"},         {"page-full", "PageFull"}, {"page-partial", "PagePartial"},
    {"job-full", "JobFull"},  {"job-partial", "JobPartial"},
};
constexpr VendorChoice kCashDrawer[] = {
    {"none", "None"}, {"before-page", "BeforePage"}, {"after-page", "AfterPage"},
};
constexpr VendorChoice kCutterModes[] = {
    {"none", "None"}, {"tear", "Tear"}, {"peel", "Peel"}, {"cutter", "Cutter"}, {"partial-cutter", "PartialCutter"},
};
constexpr VendorChoice kPrintMethods[] = {
    {"direct-thermal", "Direct"}, {"thermal-transfer", "Transfer"},
};

// Lengths in millimetres; crop limits take -1 for "all blank rows".
constexpr int kMaxMm = 1000;

constexpr VendorOption kOptions[] = {
    {"halftone-method", "ImageFilter", VendorKind::Keyword, kHalftones, 0, 0, kAll, true},
    {"threshold-level", "Threshold", VendorKind::Integer, {}, 0, 255, kAll, true},
    {"brightness", "Brightness", VendorKind::Integer, {}, -255, 255, kAll, true},
    {"contrast", "Contrast", VendorKind::Integer, {}, -100, 100, kAll, true},
    {"trim-blank-top", "CropEdgeTop", VendorKind::Integer, {}, -1, kMaxMm, kAll, true},
    {"trim-blank-bottom", "CropEdgeBottom", VendorKind::Integer, {}, -1, kMaxMm, kAll, true},
    {"trim-blank-left", "CropEdgeLeft", VendorKind::Integer, {}, -1, kMaxMm, kAll, true},
    {"trim-blank-right", "CropEdgeRight", VendorKind::Integer, {}, -1, kMaxMm, kAll, true},
    {"feed-after-page", "FeedOffset", VendorKind::Integer, {}, 0, 100, kTspl | kEscPos | kPeriPage, true},
    {"bitmap-compression", "ImageCompress", VendorKind::Boolean, {}, 0, 0, kTspl | kPeriPage, true},
    {"print-method", "MediaMethod", VendorKind::Keyword, kPrintMethods, 0, 0, kTspl, true},
    {"dotted-line", "AutoDotted", VendorKind::Boolean, {}, 0, 0, kTspl, true},
    {"cut-mode", "CutMode", VendorKind::Keyword, kCutModes, 0, 0, kEscPos, false},
    {"cash-drawer", "CashDrawer", VendorKind::Keyword, kCashDrawer, 0, 0, kEscPos, false},
    {"cutter-mode", "CutterMode", VendorKind::Keyword, kCutterModes, 0, 0, kTspl, false},
};

std::optional<long> ParseInteger(const std::string &text)
{
    if (text.empty())
        return std::nullopt;
    char *end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || end == nullptr || *end != '\0')
        return std::nullopt;
    return value;
}

}  // namespace

std::span<const VendorOption> VendorOptions()
{
    return kOptions;
}

bool Offers(const DriverRow &row, const VendorOption &option)
{
    return (option.languages & LanguageBit(row.engine.modelNumber)) != 0;
}

std::string DefaultChoice(const DriverRow &row, const VendorOption &option)
{
    const std::string keyword = option.keyword;
    if (keyword == "ImageFilter")
        return "11";
    if (keyword == "Threshold")
        return "128";
    if (keyword == "CropEdgeTop" || keyword == "CropEdgeBottom")
        return row.trimEnds ? "-1" : "0";
    if (keyword == "FeedOffset")
        return row.feedAfterPage ? "10" : "0";
    if (keyword == "MediaMethod")
        return "Direct";
    if (keyword == "CutMode")
        return "JobFull";
    if (keyword == "CashDrawer" || keyword == "CutterMode")
        return "None";
    return "0";
}

std::string IppValue(const VendorOption &option, const std::string &choice)
{
    switch (option.kind) {
    case VendorKind::Keyword:
        for (const VendorChoice &c : option.choices)
            if (choice == c.ppd)
                return c.ipp;
        return std::string();
    case VendorKind::Boolean:
        return choice == "1" ? "true" : "false";
    case VendorKind::Integer:
        break;
    }
    return choice;
}

std::optional<std::string> PpdChoice(const VendorOption &option, const std::string &ippValue)
{
    switch (option.kind) {
    case VendorKind::Keyword:
        for (const VendorChoice &c : option.choices)
            if (ippValue == c.ipp)
                return std::string(c.ppd);
        return std::nullopt;
    case VendorKind::Boolean:
        if (ippValue == "true")
            return std::string("1");
        if (ippValue == "false")
            return std::string("0");
        return std::nullopt;
    case VendorKind::Integer:
        break;
    }
    const std::optional<long> value = ParseInteger(ippValue);
    if (!value || *value < option.min || *value > option.max)
        return std::nullopt;
    return std::to_string(*value);
}
