#pragma once

#include "filter/raster_page_reader.h"
#include "render/base_render.h"
#include "render/print_job.h"

#include <csignal>

// Set by SIGTERM: the page in progress is finished, no further page starts.
// A signal reaches the whole process, and the filter runs one job.
extern volatile sig_atomic_t Canceled;
extern "C" void CancelJob(int);

// Creates the render object for a PPD model number, to be bound to the PPD;
// null for an unknown one.
CBaseRender *CreateRenderForModel(int modelNumber);

// Lets in-process tests supply their own render object; null restores the
// driver table.
using RenderFactory = CBaseRender *(*)(int modelNumber);
void SetRenderFactory(RenderFactory factory);

// The job driver: arguments, raster stream, PPD and options, the page loop
// with its status lines for the scheduler.
class CCupsInstance {
public:
    CCupsInstance() = default;
    virtual ~CCupsInstance() = default;

    int Run(int argc, char **argv);
    // Prints the begun page: preparation and the back-end.
    void StartPage(CPrintJob &job);
    void EndPage(CPrintJob &job);

    // The PPD's model number, once Run has opened the PPD.
    int ModelNumber() const { return modelNumber; }

private:
    int modelNumber = 0;
};
