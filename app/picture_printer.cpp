#include "app/picture_printer.h"

#include "app/grey_picture.h"
#include "app/raster_callbacks.h"

#include <memory>
#include <new>

namespace {

struct OptionsDeleter {
    void operator()(pappl_pr_options_t *options) const { papplJobDeletePrintOptions(options); }
};

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
    // Pixels that are not square have no single size in inches: the picture
    // is then fitted to the page.
    const uint32_t ppi = picture.XPpi() == picture.YPpi() ? picture.XPpi() : 0;
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Picture of %ux%u pixels, %u pixels per inch", picture.Width(),
                picture.Height(), ppi);

    if (!StartRasterJob(job, options.get(), device))
        return false;
    // Every copy is page 1 of the document. A cancelled job ends where the
    // engine says: its page in progress whole, no further copy.
    bool printed = true;
    for (int copy = 0; printed && copy < options->copies; ++copy) {
        printed = StartLaidOutPage(job, device, 1, picture.Pixels().data(), picture.Width(), picture.Height(), ppi);
        if (printed)
            printed = EndRasterPage(job, options.get(), device, 1);
        if (printed)
            papplJobSetImpressionsCompleted(job, 1);
    }
    return EndRasterJob(job, options.get(), device) && printed;
}
