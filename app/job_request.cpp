#include "app/job_request.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

namespace {

// An inch per second in hundredths of millimetres per second.
constexpr int kIps = 2540;

struct Range {
    long long min;
    long long max;
};

// The integers an IPP client may set, and the values the driver supports;
// none for an attribute the driver's language does not take.
std::optional<Range> SupportedRange(const tagDriverInfo &driver, std::string_view attribute)
{
    const tagPrinterModel &model = *driver.model;
    if (attribute == "print-darkness")
        return model.darknessLevels > 0 ? std::optional<Range>({-100, 100}) : std::nullopt;
    if (attribute == "printer-darkness-configured")
        return Range{0, 100};
    if (attribute == "print-speed")
        return model.maxSpeedIps > 0 ? std::optional<Range>({kIps, model.maxSpeedIps * kIps}) : std::nullopt;
    // Printers that cannot shift the print support no offset but 0.
    if (attribute == "media-top-offset")
        return Range{-model.topOffsetRange, model.topOffsetRange};
    if (attribute == "media-left-offset")
        return Range{-model.leftOffsetRange, model.leftOffsetRange};
    if (attribute == "orientation-requested")
        return Range{IPP_ORIENT_PORTRAIT, IPP_ORIENT_NONE};
    if (const tagJobOptionInfo *option = FindJobOption(attribute);
        option != nullptr && option->kind == EOptionKind::Integer && Takes(model, option->id))
        return Range{option->min, option->max};
    return std::nullopt;
}

// PAPPL is C, where an enumeration field may hold any int; read as the
// number it holds, it is checked like any other.
int32_t NumberIn(const ipp_orient_t &field)
{
    static_assert(sizeof(field) == sizeof(int32_t));
    int32_t value;
    std::memcpy(&value, &field, sizeof(value));
    return value;
}

// The one check of an integer from IPP. A print-speed of 0 asks for the
// printer's own speed.
bool Accept(const tagDriverInfo &driver, const char *attribute, long long value, int &out, std::string &error)
{
    const std::optional<Range> range = SupportedRange(driver, attribute);
    const bool printersOwn = value == 0 && std::string_view(attribute) == "print-speed";
    if (!range || (!printersOwn && (value < range->min || value > range->max))) {
        error = std::string(attribute) + " " + std::to_string(value) + " is not supported";
        if (range)
            error += " (" + std::to_string(range->min) + " to " + std::to_string(range->max) + ")";
        error += " by " + std::string(driver.modelName) + ".";
        return false;
    }
    out = static_cast<int>(value);
    return true;
}

// A vendor attribute's value as text (PAPPL hands them over so): a keyword
// of the option, true or false, or a whole decimal number in range.
bool AcceptVendor(const tagDriverInfo &driver, const tagJobOptionInfo &option, const std::string &text,
                  JobRequest &request, std::string &error)
{
    int32_t &value = request.Option(option.id);
    switch (option.kind) {
    case EOptionKind::Keyword:
        if (const tagOptionChoice *choice = FindChoice(option, text); choice != nullptr) {
            value = choice->value;
            return true;
        }
        break;
    case EOptionKind::Boolean:
        if (text == "true" || text == "false") {
            value = text == "true" ? 1 : 0;
            return true;
        }
        break;
    case EOptionKind::Integer: {
        char *end = nullptr;
        errno = 0;
        const long long number = std::strtoll(text.c_str(), &end, 10);
        if (text.empty() || errno != 0 || end == nullptr || *end != '\0')
            break;
        int checked = 0;
        if (!Accept(driver, option.ippName, number, checked, error))
            return false;
        value = checked;
        return true;
    }
    }
    error = std::string(option.ippName) + " '" + text + "' is not supported by " + driver.modelName + ".";
    return false;
}

bool AcceptMedia(const tagDriverInfo &driver, const JobRequest &request, std::string &error)
{
    if (MediaKindOf(*driver.model, request.mediaType, SensingOf(request.mediaTracking)) != nullptr)
        return true;
    error = "media-type '" + request.mediaType + "' with this media-tracking is not supported by " +
            driver.modelName + ".";
    return false;
}

}  // namespace

bool ReadJobRequest(const tagDriverInfo &driver, const pappl_pr_options_t &options, ipp_t *printerAttributes,
                    JobRequest &request, std::string &error)
{
    const tagPrinterModel &model = *driver.model;
    request = DefaultRequest(driver);
    request.mediaType = options.media.type;
    request.mediaTracking = options.media.tracking;
    request.colorMode = options.print_color_mode;
    int orientation = 0;
    if (!AcceptMedia(driver, request, error) ||
        !Accept(driver, "media-top-offset", options.media.top_offset, request.topOffset, error) ||
        !Accept(driver, "media-left-offset", options.media.left_offset, request.leftOffset, error) ||
        !Accept(driver, "orientation-requested", NumberIn(options.orientation_requested), orientation, error))
        return false;
    request.orientation = static_cast<ipp_orient_t>(orientation);
    if (model.darknessLevels > 0 &&
        (!Accept(driver, "print-darkness", options.print_darkness, request.printDarkness, error) ||
         !Accept(driver, "printer-darkness-configured", options.darkness_configured, request.darknessConfigured, error)))
        return false;
    if (model.maxSpeedIps > 0 && !Accept(driver, "print-speed", options.print_speed, request.printSpeed, error))
        return false;

    // The printer's vendor defaults, then the job's own values: PAPPL hands
    // over only what the job sent.
    for (const tagModelOption &taken : model.options) {
        const tagJobOptionInfo &option = JobOptionInfo(taken.option);
        const std::string name = std::string(option.ippName) + "-default";
        ipp_attribute_t *value = printerAttributes != nullptr
                                     ? ippFindAttribute(printerAttributes, name.c_str(), IPP_TAG_ZERO)
                                     : nullptr;
        char text[256];
        if (value != nullptr && ippAttributeString(value, text, sizeof(text)) > 0 &&
            !AcceptVendor(driver, option, text, request, error))
            return false;
    }
    for (int i = 0; i < options.num_vendor; ++i) {
        const tagJobOptionInfo *option = FindJobOption(options.vendor[i].name);
        if (option != nullptr && Takes(model, option->id) &&
            !AcceptVendor(driver, *option, options.vendor[i].value, request, error))
            return false;
    }
    return true;
}

MemberResult ApplyOverrideMember(const tagDriverInfo &driver, ipp_attribute_t *member, JobRequest &request,
                                 std::string &error)
{
    const tagPrinterModel &model = *driver.model;
    const std::string name = ippGetName(member) != nullptr ? ippGetName(member) : "";
    const ipp_tag_t tag = ippGetValueTag(member);
    auto integer = [&](int &out) {
        return Accept(driver, name.c_str(), ippGetInteger(member, 0), out, error) ? MemberResult::Applied
                                                                                  : MemberResult::Refused;
    };
    if (name == "orientation-requested" && tag == IPP_TAG_ENUM) {
        int orientation = 0;
        const MemberResult result = integer(orientation);
        if (result == MemberResult::Applied)
            request.orientation = static_cast<ipp_orient_t>(orientation);
        return result;
    }
    if (name == "print-color-mode" && tag == IPP_TAG_KEYWORD) {
        const std::string mode = ippGetString(member, 0, nullptr);
        if (mode != "bi-level" && mode != "monochrome" && mode != "auto")
            return MemberResult::Ignored;
        request.colorMode = mode == "bi-level" ? PAPPL_COLOR_MODE_BI_LEVEL : PAPPL_COLOR_MODE_MONOCHROME;
        return MemberResult::Applied;
    }
    if (name == "print-darkness" && tag == IPP_TAG_INTEGER && model.darknessLevels > 0)
        return integer(request.printDarkness);
    if (name == "print-speed" && tag == IPP_TAG_INTEGER && model.maxSpeedIps > 0)
        return integer(request.printSpeed);
    if (const tagJobOptionInfo *option = FindJobOption(name); option != nullptr && Takes(model, option->id)) {
        char text[256];
        ippAttributeString(member, text, sizeof(text));
        return AcceptVendor(driver, *option, text, request, error) ? MemberResult::Applied : MemberResult::Refused;
    }
    return MemberResult::Ignored;
}
