#pragma once

#include <cstddef>

// Where one job's printer bytes, messages and diagnostics go. Each front end
// has its own: the CUPS filter writes the bytes to standard output, messages
// as "ERROR:" and "INFO:" lines for the scheduler and diagnostics to the
// system log; the printer application writes to its device and logs to the
// job. Calls for one job come from one thread at a time.
class IJobOutput {
public:
    enum class Level { Info, Error };

    // Sends printer bytes, all of them; false when they could not be
    // delivered, which ends the job.
    virtual bool Write(const void *data, size_t length) = 0;
    // A message for the person printing (one line, without a prefix).
    virtual void Message(Level level, const char *text) = 0;
    // A diagnostic line at a syslog priority.
    virtual void Log(int priority, const char *text) = 0;

protected:
    ~IJobOutput() = default;
};
