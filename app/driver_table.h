#pragma once

#include <span>

// Which family of media a driver offers, as the printer descriptions group
// them: labels, receipt rolls, mobile printers, pocket printers.
enum class MediaSet { Label, Receipt, Mobile, Pocket };

// One printer description as the application offers it: the media sizes,
// margins and option defaults of its PPD, beside the engine's driver table
// (printers/driver_table.h), which has no media.
struct DriverRow {
    const char *name;          // driver name, e.g. "tspl_203dpi"
    const char *description;   // the PPD's ModelName
    int modelNumber;           // 20 TSPL, 21 ESC/POS, 22 CPCL, 23 Paperang, 24 PeriPage
    const char *language;      // the PPD's Personality
    int dpi;
    std::span<const char *const> media;  // PWG size names, in the PPD's order
    const char *defaultMedia;
    int sideMargin;            // left and right margin, hundredths of mm
    const char *customMin;     // smallest and largest custom size, as PWG names
    const char *customMax;
    MediaSet mediaSet;
    bool trimEnds;             // trim blank rows above and below by default
    bool feedAfterPage;        // feed 10 mm after each page by default
    bool fiveDarknessLevels;   // darkness 0 to 5 instead of 0 to 15
};

std::span<const DriverRow> AppDrivers();
const DriverRow *FindAppDriver(const char *name);
