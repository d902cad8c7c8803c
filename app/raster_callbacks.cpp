#include "app/raster_callbacks.h"

#include "app/client_raster_page.h"
#include "app/file_device.h"
#include "app/interrupted_jobs.h"
#include "app/job_end_report.h"
#include "app/job_output.h"
#include "app/job_request.h"
#include "app/media_fit.h"
#include "app/page_overrides.h"
#include "app/page_tally.h"
#include "app/printer_status.h"
#include "printers/driver_table.h"
#include "render/page_resampler.h"
#include "render/print_job.h"

#include <algorithm>
#include <memory>
#include <new>
#include <optional>
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
    // The settings of the page being received: the job's, or its overrides.
    JobRequest pageRequest;
    // The loaded media, where the printer's driver data says it.
    std::optional<MediaFit> fit;
    // The page being received is of another size than the loaded media: it
    // is kept whole, as white-on-black grey, and laid out at its end.
    bool fitting = false;
    cups_page_header2_t fittingHeader{};
    std::vector<uint8_t> fittingPage;
};

// A page larger than this is not kept to be laid out (its turned copy takes
// as much again): an A4 page at 300 dpi is about a quarter of it.
constexpr uint64_t kMaxFittedPage = uint64_t{32} << 20;

// Settings of a page that IPP overrides cover; false, with the job's
// message set, when they cannot be printed.
bool OverridePage(pappl_job_t *job, JobContext &context, unsigned page)
{
    context.pageRequest = context.request;
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
    context.pageRequest = request;
    return true;
}

void NoteRefusal(pappl_job_t *job, JobContext &context)
{
    const char *why = papplJobGetMessage(job);
    context.tally.Refused(context.engine.Pages(), why != nullptr ? why : "");
}

// Begins a page of grey (255 white) laid out on the loaded media, and hands
// the engine its lines. False when the job cannot go on; a page that cannot
// be laid out is refused and the job goes on.
bool BeginLaidOutPage(pappl_job_t *job, JobContext &context, const cups_page_header2_t &sent, const uint8_t *pixels,
                      uint32_t width, uint32_t height, uint32_t ppi)
{
    // On a roll the page may keep its own length: it is then laid out whole.
    const bool wholePage = context.fit->Media().roll &&
                           context.pageRequest.Option(EJobOption::RollLength) == kRollLengthPage;
    const tagPageBox content =
        wholePage ? tagPageBox{0, 0, width, height} : ContentBox(pixels, width, height, width);
    const std::optional<tagPageLayout> layout = context.fit->Place(content, ppi, context.pageRequest.orientation);
    if (!layout) {
        context.engine.SkipPage(sent, "it cannot be laid out on the loaded media");
        context.pageRefused = true;
        NoteRefusal(job, context);
        return !context.engine.Failed();
    }
    papplLogJob(job, PAPPL_LOGLEVEL_INFO,
                "Page of %ux%u dots laid out on the loaded %ux%u dot media: its %ux%u content at %lld,%lld, "
                "%lldx%lld dots, turned %d",
                width, height, context.fit->Media().width, layout->mediaHeight, content.width, content.height,
                static_cast<long long>(layout->left), static_cast<long long>(layout->top),
                static_cast<long long>(layout->width), static_cast<long long>(layout->height),
                static_cast<int>(layout->turn));
    // The page is turned here already: the engine must not turn it again.
    JobRequest upright = context.pageRequest;
    upright.orientation = IPP_ORIENT_PORTRAIT;
    context.engine.OverridePage(MapJobSettings(context.row, upright));

    const cups_page_header2_t header = context.fit->Header(sent, *layout);
    std::optional<CPageResampler> lines;
    try {
        lines.emplace(pixels, width, *layout, header.cupsWidth);
        context.line.resize(header.cupsBytesPerLine);
    } catch (const std::bad_alloc &) {
        papplJobSetMessage(job, "Not enough memory to print this job.");
        return false;
    }
    context.pageRefused = !context.engine.BeginPage(header);
    if (context.engine.Failed())
        return false;
    if (context.pageRefused) {
        NoteRefusal(job, context);
        return true;
    }
    for (uint32_t y = 0; y < header.cupsHeight; ++y) {
        lines->Line(y, context.line.data());
        context.engine.AddLine(context.line.data(), header.cupsBytesPerLine);
    }
    return true;
}

// Starts keeping a client's page to lay it out at its end; false when the
// job cannot go on.
bool KeepPageToLayOut(pappl_job_t *job, JobContext &context, const cups_page_header2_t &sent)
{
    const uint64_t bytes = uint64_t{sent.cupsWidth} * sent.cupsHeight;
    if (bytes > kMaxFittedPage) {
        context.engine.SkipPage(sent, "it is too large to lay out on the loaded media");
        context.pageRefused = true;
        NoteRefusal(job, context);
        return !context.engine.Failed();
    }
    try {
        // Lines the client never sends stay white.
        context.fittingPage.assign(static_cast<size_t>(bytes), 255);
    } catch (const std::bad_alloc &) {
        papplJobSetMessage(job, "Not enough memory to print this job.");
        return false;
    }
    context.fitting = true;
    context.fittingHeader = sent;
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
    context->fit = MediaFit::ForJob(job, *options, *row);
    if (!context->fit)
        papplLogJob(job, PAPPL_LOGLEVEL_WARN, "The loaded media has no size: pages print at the size they come.");
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
    } else if (context->fit && header.cupsBitsPerPixel == 8 && !context->fit->Keeps(header)) {
        return KeepPageToLayOut(job, *context, header);
    } else {
        context->pageRefused = !context->engine.BeginPage(header);
    }
    // The engine has said why; only a failure of the job itself ends it.
    if (context->engine.Failed())
        return false;
    if (context->pageRefused)
        NoteRefusal(job, *context);
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
    if (context->fitting) {
        const cups_page_header2_t &page = context->fittingHeader;
        if (y < page.cupsHeight) {
            uint8_t *to = context->fittingPage.data() + static_cast<size_t>(y) * page.cupsWidth;
            const size_t bytes = std::min<size_t>(length, page.cupsWidth);
            if (context->inverted)
                InvertLine(line, bytes, to);
            else
                std::copy_n(line, bytes, to);
        }
        return true;
    }
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
    if (context->fitting) {
        context->fitting = false;
        const std::vector<uint8_t> page = std::move(context->fittingPage);
        const cups_page_header2_t &sent = context->fittingHeader;
        if (!BeginLaidOutPage(job, *context, sent, page.data(), sent.cupsWidth, sent.cupsHeight,
                              sent.HWResolution[0] == sent.HWResolution[1] ? sent.HWResolution[0] : 0))
            return false;
    }
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

bool StartLaidOutPage(pappl_job_t *job, pappl_device_t *, unsigned page, const uint8_t *pixels, uint32_t width,
                      uint32_t height, uint32_t ppi)
{
    JobContext *context = Context(job);
    if (context == nullptr || context->engine.IsCanceled() || !OverridePage(job, *context, page))
        return false;
    if (!context->fit) {
        papplJobSetMessage(job, "The loaded media has no size.");
        return false;
    }
    cups_page_header2_t sent{};
    sent.cupsWidth = sent.cupsBytesPerLine = width;
    sent.cupsHeight = height;
    sent.cupsBitsPerColor = sent.cupsBitsPerPixel = 8;
    sent.cupsColorSpace = CUPS_CSPACE_SW;
    sent.HWResolution[0] = sent.HWResolution[1] = context->fit->Media().xDpi;
    return BeginLaidOutPage(job, *context, sent, pixels, width, height, ppi);
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
