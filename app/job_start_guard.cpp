// PAPPL 1.3.1 (Debian 12) can run two jobs of one printer over each other,
// or one job twice:
// - Its job check starts a thread for the first pending job and returns; the
//   printer only records the job as its own once that thread runs. A second
//   check in between (a job submitted just as the previous one finishes)
//   starts the same job again.
// - A finishing job closes the printer's device after it has let go of the
//   printer, so the next job may already be writing to it.
// - The check also starts a job made by Create-Job before its document has
//   arrived.
// - A spooled document of a type it has no conversion for (a PDF sent as
//   application/octet-stream, say) crashes the job's thread, and with it the
//   server, since these drivers send no document to the printer unconverted.
//
// PAPPL reaches its job functions through its symbol table, so this
// executable's own definitions of them run first: the jobs of one printer
// run one after the other, each to its very end, and a job runs only while it
// is still pending and has its document. Any other thread started for it
// returns at once; the job then stays pending, and PAPPL's next check (when
// the document arrives, or when the printing job ends) starts it. A job whose
// document cannot be converted is cancelled with a message saying why.
#include <pappl/pappl.h>

#include <dlfcn.h>

#include <map>
#include <mutex>

namespace {

using JobThread = void *(*)(pappl_job_t *);
using RasterJob = void (*)(pappl_job_t *, pappl_client_t *);

// PAPPL's own, exported but not declared in its public headers.
extern "C" void *_papplSystemFindMIMEFilter(pappl_system_t *system, const char *source, const char *destination);
extern "C" void _papplPrinterCheckJobs(pappl_printer_t *printer);

// One lock per printer, held while one of its jobs runs. A printer's entry
// stays after the printer is deleted: a later printer at the same address
// takes it over, so the map holds no more entries than printers ever existed
// at once.
std::mutex &PrinterLock(pappl_printer_t *printer)
{
    static std::mutex mapLock;
    static std::map<pappl_printer_t *, std::mutex> locks;
    std::lock_guard<std::mutex> guard(mapLock);
    return locks[printer];
}

// Whether PAPPL can turn the job's document into raster lines, as it looks
// for a conversion when it prints the job.
bool Convertible(pappl_job_t *job)
{
    const char *format = papplJobGetFormat(job);
    return format != nullptr &&
           _papplSystemFindMIMEFilter(papplPrinterGetSystem(papplJobGetPrinter(job)), format, "image/pwg-raster") !=
               nullptr;
}

void CancelUnconvertible(pappl_job_t *job)
{
    const char *format = papplJobGetFormat(job);
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unable to process job with format '%s'.", format ? format : "unknown");
    papplJobSetMessage(job, "Documents of type %s cannot be printed.", format ? format : "unknown");
    papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, PAPPL_JREASON_NONE);
    papplJobCancel(job);
    // The printer's next job is started here, as the cancelled one never
    // reaches the end where PAPPL would start it.
    _papplPrinterCheckJobs(papplJobGetPrinter(job));
}

template <typename Function>
Function Pappls(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void *_papplJobProcess(pappl_job_t *job)
{
    static const auto pappls = Pappls<JobThread>("_papplJobProcess");
    if (pappls == nullptr || job == nullptr)
        return nullptr;
    std::lock_guard<std::mutex> running(PrinterLock(papplJobGetPrinter(job)));
    // Another thread ran this job while this one waited, or its document is
    // still on its way.
    if (papplJobGetState(job) != IPP_JSTATE_PENDING || papplJobGetFilename(job) == nullptr)
        return nullptr;
    if (!Convertible(job)) {
        CancelUnconvertible(job);
        return nullptr;
    }
    return pappls(job);
}

// A PWG or Apple raster job is printed by the thread of the client sending
// it: it too waits until the printer's previous job has ended.
extern "C" __attribute__((visibility("default"))) void _papplJobProcessRaster(pappl_job_t *job, pappl_client_t *client)
{
    static const auto pappls = Pappls<RasterJob>("_papplJobProcessRaster");
    if (pappls == nullptr || job == nullptr)
        return;
    std::lock_guard<std::mutex> running(PrinterLock(papplJobGetPrinter(job)));
    pappls(job, client);
}
