#include "app/picture_printer.h"

#include "app/grey_picture.h"
#include "app/picture_layout.h"
#include "app/raster_callbacks.h"

#include <memory>
#include <new>
#include <optional>
#include <vector>

namespace {

struct OptionsDeleter {
    void operator()(pappl_pr_options_t *options) const { papplJobDeletePrintOptions(options); }
};

uint32_t Dots(int hundredthsOfMm, unsigned dpi)
{
    return hundredthsOfMm > 0 ? static_cast<uint32_t>(static_cast<uint64_t>(hundredthsOfMm) * dpi / 2540) : 0;
}

PageFrame FrameOf(const pappl_pr_options_t &options)
{
    const cups_page_header2_t &header = options.header;
    PageFrame page;
    page.width = header.cupsWidth;
    page.height = header.cupsHeight;
    page.xDpi = header.HWResolution[0];
    page.yDpi = header.HWResolution[1];
    page.left = Dots(options.media.left_margin, page.xDpi);
    page.right = Dots(options.media.right_margin, page.xDpi);
    page.top = Dots(options.media.top_margin, page.yDpi);
    page.bottom = Dots(options.media.bottom_margin, page.yDpi);
    return page;
}

bool Refuse(pappl_job_t *job, const char *why)
{
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "The picture cannot be printed: %s.", why);
    papplJobSetMessage(job, "The picture cannot be printed: %s.", why);
    papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR, PAPPL_JREASON_NONE);
    return false;
}

}  // namespace

bool PrintPicture(pappl_job_t *job, pappl_device_t *device, const GreyPicture &picture)
{
    papplJobSetImpressions(job, 1);
    std::unique_ptr<pappl_pr_options_t, OptionsDeleter> options(papplJobCreatePrintOptions(job, 1, false));
    if (options == nullptr)
        return Refuse(job, "not enough memory");
    const cups_page_header2_t &header = options->header;
    // The drivers take 8-bit grey only, one byte per dot.
    if (header.cupsBitsPerPixel != 8 || header.cupsBytesPerLine != header.cupsWidth ||
        header.cupsColorSpace != CUPS_CSPACE_SW)
        return Refuse(job, "the printer does not take 8-bit grey");

    // Pixels that are not square have no single size in inches: the picture
    // is then fitted to the page.
    const uint32_t ppi = picture.XPpi() == picture.YPpi() ? picture.XPpi() : 0;
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Picture of %ux%u pixels, %u pixels per inch", picture.Width(),
                picture.Height(), ppi);
    const std::optional<PictureLayout> layout = PictureLayout::For(
        picture.Width(), picture.Height(), ppi, FrameOf(*options), options->orientation_requested, options->print_scaling);
    if (!layout)
        return Refuse(job, "it does not fit on the page");
    papplLogJob(job, PAPPL_LOGLEVEL_DEBUG, "Picture placed at %lld,%lld, %lldx%lld dots", static_cast<long long>(layout->left),
                static_cast<long long>(layout->top), static_cast<long long>(layout->width),
                static_cast<long long>(layout->height));
    std::optional<PictureLines> lines;
    std::vector<uint8_t> line;
    try {
        lines.emplace(picture, *layout, header.cupsWidth);
        line.resize(header.cupsBytesPerLine);
    } catch (const std::bad_alloc &) {
        return Refuse(job, "not enough memory");
    }
    // The picture is turned here already: the engine must not turn it again.
    options->orientation_requested = IPP_ORIENT_PORTRAIT;

    if (!StartRasterJob(job, options.get(), device))
        return false;
    // Every copy is page 1 of the document. A cancelled job ends where the
    // engine says: its page in progress whole, no further copy.
    bool printed = true;
    for (int copy = 0; printed && copy < options->copies; ++copy) {
        printed = StartRasterPage(job, options.get(), device, 1);
        for (uint32_t y = 0; printed && y < header.cupsHeight; ++y) {
            lines->Line(y, line.data());
            printed = WriteRasterLine(job, options.get(), device, y, line.data());
        }
        if (printed)
            printed = EndRasterPage(job, options.get(), device, 1);
        if (printed)
            papplJobSetImpressionsCompleted(job, 1);
    }
    return EndRasterJob(job, options.get(), device) && printed;
}
