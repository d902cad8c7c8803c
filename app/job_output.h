#pragma once

#include "render/job_output.h"

#include <pappl/pappl.h>

#include <string>
#include <utility>

// A job's output: printer bytes to the PAPPL device, messages to the job's
// state message and log, engine log lines to the job log.
class PapplJobOutput final : public IJobOutput {
public:
    PapplJobOutput(pappl_job_t *job, pappl_device_t *device) : job(job), device(device) {}

    bool Write(const void *data, size_t size) override;
    void Message(Level level, const char *text) override;
    void Log(int priority, const char *line) override;

    size_t BytesWritten() const { return written; }
    // Keeps what the printer received as the printer's last job, for the
    // preview page (too large a job only as such).
    void KeepAsLastJob();

private:
    std::string capture;
    bool overflowed = false;
    pappl_job_t *job;
    pappl_device_t *device;
    size_t written = 0;
};
