#pragma once

#include "support/raster_writer.h"

#include <cups/raster.h>

#include <string>
#include <vector>

// A page written byte for byte, header included, the way a hostile client
// could send it: libcups's writer would correct or refuse such headers.
struct RawRasterPage {
    cups_page_header2_t header;
    std::string data;  // the page's bytes as they follow the header
};

// A page whose header and lines are those of the regular page, for editing.
RawRasterPage MakeRawPage(const RasterPage &page);

// An uncompressed (version 3) raster stream of the pages.
std::string RawRasterStream(const std::vector<RawRasterPage> &pages);
