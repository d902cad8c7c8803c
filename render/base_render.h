#pragma once

#include "image/raster_image.h"
#include "render/job_output.h"
#include "render/my_buffer.h"
#include "render/obj_ref.h"
#include "render/settings.h"
#include "render/settings_source.h"

#include <cups/raster.h>

#include <cstdarg>

#include <string>

// The job's render object: the page image, the page resolution, the settings
// records and the hooks the job drives in a fixed order. Each printer
// language derives from it and encodes the prepared page in OnPaintBmp.
//
// Printer bytes, messages and log lines go to the job's output; without one
// they are dropped. Every hook returns false when the job cannot go on (the
// printer bytes could not be delivered, memory ran out, a page outgrew the
// page buffer); the reason has then been reported. A page that only cannot
// be printed (too wide for its command, say) is reported and dropped, and
// the job goes on.
class CBaseRender : public TObjRefImpl<IObjRef> {
public:
    CBaseRender() = default;
    ~CBaseRender() override = default;

    virtual bool OnStartDoc(unsigned long) { return true; }
    virtual bool OnEndDoc() { return OnDestroy(); }
    virtual bool OnInit() { return true; }
    virtual bool OnDestroy() { return true; }
    virtual bool OnStartPage() { return true; }
    virtual bool OnEndPage() { return true; }
    // Runs OnInit once, at the first page, then prepares the page image.
    virtual bool OnBeginBmp();
    virtual bool OnEndBmp() { return true; }
    virtual bool OnPaintBmp() { return true; }
    // Hands printer bytes to the output; false once they could not be
    // delivered, after which nothing more is sent.
    virtual bool WriteSpool(const void *data, int length);
    // A diagnostic line at debug level.
    virtual void AddLog(const char *format, ...) __attribute__((format(printf, 2, 3)));
    // Reads the job's settings; a front end that knows where they are
    // overrides it (the CUPS filter reads the PPD).
    virtual void GetPrinterParameters() { AddLog("CBaseRender::GetPrinterParameters"); }

    // Reads every setting the back-ends and page preparation use from the
    // source, converting and clamping each value once.
    void ReadSettings(ISettingsSource &source);

    void SetModelName(const char *name) { modelName = name != nullptr ? name : ""; }
    void SetOutput(IJobOutput *jobOutput) { output = jobOutput; }

    // Whether the job has failed: nothing more is sent.
    bool Failed() const { return failed; }

    // Page preparation for a one-bit printer.
    bool AdjustImage();
    void CropWhiteEdge(int top, int bottom, int left, int right);
    int mm_2_dots(int mm) const;

    // One-bit bitmap tools.
    void Negative();
    void AdjustEffWidthBits();

    CRasterImage image;
    int iDpi = 0;
    tagREGSTRUCT regStruct;
    tagREGSTRUCTWITHALFTONE halftone;
    tagWaterMarkConfig waterMark;
    cups_page_header2_t *header = nullptr;
    bool initialized = false;
    std::string modelName;

protected:
    // A message for the person printing: "ERROR:" for the scheduler, the job
    // state message in the printer application.
    void ReportError(const char *format, ...) __attribute__((format(printf, 2, 3)));
    // Sends a page command buffer whole. A buffer that lost part of its
    // contents (memory ran out, or it outgrew its ceiling and started over)
    // would reach the printer as a cut page: it is refused, and the job fails.
    bool SpoolBuffer(const CMyBuffer &buffer);
    // Whether a buffer holds everything appended to it; if not, the job
    // fails with the reason.
    bool BufferIntact(const CMyBuffer &buffer);
    // Marks the job failed with a message.
    bool Fail(const char *format, ...) __attribute__((format(printf, 2, 3)));

private:
    enum class Channel { Log, Error };
    void Emit(Channel channel, const char *format, va_list args);

    IJobOutput *output = nullptr;
    bool failed = false;
};
