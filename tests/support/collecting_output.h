#pragma once

#include "render/job_output.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// A job output that keeps what a job produced: the printer bytes, the
// messages as the filter shows them ("ERROR: ...\n") and the log lines.
class CollectingOutput : public IJobOutput {
public:
    virtual ~CollectingOutput() = default;

    bool Write(const void *data, size_t length) override;
    void Message(Level level, const char *text) override;
    void Log(int priority, const char *text) override;

    std::string bytes;
    std::string messages;
    std::vector<std::pair<int, std::string>> logs;
    // Writes fail, and keep nothing, once the bytes would pass this limit.
    size_t writeLimit = static_cast<size_t>(-1);
};
