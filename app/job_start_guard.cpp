// PAPPL 1.3.1 (Debian 12) can start one job twice. Its job check starts a
// thread for the first pending job and returns; the job leaves "pending" only
// once that thread runs. A second check in between (a job submitted just as
// the previous one finishes) starts the same job again: two threads then
// write the same device, and the late one may open the document after the
// first removed it. This executable's own definition of the check, which
// PAPPL calls through its symbol table, runs PAPPL's check one at a time and
// returns only once the job it started has the printer; it also holds the
// check back while a job still waits for its document.
#include <pappl/pappl.h>

#include <dlfcn.h>

#include <chrono>
#include <map>
#include <mutex>
#include <thread>

namespace {

using CheckJobs = void (*)(pappl_printer_t *);

struct ActiveJobs {
    int firstPending = 0;
    bool busy = false;              // a job is being processed
    bool awaitingDocument = false;  // a job made by Create-Job has no document yet
};

void NoteJob(pappl_job_t *job, void *data)
{
    auto *jobs = static_cast<ActiveJobs *>(data);
    const ipp_jstate_t state = papplJobGetState(job);
    if (state == IPP_JSTATE_PROCESSING || state == IPP_JSTATE_STOPPED)
        jobs->busy = true;
    else if ((state == IPP_JSTATE_PENDING || state == IPP_JSTATE_HELD) && papplJobGetFilename(job) == nullptr)
        jobs->awaitingDocument = true;
    else if (jobs->firstPending == 0 && state == IPP_JSTATE_PENDING)
        jobs->firstPending = papplJobGetID(job);
}

// Whether the started job has yet to take the printer: it is still pending,
// or it runs but the printer does not read busy yet (PAPPL marks the two
// apart). A job that already ended has taken and left it.
bool NotStartedYet(pappl_printer_t *printer, int id)
{
    pappl_job_t *job = papplPrinterFindJob(printer, id);
    if (job == nullptr)
        return false;
    const ipp_jstate_t state = papplJobGetState(job);
    if (state == IPP_JSTATE_PENDING)
        return true;
    return state == IPP_JSTATE_PROCESSING && papplPrinterGetState(printer) != IPP_PSTATE_PROCESSING;
}

// A job thread that has not taken the printer within this time is waiting
// for something else (a device that is not there): stop waiting for it.
constexpr auto kStartLimit = std::chrono::seconds(10);

// One check at a time per printer; printers do not wait for each other.
std::mutex &PrinterMutex(pappl_printer_t *printer)
{
    static std::mutex mapMutex;
    static std::map<pappl_printer_t *, std::mutex> mutexes;
    std::lock_guard<std::mutex> lock(mapMutex);
    return mutexes[printer];
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void _papplPrinterCheckJobs(pappl_printer_t *printer)
{
    static const auto pappls = reinterpret_cast<CheckJobs>(dlsym(RTLD_NEXT, "_papplPrinterCheckJobs"));
    if (pappls == nullptr || printer == nullptr)
        return;
    std::lock_guard<std::mutex> lock(PrinterMutex(printer));
    // PAPPL starts the first pending job when no job is being processed and
    // the printer is not stopped. The printer's own state lags behind: a
    // finishing job calls the check before the printer reads idle again.
    ActiveJobs jobs;
    if (papplPrinterGetState(printer) != IPP_PSTATE_STOPPED)
        papplPrinterIterateActiveJobs(printer, NoteJob, &jobs, 1, 0);
    // PAPPL's check also releases a job that Create-Job made before its
    // document arrives and then starts it without one. The check that
    // Send-Document makes once the document is in comes soon enough.
    if (jobs.awaitingDocument)
        return;
    pappls(printer);
    if (jobs.busy || jobs.firstPending == 0)
        return;
    const auto limit = std::chrono::steady_clock::now() + kStartLimit;
    while (NotStartedYet(printer, jobs.firstPending) && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}
