#include "app/job_output.h"

#include "app/last_jobs.h"

#include <syslog.h>

bool PapplJobOutput::Write(const void *data, size_t size)
{
    if (papplDeviceWrite(device, data, size) < 0) {
        Message(Level::Error, "Unable to send the page to the printer.");
        return false;
    }
    written += size;
    if (!overflowed && capture.size() + size <= LastJobs::kMaxBytes) {
        capture.append(static_cast<const char *>(data), size);
    } else {
        overflowed = true;
        capture.clear();
    }
    return true;
}

void PapplJobOutput::KeepAsLastJob()
{
    LastJobs::Job last;
    last.id = papplJobGetID(job);
    last.tooLarge = overflowed;
    last.bytes = std::move(capture);
    capture.clear();
    LastJobs::Instance().Put(papplPrinterGetID(papplJobGetPrinter(job)), std::move(last));
}

void PapplJobOutput::Message(Level level, const char *text)
{
    papplJobSetMessage(job, "%s", text);
    papplLogJob(job, level == Level::Error ? PAPPL_LOGLEVEL_ERROR : PAPPL_LOGLEVEL_INFO, "%s", text);
}

void PapplJobOutput::Log(int priority, const char *line)
{
    pappl_loglevel_t level = PAPPL_LOGLEVEL_DEBUG;
    if (priority <= LOG_ERR)
        level = PAPPL_LOGLEVEL_ERROR;
    else if (priority == LOG_WARNING)
        level = PAPPL_LOGLEVEL_WARN;
    else if (priority <= LOG_INFO)
        level = PAPPL_LOGLEVEL_INFO;
    papplLogJob(job, level, "%s", line);
}
