#include "app/raster_callbacks.h"

#include "app/client_raster_page.h"
#include "app/driver_table.h"
#include "app/file_device.h"
#include "app/interrupted_jobs.h"
#include "app/job_end_report.h"
#include "app/job_output.h"
#include "app/job_settings.h"
#include "app/last_jobs.h"
#include "app/page_overrides.h"
#include "app/page_tally.h"
#include "app/vendor_options.h"
#include "printers/driver_table.h"
#include "render/print_job.h"
#include "render/settings_source.h"

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
    JobContext(pappl_job_t *job, pappl_device_t *device, const DriverRow &row, JobRequest request)
        : row(row), request(std::move(request)), output(job, device), engine(CreateRender(row.engine.language), output)
    {
    }
    const DriverRow &row;
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
    std::vector<std::string> ignored;
    if (!ApplyOverrides(context.row, overrides, page, request, ignored))
        return true;
    for (const std::string &name : ignored)
        papplLogJob(job, PAPPL_LOGLEVEL_WARN, "Page %u: '%s' cannot be overridden on this printer.", page, name.c_str());
    SettingPairs settings;
    std::string error;
    if (!MapJobSettings(context.row, request, settings, error)) {
        context.output.Message(IJobOutput::Level::Error, ("Page " + std::to_string(page) + ": " + error).c_str());
        return false;
    }
    CSettingPairs pairs(std::move(settings));
    return context.engine.OverridePage(pairs);
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

// The printer's vendor defaults, then the job's own values: PAPPL hands over
// only what the job sent.
void AddVendorValues(pappl_printer_t *printer, const pappl_pr_options_t &options, JobRequest &request)
{
    if (ipp_t *attributes = papplPrinterGetDriverAttributes(printer); attributes != nullptr) {
        for (const VendorOption &option : VendorOptions()) {
            const std::string name = std::string(option.attribute) + "-default";
            ipp_attribute_t *value = ippFindAttribute(attributes, name.c_str(), IPP_TAG_ZERO);
            char text[256];
            if (value != nullptr && ippAttributeString(value, text, sizeof(text)) > 0)
                request.vendor.emplace_back(option.attribute, text);
        }
        ippDelete(attributes);
    }
    for (int i = 0; i < options.num_vendor; ++i) {
        auto same = [&](const auto &pair) { return pair.first == options.vendor[i].name; };
        std::erase_if(request.vendor, same);
        request.vendor.emplace_back(options.vendor[i].name, options.vendor[i].value);
    }
}

JobRequest RequestOf(pappl_printer_t *printer, const pappl_pr_options_t &options)
{
    JobRequest request;
    request.mediaType = options.media.type;
    request.mediaTracking = options.media.tracking;
    request.topOffset = options.media.top_offset;
    request.leftOffset = options.media.left_offset;
    request.printDarkness = options.print_darkness;
    request.darknessConfigured = options.darkness_configured;
    request.printSpeed = options.print_speed;
    request.colorMode = options.print_color_mode;
    request.orientation = options.orientation_requested;
    AddVendorValues(printer, options, request);
    return request;
}

}  // namespace

bool StartRasterJob(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device)
{
    InterruptedJobs::Starting(job);
    pappl_printer_t *printer = papplJobGetPrinter(job);
    const DriverRow *row = FindAppDriver(papplPrinterGetDriverName(printer));
    if (row == nullptr) {
        papplJobSetMessage(job, "The printer's driver is unknown.");
        return false;
    }
    JobRequest request = RequestOf(printer, *options);
    SettingPairs settings;
    std::string error;
    if (!MapJobSettings(*row, request, settings, error)) {
        papplJobSetMessage(job, "%s", error.c_str());
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", error.c_str());
        return false;
    }
    std::string summary;
    for (const auto &[keyword, choice] : settings)
        summary += " " + keyword + "=" + choice;
    papplLogJob(job, PAPPL_LOGLEVEL_DEBUG, "Settings:%s", summary.c_str());

    std::unique_ptr<JobContext> context(new (std::nothrow) JobContext(job, device, *row, std::move(request)));
    if (context == nullptr)
        return false;
    // The model name the filter reads from the PPD.
    const std::string modelName = std::string("dotweave ") + row->engine.modelName;
    CSettingPairs pairs(std::move(settings));
    if (!context->engine.Start(modelName.c_str(), &pairs))
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
    const bool printed = ReportJobEnd(job, context->tally, context->engine.Pages(), context->engine.Finish());
    papplDeviceFlush(device);
    EndJobFile(papplJobGetPrinter(job), device);
    LastJobs::Job last;
    last.id = papplJobGetID(job);
    last.tooLarge = context->output.CaptureOverflowed();
    last.bytes = context->output.TakeCapture();
    LastJobs::Instance().Put(papplPrinterGetID(papplJobGetPrinter(job)), std::move(last));
    return printed;
}
