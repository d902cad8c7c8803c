#pragma once

#include "printers/driver_table.h"
#include "render/settings.h"

#include <pappl/pappl.h>

#include <array>
#include <cstdint>
#include <string>

// What a job asks for, in IPP terms, every value already checked against
// what the driver supports (app/job_request.cpp reads them).
struct JobRequest {
    std::string mediaType;
    pappl_media_tracking_t mediaTracking = 0;  // 0: not said
    int topOffset = 0;             // hundredths of mm
    int leftOffset = 0;
    int printDarkness = 0;         // -100 to 100, relative to the configured darkness
    int darknessConfigured = 50;   // 0 to 100
    int printSpeed = 0;            // hundredths of mm per second; 0: the printer's own
    pappl_color_mode_t colorMode = PAPPL_COLOR_MODE_MONOCHROME;
    ipp_orient_t orientation = IPP_ORIENT_PORTRAIT;
    // The vendor attributes, by EJobOption; only those the driver's
    // language takes are read.
    std::array<int32_t, kJobOptionCount> options{};

    int32_t &Option(EJobOption option) { return options[static_cast<size_t>(option)]; }
    int32_t Option(EJobOption option) const { return options[static_cast<size_t>(option)]; }
};

// A request with every default the driver announces.
JobRequest DefaultRequest(const tagDriverInfo &driver);

// The one place IPP job values become the engine's settings records.
tagJobSettings MapJobSettings(const tagDriverInfo &driver, const JobRequest &request);

// How the printer senses the media (EMediaSensing) for IPP's media-tracking.
unsigned SensingOf(pappl_media_tracking_t tracking);
