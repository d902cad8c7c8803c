#include "app/interrupted_jobs.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <utility>

namespace {

// A job by its printer's id and its own.
using JobKey = std::pair<int, int>;

// The file holds a line per job; more than this is not a file of ours.
constexpr size_t kMaxJobs = 4096;

const char kHeldMessage[] = "The server stopped while this job was printing. It is held so that it does not print "
                            "again unasked: release it to print it again, or cancel it.";

std::mutex g_mutex;
std::string g_path;
std::set<JobKey> g_printing;

std::set<JobKey> Load(const std::string &path)
{
    std::set<JobKey> jobs;
    std::ifstream in(path);
    int printer = 0, job = 0;
    while (jobs.size() < kMaxJobs && in >> printer >> job)
        if (printer > 0 && job > 0)
            jobs.emplace(printer, job);
    return jobs;
}

// Written whole and renamed over the old file, so that a crash in the
// middle leaves one or the other.
void Save()
{
    const std::string temporary = g_path + ".new";
    std::FILE *out = std::fopen(temporary.c_str(), "w");
    if (out == nullptr)
        return;
    bool written = true;
    for (const auto &[printer, job] : g_printing)
        written = std::fprintf(out, "%d %d\n", printer, job) > 0 && written;
    if (std::fclose(out) == 0 && written)
        std::rename(temporary.c_str(), g_path.c_str());
    else
        std::remove(temporary.c_str());
}

// PAPPL's public interface holds only jobs that have not started; a job it
// reloaded as processing goes back to pending first.
bool BackToPending(pappl_job_t *job)
{
    using SetState = void (*)(pappl_job_t *, ipp_jstate_t);
    static const auto setState = reinterpret_cast<SetState>(dlsym(RTLD_DEFAULT, "_papplJobSetState"));
    if (setState == nullptr)
        return false;
    setState(job, IPP_JSTATE_PENDING);
    return true;
}

// True when the job still waits to be printed (and is now held).
bool Hold(pappl_job_t *job)
{
    const ipp_jstate_t state = papplJobGetState(job);
    if (state >= IPP_JSTATE_STOPPED) {
        // PAPPL ended it itself (a raster job, whose pages were never
        // spooled, is aborted): it only lacks the reason.
        if (papplJobGetMessage(job) == nullptr)
            papplJobSetMessage(job, "The server stopped while this job was printing.");
        return false;
    }
    if (state == IPP_JSTATE_PROCESSING && !BackToPending(job)) {
        papplJobSetMessage(job, "The server stopped while this job was printing; it is not printed again.");
        papplJobCancel(job);
        return false;
    }
    if (state != IPP_JSTATE_HELD && !papplJobHold(job, nullptr, "indefinite", 0))
        return false;
    papplJobSetMessage(job, "%s", kHeldMessage);
    papplLogJob(job, PAPPL_LOGLEVEL_WARN, "%s", kHeldMessage);
    return true;
}

void Follow(pappl_system_t *, pappl_printer_t *, pappl_job_t *job, pappl_event_t event, void *)
{
    if (job == nullptr || (event & (PAPPL_EVENT_JOB_STATE_CHANGED | PAPPL_EVENT_JOB_COMPLETED)) == 0)
        return;
    // PAPPL holds the job's and printer's locks here: only what reads the
    // job without them.
    const ipp_jstate_t state = papplJobGetState(job);
    const JobKey key(papplPrinterGetID(papplJobGetPrinter(job)), papplJobGetID(job));
    std::lock_guard<std::mutex> lock(g_mutex);
    bool changed = false;
    if (state == IPP_JSTATE_PROCESSING)
        changed = g_printing.insert(key).second;
    else if (state >= IPP_JSTATE_CANCELED)
        changed = g_printing.erase(key) > 0;
    if (changed)
        Save();
}

}  // namespace

void InterruptedJobs::Watch(pappl_system_t *system, const std::string &path)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_path = path;
    g_printing.clear();
    for (const JobKey &key : Load(path)) {
        pappl_printer_t *printer = papplSystemFindPrinter(system, nullptr, key.first, nullptr);
        pappl_job_t *job = printer != nullptr ? papplPrinterFindJob(printer, key.second) : nullptr;
        if (job != nullptr && Hold(job))
            g_printing.insert(key);
    }
    Save();
    papplSystemSetEventCallback(system, Follow, nullptr);
}

void InterruptedJobs::Starting(pappl_job_t *job)
{
    const char *message = papplJobGetMessage(job);
    if (message != nullptr && std::strcmp(message, kHeldMessage) == 0)
        papplJobSetMessage(job, "Printed again after the server stopped during an earlier attempt.");
}
