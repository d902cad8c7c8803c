#pragma once

#include "printers/driver_table.h"
#include "support/raster_writer.h"

#include <string>

// A label-like page of the driver's default media at its resolution (at
// most 600 lines): white paper, a grey ramp, a black bar and a dark disc,
// with white rows above and below so trimming has something to do.
RasterPage MakeLabelPage(const tagDriverInfo &row, unsigned maxLines = 600);

// The compiled PPD of the driver.
std::string PpdPath(const tagDriverInfo &row);

// Writes the pages as a CUPS raster for the filter and as a PWG raster in
// sGray for the application; returns the PWG raster's path.
std::string WriteBothRasters(const std::string &cupsPath, const std::string &pwgPath, std::vector<RasterPage> pages);
