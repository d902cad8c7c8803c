#pragma once

#include "filter/my_buffer.h"
#include "render/base_render.h"
#include "render/page_assembler.h"

#include <cups/ppd.h>
#include <cups/raster.h>

#include <csignal>
#include <cstdint>

// Process-wide job state.
extern int ModelNumber;
extern int Page;
extern volatile sig_atomic_t Canceled;
extern CStdRefPtr<CBaseRender> g_pRender;

// SIGTERM handler: the page in progress is finished, no further page starts.
extern "C" void CancelJob(int);

// Creates the render object for a PPD model number; null for an unknown one.
CBaseRender *CreateRenderForModel(int modelNumber);

// Reads `lines` lines of `lineBytes` bytes each into `target`, many lines to
// a call. False when the stream ends first: what it delivered is in place and
// the rest of the target is white (0xFF).
bool ReadLines(cups_raster_t *ras, uint8_t *target, uint32_t lineBytes, uint32_t lines);

// Reads a page that RefusePage accepts into `image`, one stored row per line
// as CreateFromArray would build it; lines the stream never delivered are
// white. False, with nothing read, when the image cannot be created.
bool ReadPageIntoImage(cups_raster_t *ras, const cups_page_header2_t &header, CRasterImage &image);

// Lets in-process tests supply their own render object; null restores the
// model table.
using RenderFactory = CBaseRender *(*)(int modelNumber);
void SetRenderFactory(RenderFactory factory);

// The job driver: arguments, raster stream, PPD, render object, page loop.
class CCupsInstance {
public:
    CCupsInstance() = default;
    virtual ~CCupsInstance() = default;

    int Run(int argc, char **argv);
    void StartPage(ppd_file_t *ppd, cups_page_header2_t *header, CMyBuffer &buffer);
    void EndPage(ppd_file_t *ppd, cups_page_header2_t *header);
};
