#pragma once

#include <chrono>
#include <string>

struct SigtermRun {
    int exitStatus = -1;   // -1 when the process did not exit normally
    int termSignal = 0;
    std::string out;
    std::string err;
    // The filter's peak resident memory, as of its last line on standard error.
    long peakRssKb = 0;
};

// Runs the built dotweave executable with the PPD and the raster on standard
// input, and sends it SIGTERM the given time after standard error first holds
// the trigger text (after the start when the trigger is empty). A slow reader
// drains standard output in small pieces with pauses, so that the filter
// blocks inside its writes and the signal can arrive in the middle of one.
SigtermRun RunFilterWithSigterm(const std::string &ppdPath, const std::string &rasterPath,
                                const std::string &trigger, std::chrono::microseconds delay, bool slowReader);
