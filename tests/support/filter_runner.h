#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

// One line the filter sent to the system log.
struct SysLogLine {
    int priority;
    std::string text;
};

struct FilterResult {
    int exitStatus = -1;      // -1 when the process did not exit normally
    int termSignal = 0;
    std::string out;          // everything written to standard output
    std::string err;          // everything written to standard error
    std::vector<SysLogLine> syslog;

    bool HasLog(const std::string &text) const;
    bool HasLog(int priority, const std::string &text) const;
    std::vector<std::string> ErrLines() const;
};

struct FilterInvocation {
    std::vector<std::string> args;                 // argv[1..]; empty: the five standard words
    std::string options;                           // used when args is empty
    std::optional<std::string> ppdPath;            // PPD environment variable; unset when empty
    std::optional<std::string> stdinPath;          // file on standard input (else /dev/null)
    std::optional<std::string> rasterFile;         // seventh argument, when args is empty
    // Standard output goes to this file (for example /dev/full) instead of
    // being collected.
    std::optional<std::string> stdoutPath;
    // The collecting pipe is non-blocking for the filter, and is read with a
    // pause before each read, so that the filter finds it full.
    bool nonBlockingStdout = false;
    int stdoutReadPauseMs = 0;
    // The reading end is closed once this many bytes arrived.
    size_t stdoutCloseAfter = static_cast<size_t>(-1);
    // Called whenever standard error grows; may signal the child.
    std::function<void(pid_t child, const std::string &errSoFar)> watcher;
};

// Runs the built dotweave executable and collects what it wrote.
FilterResult RunFilter(const FilterInvocation &invocation);

// Runs dotweave with the PPD and a raster file on standard input.
FilterResult RunFilterOn(const std::string &ppdPath, const std::string &rasterPath, const std::string &options = "");
