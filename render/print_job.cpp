#include "render/print_job.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <syslog.h>

namespace {

// The stream may set the header's enumerated fields to any 32-bit value, which
// the enumerations cannot hold; they are read as the plain numbers sent.
template <class Field>
int32_t EnumField(const Field &field)
{
    static_assert(sizeof(Field) == sizeof(int32_t));
    int32_t value;
    std::memcpy(&value, &field, sizeof(value));
    return value;
}

const char kOutOfMemory[] = "Not enough memory to print this job.";

}  // namespace

CPrintJob::CPrintJob(CBaseRender *object, IJobOutput &jobOutput) : output(jobOutput)
{
    render = MakeRefPtr<CBaseRender>(object);
    if (render != nullptr)
        render->SetOutput(&output);
}

template <class Step>
bool CPrintJob::Guarded(Step step)
{
    if (Failed())
        return false;
    try {
        return step() && !Failed();
    } catch (const std::bad_alloc &) {
        outOfMemory = true;
        output.Message(IJobOutput::Level::Error, kOutOfMemory);
        return false;
    }
}

bool CPrintJob::Start(const char *modelName, const tagJobSettings *settings)
{
    return Guarded([&] {
        if (settings != nullptr) {
            render->regStruct = settings->regStruct;
            render->halftone = settings->halftone;
        } else {
            render->GetPrinterParameters();
        }
        render->SetModelName(modelName);
        return render->OnStartDoc(0);
    });
}

void CPrintJob::OverridePage(const tagJobSettings &settings)
{
    if (render == nullptr)
        return;
    if (!overridden) {
        jobSettings = {render->regStruct, render->halftone};
        overridden = true;
    }
    render->regStruct = settings.regStruct;
    render->halftone = settings.halftone;
}

bool CPrintJob::BeginPage(const cups_page_header2_t &pageHeader)
{
    ++pages;
    pageReady = false;
    if (Failed())
        return false;
    header = pageHeader;
    if (const char *reason = RefusePage(header); reason != nullptr) {
        Refuse(reason);
        return false;
    }
    pageReady = Guarded([&] { return lines.Begin(header, render->image); });
    if (!pageReady && !Failed()) {
        output.Log(LOG_ERR, "create image error\n");
        // A page that silently does not print would be a failure reported as success.
        char message[512];
        std::snprintf(message, sizeof(message), "Page %d cannot be printed: the page image could not be built (%s).",
                      pages, render->image.GetLastError());
        output.Message(IJobOutput::Level::Error, message);
        render->image.Destroy();
    }
    return pageReady;
}

void CPrintJob::SkipPage(const cups_page_header2_t &pageHeader, const char *reason)
{
    ++pages;
    pageReady = false;
    if (Failed())
        return;
    header = pageHeader;
    Refuse(reason);
}

void CPrintJob::Refuse(const char *reason)
{
    char message[512];
    std::snprintf(message, sizeof(message), "Page %d cannot be printed: %s (%ux%u, %u bits per pixel, %u bytes per line).",
                  pages, reason, header.cupsWidth, header.cupsHeight, header.cupsBitsPerPixel, header.cupsBytesPerLine);
    output.Message(IJobOutput::Level::Error, message);
    // No image left over from an earlier page may pass for this one.
    render->image.Destroy();
}

void CPrintJob::LogHeader()
{
    char line[160];
    auto log = [&](const char *format, auto... values) {
        std::snprintf(line, sizeof(line), format, values...);
        output.Log(LOG_DEBUG, line);
    };
    log("DEBUG: Duplex = %d\n", EnumField(header.Duplex));
    log("DEBUG: HWResolution = [ %d %d ]\n", header.HWResolution[0], header.HWResolution[1]);
    log("DEBUG: ImagingBoundingBox = [ %d %d %d %d ]\n", header.ImagingBoundingBox[0], header.ImagingBoundingBox[1],
        header.ImagingBoundingBox[2], header.ImagingBoundingBox[3]);
    log("DEBUG: Margins = [ %d %d ]\n", header.Margins[0], header.Margins[1]);
    log("DEBUG: ManualFeed = %d\n", EnumField(header.ManualFeed));
    log("DEBUG: MediaPosition = %d\n", header.MediaPosition);
    log("DEBUG: NumCopies = %d\n", header.NumCopies);
    log("DEBUG: Orientation = %d\n", EnumField(header.Orientation));
    log("DEBUG: PageSize = [ %d %d ]\n", header.PageSize[0], header.PageSize[1]);
    log("DEBUG: cupsWidth = %d\n", header.cupsWidth);
    log("DEBUG: cupsHeight = %d\n", header.cupsHeight);
    log("DEBUG: cupsMediaType = %d\n", header.cupsMediaType);
    log("DEBUG: cupsBitsPerColor = %d\n", header.cupsBitsPerColor);
    log("DEBUG: cupsBitsPerPixel = %d\n", header.cupsBitsPerPixel);
    log("DEBUG: cupsBytesPerLine = %d\n", header.cupsBytesPerLine);
    log("DEBUG: cupsColorOrder = %d\n", EnumField(header.cupsColorOrder));
    log("DEBUG: cupsColorSpace = %d\n", EnumField(header.cupsColorSpace));
    log("DEBUG: cupsCompression = %d\n", header.cupsCompression);
}

bool CPrintJob::PrintPage()
{
    if (!pageReady)
        return !Failed();
    pageReady = false;
    return Guarded([&] {
        lines.Finish();
        LogHeader();
        char line[160];
        std::snprintf(line, sizeof(line), "create image width=%d, height=%d, bitsPerPixel=%d, bytesPerLine=%d",
                      header.cupsWidth, header.cupsHeight, header.cupsBitsPerPixel, header.cupsBytesPerLine);
        output.Log(LOG_DEBUG, line);

        CBaseRender &page = *render;
        page.header = &header;
        page.iDpi = static_cast<int>(header.HWResolution[0]);
        page.image.SetXDPI(static_cast<int>(header.HWResolution[0]));
        page.image.SetYDPI(static_cast<int>(header.HWResolution[1]));
        return page.OnStartPage() && page.OnBeginBmp() && page.OnPaintBmp() && page.OnEndBmp();
    });
}

bool CPrintJob::EndPage()
{
    pageReady = false;
    const bool ended = Guarded([&] { return render->OnEndPage(); });
    if (overridden && render != nullptr) {
        render->regStruct = jobSettings.regStruct;
        render->halftone = jobSettings.halftone;
        overridden = false;
    }
    return ended;
}

bool CPrintJob::Finish()
{
    // The document ends even after a failure: a back-end may hold state to
    // release. A failed job's output sends nothing more.
    if (render != nullptr && !outOfMemory) {
        try {
            render->OnEndDoc();
        } catch (const std::bad_alloc &) {
            outOfMemory = true;
            output.Message(IJobOutput::Level::Error, kOutOfMemory);
        }
        // The page header lives in this job; the render object must not
        // reach it any more.
        render->header = nullptr;
    }
    return !Failed();
}
