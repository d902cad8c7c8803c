#include "app/job_settings.h"

#include "render/media_kinds.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

// An inch per second in hundredths of millimetres per second.
constexpr int kIps = 2540;

// Hundredths of millimetres to the nearest dot.
int32_t Dots(int hundredths, int dpi)
{
    const int64_t scaled = int64_t{hundredths} * dpi;
    const int64_t dots = (std::abs(scaled) + kIps / 2) / kIps;
    return static_cast<int32_t>(scaled < 0 ? -dots : dots);
}

// Without an adjustment the job prints at the printer's own setting, the
// darkness the printer is configured to: no darkness command is sent (-1).
int32_t Density(const tagPrinterModel &model, const JobRequest &request)
{
    const int levels = model.darknessLevels;
    if (levels == 0 || request.printDarkness == 0)
        return -1;
    const int darkness = std::clamp(request.darknessConfigured + request.printDarkness, 0, 100);
    return (darkness * (levels - 1) + 50) / 100;
}

// The nearest whole speed the printer runs; -1 for its own.
int32_t Speed(const tagPrinterModel &model, const JobRequest &request)
{
    if (model.maxSpeedIps == 0 || request.printSpeed <= 0)
        return -1;
    return std::clamp((request.printSpeed + kIps / 2) / kIps, 1, model.maxSpeedIps);
}

int32_t Rotation(ipp_orient_t orientation)
{
    switch (orientation) {
    case IPP_ORIENT_LANDSCAPE: return kRotate90;
    case IPP_ORIENT_REVERSE_PORTRAIT: return kRotate180;
    case IPP_ORIENT_REVERSE_LANDSCAPE: return kRotate270;
    default: return kRotateNone;
    }
}

}  // namespace

unsigned SensingOf(pappl_media_tracking_t tracking)
{
    switch (tracking) {
    case PAPPL_MEDIA_TRACKING_CONTINUOUS: return kSenseContinuous;
    case PAPPL_MEDIA_TRACKING_GAP: return kSenseGap;
    case PAPPL_MEDIA_TRACKING_MARK: return kSenseMark;
    case 0: return 0;
    // A way no dotweave printer senses (web tracking, or nonsense).
    default: return 1u << 31;
    }
}

JobRequest DefaultRequest(const tagDriverInfo &driver)
{
    const tagPrinterModel &model = *driver.model;
    JobRequest request;
    request.mediaType = model.defaultMediaType;
    switch (model.defaultSensing) {
    case kSenseContinuous: request.mediaTracking = PAPPL_MEDIA_TRACKING_CONTINUOUS; break;
    case kSenseGap: request.mediaTracking = PAPPL_MEDIA_TRACKING_GAP; break;
    case kSenseMark: request.mediaTracking = PAPPL_MEDIA_TRACKING_MARK; break;
    }
    for (const tagModelOption &option : model.options)
        request.Option(option.option) = option.defaultValue;
    return request;
}

tagJobSettings MapJobSettings(const tagDriverInfo &driver, const JobRequest &request)
{
    const tagPrinterModel &model = *driver.model;
    tagJobSettings settings;
    tagREGSTRUCT &reg = settings.regStruct;

    const char *kindName = MediaKindOf(model, request.mediaType, SensingOf(request.mediaTracking));
    if (kindName == nullptr)
        kindName = MediaKindOf(model, model.defaultMediaType, model.defaultSensing);
    if (const tagMediaKind *kind = FindMediaKind(kindName != nullptr ? kindName : ""); kind != nullptr) {
        reg.iGap[0] = kind->tracking;
        reg.iGap[1] = kind->gapLength;
        reg.iGap[2] = kind->gapOffset;
    }

    reg.iReferenceUnit = kUnitDot;
    reg.iReference[0] = Dots(request.leftOffset, driver.dpi);
    reg.iReference[1] = Dots(request.topOffset, driver.dpi);
    reg.iDensity = Density(model, request);
    reg.iSpeed = Speed(model, request);
    reg.iRotate = Rotation(request.orientation);

    for (const tagModelOption &option : model.options)
        JobOptionInfo(option.option).store(settings, request.Option(option.option));
    // Bi-level printing is the fixed threshold, whatever the method.
    if (request.colorMode == PAPPL_COLOR_MODE_BI_LEVEL)
        settings.halftone.iGrayMethod = kThreshold;
    return settings;
}
