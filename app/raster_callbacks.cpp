#include "app/raster_callbacks.h"

#include "app/client_raster_page.h"
#include "app/file_device.h"
#include "app/interrupted_jobs.h"
#include "app/job_end_report.h"
#include "app/job_output.h"
#include "app/job_request.h"
#include "app/page_overrides.h"
#include "app/page_tally.h"
#include "app/printer_status.h"
#include "printers/driver_table.h"
#include "render/print_job.h"

#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

struct JobContext {
    JobContext(pappl_job_t *job, pappl_device_t *device, const tagDriverInfo &row, JobRequest request)
        : row(row), request(std::move(request)), output(job, device), engine(CreateRender(row.model->language), output)
    {
    }
    const tagDriverInfo &row;
    JobRequest request;
    PapplJobOutput output;
    CPrintJob engine;
    // The page being received cannot be printed (its header asks for more
    // than the engine takes): its lines are read and dropped, and the job
    // goes on with the next page, as the filter does.
    bool pageRefused = false;
    // The page comes as 8-bit black-on-white grey (0 is paper): its lines
    // are turned back into the engine's white-on-black grey here.
    bool inverted = false;
    std::vector<uint8_t> line;
    PageTally tally;
};

// Settings of a page that IPP overrides cover; false, with the job's
// message set, when they cannot be printed.
bool OverridePage(pappl_job_t *job, JobContext &context, unsigned page)
{
    ipp_attribute_t *overrides = papplJobGetAttribute(job, "overrides");
    if (overrides == nullptr || ippGetValueTag(overrides) != IPP_TAG_BEGIN_COLLECTION)
        return true;
    JobRequest request = context.request;
    const OverrideResult result = ApplyOverrides(context.row, overrides, page, request);
    if (!result.refused.empty()) {
        context.output.Message(IJobOutput::Level::Error, ("Page " + std::to_string(page) + ": " + result.refused).c_str());
        return false;
    }
    if (!result.covered)
        return true;
    for (const std::string &name : result.ignored)
        papplLogJob(job, PAPPL_LOGLEVEL_WARN, "Page %u: '%s' cannot be overridden on this printer.", page, name.c_str());
    context.engine.OverridePage(MapJobSettings(context.row, request));
    return true;
}

// Every override's values, checked before the job prints anything: a value
// the printer does not support refuses the whole job, as on the job itself.
bool CheckOverrides(pappl_job_t *job, const tagDriverInfo &driver, const JobRequest &request, std::string &error)
{
    ipp_attribute_t *overrides = papplJobGetAttribute(job, "overrides");
    if (overrides == nullptr || ippGetValueTag(overrides) != IPP_TAG_BEGIN_COLLECTION)
        return true;
    JobRequest scratch = request;
    error = ApplyOverrides(driver, overrides, 0, scratch).refused;
    if (!error.empty())
        error = "overrides: " + error;
    return error.empty();
}

// Black-on-white grey to white-on-black, sixteen pixels at a time.
void InvertLine(const uint8_t *from, size_t length, uint8_t *to)
{
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i ones = _mm_set1_epi8(static_cast<char>(0xFF));
    for (; i + 16 <= length; i += 16) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + i));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(to + i), _mm_xor_si128(pixels, ones));
    }
#endif
    for (; i < length; ++i)
        to[i] = static_cast<uint8_t>(~from[i]);
}

JobContext *Context(pappl_job_t *job)
{
    return static_cast<JobContext *>(papplJobGetData(job));
}

}  // namespace

bool StartRasterJob(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device)
{
    InterruptedJobs::Starting(job);
    pappl_printer_t *printer = papplJobGetPrinter(job);
    const char *driverName = papplPrinterGetDriverName(printer);
    const tagDriverInfo *row = driverName != nullptr ? FindDriver(driverName) : nullptr;
    if (row == nullptr) {
        papplJobSetMessage(job, "The printer's driver is unknown.");
        return false;
    }
    JobRequest request;
    std::string error;
    ipp_t *printerAttributes = papplPrinterGetDriverAttributes(printer);
    const bool valid = ReadJobRequest(*row, *options, printerAttributes, request, error) &&
                       CheckOverrides(job, *row, request, error);
    ippDelete(printerAttributes);
    if (!valid) {
        papplJobSetMessage(job, "%s", error.c_str());
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", error.c_str());
        return false;
    }
    const tagJobSettings settings = MapJobSettings(*row, request);
    if (!WaitUntilPrinterCanPrint(job, device))
        return false;

    std::unique_ptr<JobContext> context(new (std::nothrow) JobContext(job, device, *row, std::move(request)));
    if (context == nullptr)
        return false;
    // The model name the filter reads from the PPD.
    const std::string modelName = std::string("dotweave ") + row->modelName;
    if (!context->engine.Start(modelName.c_str(), &settings))
        return false;
    papplJobSetData(job, context.release());
    return true;
}

bool StartRasterPage(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *, unsigned page)
{
    JobContext *context = Context(job);
    if (context == nullptr || context->engine.IsCanceled() || !OverridePage(job, *context, page))
        return false;
    cups_page_header2_t header = options->header;
    context->inverted = header.cupsBitsPerPixel == 8 && header.cupsColorSpace == CUPS_CSPACE_K;
    if (context->inverted)
        header.cupsColorSpace = CUPS_CSPACE_SW;
    // PAPPL hands over its own header, and the client's lines as they came,
    // for a page whose depth differs from the printer's 8-bit grey.
    const cups_page_header2_t *sent = ClientRasterPage::Last();
    if (sent != nullptr && sent->cupsBitsPerPixel != header.cupsBitsPerPixel) {
        context->engine.SkipPage(*sent, "the printer takes 8-bit grey pages only");
        context->pageRefused = true;
    } else {
        context->pageRefused = !context->engine.BeginPage(header);
    }
    // The engine has said why; only a failure of the job itself ends it.
    if (context->engine.Failed())
        return false;
    if (context->pageRefused) {
        const char *why = papplJobGetMessage(job);
        context->tally.Refused(context->engine.Pages(), why != nullptr ? why : "");
    }
    if (context->inverted && !context->pageRefused) {
        try {
            context->line.resize(header.cupsBytesPerLine);
        } catch (const std::bad_alloc &) {
            papplJobSetMessage(job, "Not enough memory to print this job.");
            return false;
        }
    }
    return true;
}

bool WriteRasterLine(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *, unsigned y,
                     const unsigned char *line)
{
    JobContext *context = Context(job);
    if (context == nullptr)
        return false;
    // PAPPL hands the lines over in order, one each.
    (void)y;
    if (context->pageRefused)
        return true;
    const size_t length = options->header.cupsBytesPerLine;
    if (context->inverted && length == context->line.size()) {
        InvertLine(line, length, context->line.data());
        line = context->line.data();
    }
    context->engine.AddLine(line, length);
    return true;
}

bool EndRasterPage(pappl_job_t *job, pappl_pr_options_t *, pappl_device_t *device, unsigned)
{
    JobContext *context = Context(job);
    if (context == nullptr)
        return false;
    // A job cancelled inside a page still gets that page whole, so the
    // printer is left at a page boundary.
    if (papplJobIsCanceled(job))
        context->engine.Cancel();
    const bool printed = context->engine.PrintPage();
    const bool ended = context->engine.EndPage();
    if (printed && !context->pageRefused)
        context->tally.Printed();
    context->pageRefused = false;
    papplDeviceFlush(device);
    return printed && ended;
}

bool EndRasterJob(pappl_job_t *job, pappl_pr_options_t *, pappl_device_t *device)
{
    std::unique_ptr<JobContext> context(Context(job));
    papplJobSetData(job, nullptr);
    if (context == nullptr)
        return false;
    bool printed = ReportJobEnd(job, context->tally, context->engine.Pages(), context->engine.Finish());
    papplDeviceFlush(device);
    printed = CheckPrinterAfterJob(job, device) && printed;
    EndJobFile(papplJobGetPrinter(job), device);
    context->output.KeepAsLastJob();
    return printed;
}
