#pragma once

#include "render/job_output.h"

// The filter's job output: printer bytes to standard output, messages as
// "ERROR:" and "INFO:" lines on standard error for the scheduler, and
// diagnostics to the system log.
class CFilterOutput : public IJobOutput {
public:
    virtual ~CFilterOutput() = default;

    // Writes the whole block to file descriptor 1, going on after a write
    // cut short or interrupted and waiting while a non-blocking output is
    // full. A failed write is reported and returns false.
    bool Write(const void *data, size_t length) override;
    void Message(Level level, const char *text) override;
    void Log(int priority, const char *text) override;
};
