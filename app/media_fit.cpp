#include "app/media_fit.h"

#include "printers/printer_model.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Dots of a length in hundredths of millimetres, as PAPPL sizes its pages.
uint32_t Dots(int hundredthsOfMm, int dpi)
{
    return hundredthsOfMm > 0 && dpi > 0 ? static_cast<uint32_t>(int64_t{hundredthsOfMm} * dpi / 2540) : 0;
}

EPageScaling ScalingOf(pappl_scaling_t scaling)
{
    switch (scaling) {
    case PAPPL_SCALING_AUTO_FIT: return EPageScaling::AutoFit;
    case PAPPL_SCALING_FIT: return EPageScaling::Fit;
    case PAPPL_SCALING_FILL: return EPageScaling::Fill;
    case PAPPL_SCALING_NONE: return EPageScaling::None;
    default: return EPageScaling::Auto;
    }
}

// A landscape request turns the page; portrait, which clients and the
// printer's default send for any page, leaves the turn to the layout.
std::optional<EPageTurn> TurnOf(ipp_orient_t orientation)
{
    switch (orientation) {
    case IPP_ORIENT_LANDSCAPE: return EPageTurn::Left;
    case IPP_ORIENT_REVERSE_LANDSCAPE: return EPageTurn::Right;
    case IPP_ORIENT_REVERSE_PORTRAIT: return EPageTurn::Half;
    default: return std::nullopt;
    }
}

// Within two dots: clients round sizes their own way.
bool Near(uint32_t a, uint32_t b)
{
    return (a > b ? a - b : b - a) <= 2;
}

}  // namespace

std::optional<MediaFit> MediaFit::ForJob(pappl_job_t *job, const pappl_pr_options_t &options,
                                         const tagDriverInfo &driver)
{
    pappl_pr_driver_data_t data;
    if (papplPrinterGetDriverData(papplJobGetPrinter(job), &data) == nullptr)
        return std::nullopt;
    // One roll per printer: a job's media of another size is not loaded.
    MediaFit fit;
    fit.loaded = data.media_ready[0].size_width > 0 ? data.media_ready[0] : data.media_default;
    const int dpi = driver.dpi;
    tagLayoutMedia &media = fit.media;
    media.width = Dots(fit.loaded.size_width, dpi);
    media.height = Dots(fit.loaded.size_length, dpi);
    media.left = Dots(fit.loaded.left_margin, dpi);
    media.right = Dots(fit.loaded.right_margin, dpi);
    media.top = Dots(fit.loaded.top_margin, dpi);
    media.bottom = Dots(fit.loaded.bottom_margin, dpi);
    media.xDpi = media.yDpi = static_cast<uint32_t>(dpi);
    media.roll = fit.loaded.tracking == PAPPL_MEDIA_TRACKING_CONTINUOUS;
    if (media.roll) {
        // A page on a roll is as long as its content, up to the longest the
        // printer takes.
        const pwg_media_t *longest = pwgMediaForPWG(driver.customMax);
        if (longest != nullptr)
            media.height = std::max(media.height, Dots(longest->length, dpi));
    }
    if (media.width == 0 || media.height == 0)
        return std::nullopt;
    fit.scaling = ScalingOf(options.print_scaling);
    return fit;
}

bool MediaFit::Keeps(const cups_page_header2_t &page) const
{
    if (page.HWResolution[0] != media.xDpi || page.HWResolution[1] != media.yDpi)
        return true;
    if (!Near(page.cupsWidth, media.width))
        return false;
    return media.roll || page.cupsHeight <= Dots(loaded.size_length, static_cast<int>(media.yDpi)) + 2;
}

std::optional<tagPageLayout> MediaFit::Place(const tagPageBox &content, uint32_t ppi, ipp_orient_t orientation) const
{
    return tagPageLayout::For(content, ppi, media, TurnOf(orientation), scaling);
}

cups_page_header2_t MediaFit::Header(const cups_page_header2_t &page, const tagPageLayout &layout) const
{
    cups_page_header2_t header = page;
    header.cupsWidth = media.width;
    header.cupsHeight = layout.mediaHeight;
    header.cupsBytesPerLine = media.width;
    header.cupsBitsPerColor = header.cupsBitsPerPixel = 8;
    header.cupsColorSpace = CUPS_CSPACE_SW;
    header.Orientation = CUPS_ORIENT_0;
    // In points, as PAPPL sizes its own pages: a label's size is the
    // media's own, a roll's length the content's.
    const float width = static_cast<float>(loaded.size_width) * 72.0f / 2540.0f;
    const float height = media.roll ? static_cast<float>(layout.mediaHeight) * 72.0f / static_cast<float>(media.yDpi)
                                    : static_cast<float>(loaded.size_length) * 72.0f / 2540.0f;
    header.cupsPageSize[0] = width;
    header.cupsPageSize[1] = height;
    header.PageSize[0] = static_cast<unsigned>(std::lround(width));
    header.PageSize[1] = static_cast<unsigned>(std::lround(height));
    header.ImagingBoundingBox[0] = header.ImagingBoundingBox[1] = 0;
    header.ImagingBoundingBox[2] = header.PageSize[0];
    header.ImagingBoundingBox[3] = header.PageSize[1];
    header.Margins[0] = header.Margins[1] = 0;
    return header;
}
