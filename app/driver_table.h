#pragma once

#include "printers/driver_table.h"

#include <span>

// One printer description as the application offers it: the media sizes,
// margins and option defaults of its PPD. What the filter shares (model,
// language, resolution, printer class, darkness levels) is the engine's row.
struct DriverRow {
    const char *name;          // driver name, e.g. "tspl_203dpi"
    const tagDriverInfo &engine;
    std::span<const char *const> media;  // PWG size names, in the PPD's order
    const char *defaultMedia;
    int sideMargin;            // left and right margin, hundredths of mm
    const char *customMin;     // smallest and largest custom size, as PWG names
    const char *customMax;
    bool trimEnds;             // trim blank rows above and below by default
    bool feedAfterPage;        // feed 10 mm after each page by default
};

std::span<const DriverRow> AppDrivers();
const DriverRow *FindAppDriver(const char *name);
