#include "support/raw_raster.h"

#include <cstring>

RawRasterPage MakeRawPage(const RasterPage &page)
{
    RawRasterPage raw;
    FillRasterHeader(page, raw.header);
    raw.data.assign(page.data.begin(), page.data.end());
    return raw;
}

std::string RawRasterStream(const std::vector<RawRasterPage> &pages)
{
    const unsigned sync = CUPS_RASTER_SYNC;
    std::string stream(reinterpret_cast<const char *>(&sync), sizeof(sync));
    for (const RawRasterPage &page : pages) {
        stream.append(reinterpret_cast<const char *>(&page.header), sizeof(page.header));
        stream += page.data;
    }
    return stream;
}
