// PAPPL 1.3.1 (Debian 12) can run two jobs of one printer over each other,
// or one job twice, and crash on a job that has no document yet:
// - Its job check starts a thread for the first pending job and returns; the
//   printer only records the job as its own once that thread runs. A second
//   check in between (a job submitted just as the previous one finishes)
//   starts the same job again.
// - A finishing job closes the printer's device after it has let go of the
//   printer, so the next job may already be writing to it.
// - The check also starts a job made by Create-Job that was released (or
//   whose hold time passed) before its document arrived: with no document
//   type, PAPPL's search for a filter crashes the server.
// PAPPL has no public way around these: it starts the job threads itself.
//
// PAPPL reaches its job functions through its symbol table, so this
// executable's own definitions of them run first: the jobs of one printer
// run one after the other, each to its very end, and a job runs only while it
// is still pending and has its document. Any other thread started for it
// returns at once; the job then stays pending, and PAPPL's next check (when
// the document arrives, or when the printing job ends) starts it.
#include "app/document_filters.h"
#include "app/pappl_hooks.h"

#include <dlfcn.h>

#include <map>

namespace {

using JobThread = void *(*)(pappl_job_t *);
using RasterJob = void (*)(pappl_job_t *, pappl_client_t *);

template <typename Function>
Function Pappls(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// PAPPL 1.3.1 aborts a document it has no filter for without a word to the
// client: the job's message says why.
void ExplainUnprintable(pappl_job_t *job)
{
    pappl_pr_driver_data_t driver;
    papplPrinterGetDriverData(papplJobGetPrinter(job), &driver);
    const char *format = papplJobGetFormat(job);
    if (HasDocumentFilter(format, driver.format))
        return;
    papplJobSetMessage(job, "Documents of type %s cannot be printed.", format);
    papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, PAPPL_JREASON_NONE);
}

}  // namespace

// One lock per printer. A printer's entry stays after the printer is
// deleted: a later printer at the same address takes it over, so the map
// holds no more entries than printers ever existed at once.
std::mutex &JobStartLock(pappl_printer_t *printer)
{
    static std::mutex mapLock;
    static std::map<pappl_printer_t *, std::mutex> locks;
    std::lock_guard<std::mutex> guard(mapLock);
    return locks[printer];
}

extern "C" __attribute__((visibility("default"))) void *_papplJobProcess(pappl_job_t *job)
{
    static const auto pappls = Pappls<JobThread>("_papplJobProcess");
    if (pappls == nullptr || job == nullptr)
        return nullptr;
    std::lock_guard<std::mutex> running(JobStartLock(papplJobGetPrinter(job)));
    // Another thread ran this job while this one waited, or its document is
    // still on its way.
    if (papplJobGetState(job) != IPP_JSTATE_PENDING || papplJobGetFilename(job) == nullptr ||
        papplJobGetFormat(job) == nullptr)
        return nullptr;
    ExplainUnprintable(job);
    return pappls(job);
}

// A PWG or Apple raster job is printed by the thread of the client sending
// it: it too waits until the printer's previous job has ended.
extern "C" __attribute__((visibility("default"))) void _papplJobProcessRaster(pappl_job_t *job, pappl_client_t *client)
{
    static const auto pappls = Pappls<RasterJob>("_papplJobProcessRaster");
    if (pappls == nullptr || job == nullptr)
        return;
    std::lock_guard<std::mutex> running(JobStartLock(papplJobGetPrinter(job)));
    pappls(job, client);
}
