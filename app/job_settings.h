#pragma once

#include "app/driver_table.h"

#include <pappl/pappl.h>

#include <string>
#include <utility>
#include <vector>

// The engine's settings as PPD keyword and choice pairs ("Darkness", "12").
using SettingPairs = std::vector<std::pair<std::string, std::string>>;

// What a job asks for, in IPP terms.
struct JobRequest {
    std::string mediaType;
    pappl_media_tracking_t mediaTracking = 0;
    int topOffset = 0;   // hundredths of mm
    int leftOffset = 0;
    int printDarkness = 0;         // -100 to 100, relative to the configured darkness
    int darknessConfigured = 50;   // 0 to 100
    int printSpeed = 0;            // hundredths of mm per second; 0: the printer's own
    pappl_color_mode_t colorMode = PAPPL_COLOR_MODE_MONOCHROME;
    ipp_orient_t orientation = IPP_ORIENT_PORTRAIT;
    std::vector<std::pair<std::string, std::string>> vendor;  // IPP name, value as text

    // Sets a vendor attribute, in place of an earlier value.
    void SetVendor(const std::string &name, const std::string &value);
};

// Printer darkness levels: 0 to 15, or 0 to 5; none for languages that
// send no darkness.
int DarknessLevels(const DriverRow &row);
// Highest print speed in inches per second; 0 for languages that send none.
int MaxSpeedIps(const DriverRow &row);
// Shift range in hundredths of mm each way; 0 where the language has none.
int TopOffsetRange(const DriverRow &row);
int LeftOffsetRange(const DriverRow &row);

// The one place IPP job attributes become the engine's settings. False, with
// a message, for a value the printer does not support.
bool MapJobSettings(const DriverRow &row, const JobRequest &request, SettingPairs &settings, std::string &error);

// A request with every default the driver announces.
JobRequest DefaultRequest(const DriverRow &row);
