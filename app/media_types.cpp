#include "app/media_types.h"

namespace {

constexpr MediaTypeRow kLabelTypes[] = {
    {"labels", nullptr}, {"continuous", "Continuous"},
    {"labels-fan-fold", "BLine_Fold"}, {"labels-perforated", "Perforated"},
};
constexpr MediaTypeRow kReceiptTypes[] = {
    {"continuous", "Continuous"}, {"roll", "Roll"},
};
constexpr MediaTypeRow kMobileTypes[] = {
    {"continuous", "Continuous"}, {"labels", nullptr}, {"labels-fan-fold", "BLine_Fold"},
};
constexpr MediaTypeRow kPocketTypes[] = {
    {"continuous", "Continuous"},      {"a4-sheets", "A4Stock"},
    {"labels", nullptr},               {"labels-fan-fold", "BLine_Fold"},
    {"perforated", "Perforated"},      {"roll", "Roll"},
    {"recording", "Recording"},        {"tattoo", "Tattoo"},
    {"tattoo-wrinkled", "TattooWrinkle"}, {"tattoo-guidelines", "TattooGuidelines"},
};

constexpr pappl_media_tracking_t kAllTracking =
    PAPPL_MEDIA_TRACKING_CONTINUOUS | PAPPL_MEDIA_TRACKING_GAP | PAPPL_MEDIA_TRACKING_MARK;

}  // namespace

std::span<const MediaTypeRow> MediaTypes(EPrinterClass set)
{
    switch (set) {
    case EPrinterClass::Label: return kLabelTypes;
    case EPrinterClass::Receipt: return kReceiptTypes;
    case EPrinterClass::Mobile: return kMobileTypes;
    case EPrinterClass::Pocket: break;
    }
    return kPocketTypes;
}

const char *DefaultMediaType(EPrinterClass set)
{
    return set == EPrinterClass::Label ? "labels" : "continuous";
}

pappl_media_tracking_t DefaultTracking(EPrinterClass set)
{
    if (set == EPrinterClass::Label)
        return PAPPL_MEDIA_TRACKING_GAP;
    return PAPPL_MEDIA_TRACKING_CONTINUOUS;
}

pappl_media_tracking_t SupportedTracking(EPrinterClass set)
{
    // Receipt printers feed a continuous roll and sense nothing.
    if (set == EPrinterClass::Receipt)
        return PAPPL_MEDIA_TRACKING_CONTINUOUS;
    return kAllTracking;
}

std::optional<std::string> TrackingChoice(EPrinterClass set, const std::string &type, pappl_media_tracking_t tracking)
{
    if (tracking != 0 && (tracking & SupportedTracking(set)) == 0)
        return std::nullopt;
    for (const MediaTypeRow &row : MediaTypes(set)) {
        if (type != row.type)
            continue;
        if (row.choice != nullptr)
            return std::string(row.choice);
        if (tracking == PAPPL_MEDIA_TRACKING_MARK)
            return std::string("BLine");
        if (tracking == PAPPL_MEDIA_TRACKING_CONTINUOUS)
            return std::string("Continuous");
        return std::string("Gap");
    }
    return std::nullopt;
}
