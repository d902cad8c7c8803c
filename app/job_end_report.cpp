#include "app/job_end_report.h"

#include "app/client_raster_page.h"

#include <cstdio>
#include <string>

namespace {

void SetMessage(pappl_job_t *job, const std::string &text)
{
    papplJobSetMessage(job, "%s", text.c_str());
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", text.c_str());
}

// Why PAPPL stopped reading a raster job at page `page`, which it logs but
// does not say.
std::string StoppedReading(pappl_job_t *job, int page, const cups_page_header2_t *sent)
{
    const pappl_jreason_t reasons = papplJobGetReasons(job);
    char text[256];
    if ((reasons & PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR) != 0)
        std::snprintf(text, sizeof(text), "Page %d cannot be printed: it is in colour, and the printer prints grey.",
                      page);
    else if ((reasons & PAPPL_JREASON_DOCUMENT_FORMAT_ERROR) != 0 && sent != nullptr)
        std::snprintf(text, sizeof(text),
                      "Page %d cannot be printed: its header describes no raster page (%ux%u, %u bits per colour, "
                      "%u bits per pixel, %u bytes per line); the rest of the job was not read.",
                      page, sent->cupsWidth, sent->cupsHeight, sent->cupsBitsPerColor, sent->cupsBitsPerPixel,
                      sent->cupsBytesPerLine);
    else
        std::snprintf(text, sizeof(text), "The raster data could not be read past page %d.", page - 1);
    return text;
}

}  // namespace

bool ReportJobEnd(pappl_job_t *job, const PageTally &tally, int pagesBegun, bool finished)
{
    papplJobSetImpressionsCompleted(job, tally.PrintedPages() - papplJobGetImpressionsCompleted(job));
    // The client's last page header, when PAPPL read the job from a client.
    const cups_page_header2_t *last = ClientRasterPage::Last();
    const bool cut = ClientRasterPage::LastWasCut();
    const cups_page_header2_t sent = last != nullptr ? *last : cups_page_header2_t{};
    ClientRasterPage::Forget();
    if (!finished)
        return false;
    if (cut) {
        char text[256];
        std::snprintf(text, sizeof(text),
                      "Page %d cannot be printed: it declares %u lines of %u bytes, more than any page has; the rest "
                      "of the job was not read.",
                      pagesBegun + 1, sent.cupsHeight, sent.cupsBytesPerLine);
        SetMessage(job, text);
        papplJobSetReasons(job, PAPPL_JREASON_ABORTED_BY_SYSTEM | PAPPL_JREASON_DOCUMENT_FORMAT_ERROR,
                           PAPPL_JREASON_NONE);
        return false;
    }
    // PAPPL counts an aborted job as cancelled too.
    const bool aborted = papplJobGetState(job) == IPP_JSTATE_ABORTED;
    if (papplJobIsCanceled(job) && !aborted)
        return true;
    if (aborted && papplJobGetMessage(job) == nullptr) {
        SetMessage(job, StoppedReading(job, pagesBegun + 1, last != nullptr ? &sent : nullptr));
        return false;
    }
    if (!tally.AnyRefused())
        return true;
    SetMessage(job, tally.Summary());
    if (tally.PrintedPages() == 0) {
        papplJobSetReasons(job, PAPPL_JREASON_ABORTED_BY_SYSTEM | PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR,
                           PAPPL_JREASON_NONE);
        return false;
    }
    papplJobSetReasons(job, PAPPL_JREASON_ERRORS_DETECTED | PAPPL_JREASON_JOB_COMPLETED_WITH_ERRORS,
                       PAPPL_JREASON_NONE);
    return true;
}
