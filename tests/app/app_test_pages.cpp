#include "app_test_pages.h"

#include <algorithm>
#include <cmath>
#include <cups/cups.h>

RasterPage MakeLabelPage(const tagDriverInfo &row, unsigned maxLines)
{
    const pwg_media_t *media = pwgMediaForPWG(row.model->defaultMedia);
    const unsigned width = static_cast<unsigned>(std::lround(media->width * row.dpi / 2540.0));
    const unsigned height = std::min(maxLines, static_cast<unsigned>(std::lround(media->length * row.dpi / 2540.0)));
    RasterPage page = MakeRasterPage(width, height, 8, 0xFF, static_cast<unsigned>(row.dpi));
    for (unsigned y = height / 6; y < height * 5 / 6; ++y) {
        uint8_t *line = page.Row(y);
        for (unsigned x = width / 10; x < width * 9 / 10; ++x) {
            const int dx = static_cast<int>(x) - static_cast<int>(width / 2);
            const int dy = static_cast<int>(y) - static_cast<int>(height / 2);
            if (dx * dx + dy * dy < static_cast<int>(height * height / 16))
                line[x] = 40;
            else if (y < height / 4)
                line[x] = 0;
            else
                line[x] = static_cast<uint8_t>((x * 255) / width);
        }
    }
    return page;
}

std::string PpdPath(const tagDriverInfo &row)
{
    return std::string(DOTWEAVE_PPD_DIR) + "/" + row.ppdFileName;
}

std::string WriteBothRasters(const std::string &cupsPath, const std::string &pwgPath, std::vector<RasterPage> pages)
{
    WriteRasterFile(cupsPath, pages);
    for (RasterPage &page : pages)
        page.colorSpace = CUPS_CSPACE_SW;
    WriteRasterFile(pwgPath, pages, CUPS_RASTER_WRITE_PWG);
    return pwgPath;
}
