#pragma once

#include "image/raster_image.h"
#include "render/obj_ref.h"
#include "render/settings.h"

#include <cups/ppd.h>
#include <cups/raster.h>

#include <string>

// The job's render object: the page image, the page resolution, the settings
// records and the hooks the job driver calls in a fixed order. Each printer
// language derives from it and encodes the prepared page in OnPaintBmp.
class CBaseRender : public TObjRefImpl<IObjRef> {
public:
    CBaseRender() = default;
    ~CBaseRender() override = default;

    virtual void OnStartDoc(unsigned long) {}
    virtual void OnEndDoc() { OnDestroy(); }
    virtual void OnInit() {}
    virtual void OnDestroy() {}
    virtual void OnStartPage() {}
    virtual void OnEndPage() {}
    virtual void OnBeginBmp() {}
    virtual void OnEndBmp() {}
    virtual void OnPaintBmp() {}
    // The base class drops printer output and log lines; CCupsRender binds
    // them to standard output and the system log.
    virtual void WriteSpool(const void *, int) {}
    virtual void AddLog(const char *, ...) {}
    virtual void GetPrinterParameters() { AddLog("CBaseRender::GetPrinterParameters"); }

    void SetModelName(const char *name) { modelName = name != nullptr ? name : ""; }

    // Whether printer output could not be delivered: the job must end, and
    // nothing more is sent.
    bool OutputFailed() const { return outputFailed; }

    // Page preparation for a one-bit printer.
    void AdjustImage();
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
    ppd_file_t *ppd = nullptr;
    cups_page_header2_t *header = nullptr;
    bool initialized = false;
    std::string modelName;

protected:
    bool outputFailed = false;
};
