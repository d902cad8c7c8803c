#include "app/job_settings.h"

#include "app/media_types.h"
#include "app/vendor_options.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kTspl = 20;
constexpr int kCpcl = 22;
constexpr int kPeriPage = 24;

// The printers shift the print in steps of 8 mm, three steps each way.
constexpr int kShiftStep = 800;
constexpr int kShiftSteps = 3;

// An inch per second in hundredths of millimetres per second.
constexpr int kIps = 2540;

// Offsets are rounded to the nearest whole step.
int ShiftSteps(int offset)
{
    const int steps = (std::abs(offset) + kShiftStep / 2) / kShiftStep;
    return offset < 0 ? -steps : steps;
}

std::string DarknessChoice(const DriverRow &row, const JobRequest &request)
{
    const int levels = DarknessLevels(row);
    // Without an adjustment the job prints at the printer's own setting,
    // the darkness the printer is configured to: no darkness command is sent.
    if (levels == 0 || request.printDarkness == 0)
        return "Default";
    const int darkness = std::clamp(request.darknessConfigured + request.printDarkness, 0, 100);
    return std::to_string((darkness * (levels - 1) + 50) / 100);
}

std::string SpeedChoice(const DriverRow &row, const JobRequest &request)
{
    const int maxIps = MaxSpeedIps(row);
    if (maxIps == 0 || request.printSpeed <= 0)
        return "Default";
    return std::to_string(std::clamp((request.printSpeed + kIps / 2) / kIps, 1, maxIps));
}

std::string RotateChoice(ipp_orient_t orientation)
{
    switch (orientation) {
    case IPP_ORIENT_LANDSCAPE: return "2";
    case IPP_ORIENT_REVERSE_PORTRAIT: return "1";
    case IPP_ORIENT_REVERSE_LANDSCAPE: return "3";
    default: return "0";
    }
}

const std::string *VendorValue(const JobRequest &request, const char *attribute)
{
    for (const auto &[name, value] : request.vendor)
        if (name == attribute)
            return &value;
    return nullptr;
}

}  // namespace

int DarknessLevels(const DriverRow &row)
{
    if (row.engine.modelNumber != kTspl && row.engine.modelNumber != kPeriPage)
        return 0;
    return row.engine.darknessLevels;
}

int MaxSpeedIps(const DriverRow &row)
{
    return row.engine.modelNumber == kTspl ? 12 : 0;
}

int TopOffsetRange(const DriverRow &row)
{
    return row.engine.modelNumber == kTspl ? kShiftStep * kShiftSteps : 0;
}

int LeftOffsetRange(const DriverRow &row)
{
    return row.engine.modelNumber == kTspl || row.engine.modelNumber == kCpcl ? kShiftStep * kShiftSteps : 0;
}

bool MapJobSettings(const DriverRow &row, const JobRequest &request, SettingPairs &settings, std::string &error)
{
    settings.clear();
    const std::optional<std::string> tracking =
        TrackingChoice(row.engine.printerClass, request.mediaType, request.mediaTracking);
    if (!tracking) {
        error = "media-type '" + request.mediaType + "' with this media-tracking is not supported by " + row.engine.modelName;
        return false;
    }
    settings.emplace_back("zeMediaTracking", *tracking);

    const int top = TopOffsetRange(row);
    const int left = LeftOffsetRange(row);
    if (std::abs(request.topOffset) > top || std::abs(request.leftOffset) > left) {
        error = "media-top-offset or media-left-offset is outside what the printer can shift";
        return false;
    }
    settings.emplace_back("AdjustVertical", std::to_string(ShiftSteps(request.topOffset)));
    settings.emplace_back("AdjustHoriaontal", std::to_string(ShiftSteps(request.leftOffset)));
    settings.emplace_back("Darkness", DarknessChoice(row, request));
    settings.emplace_back("zePrintRate", SpeedChoice(row, request));
    settings.emplace_back("Rotate", RotateChoice(request.orientation));

    for (const VendorOption &option : VendorOptions()) {
        const bool offered = Offers(row, option);
        if (!offered && !option.inEveryPpd)
            continue;
        std::string choice = DefaultChoice(row, option);
        const std::string *value = offered ? VendorValue(request, option.attribute) : nullptr;
        if (value != nullptr) {
            const std::optional<std::string> mapped = PpdChoice(option, *value);
            if (!mapped) {
                error = std::string(option.attribute) + " '" + *value + "' is not supported";
                return false;
            }
            choice = *mapped;
        }
        // Bi-level printing is the fixed threshold, whatever the method.
        if (std::string(option.keyword) == "ImageFilter" && request.colorMode == PAPPL_COLOR_MODE_BI_LEVEL)
            choice = "0";
        settings.emplace_back(option.keyword, choice);
    }
    return true;
}

JobRequest DefaultRequest(const DriverRow &row)
{
    JobRequest request;
    request.mediaType = DefaultMediaType(row.engine.printerClass);
    request.mediaTracking = DefaultTracking(row.engine.printerClass);
    for (const VendorOption &option : VendorOptions())
        if (Offers(row, option))
            request.vendor.emplace_back(option.attribute, IppValue(option, DefaultChoice(row, option)));
    return request;
}

void JobRequest::SetVendor(const std::string &name, const std::string &value)
{
    for (auto &[vendorName, vendorValue] : vendor) {
        if (vendorName == name) {
            vendorValue = value;
            return;
        }
    }
    vendor.emplace_back(name, value);
}
