#pragma once

#include <cups/raster.h>

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CBaseRender;

// Where a job's printer bytes, errors and log lines go.
class IJobOutput {
public:
    virtual ~IJobOutput() = default;
    // False when the bytes could not be delivered: the job fails.
    virtual bool Write(const void *data, size_t size) = 0;
    virtual void Error(const char *message) = 0;
    virtual void Log(int priority, const char *line) = 0;
};

// Settings as PPD keyword and choice pairs ("Darkness", "12").
using SettingPair = std::pair<std::string, std::string>;
using SettingPairs = std::vector<SettingPair>;

// One print job through the engine, fed line by line: the same page
// preparation, half-toning and printer language code the filter runs.
class EngineJob {
public:
    // For a printer model number (20 TSPL to 24 PeriPage).
    EngineJob(int modelNumber, IJobOutput &output);
    ~EngineJob();
    EngineJob(const EngineJob &) = delete;
    EngineJob &operator=(const EngineJob &) = delete;

    // False for a model number the engine does not know.
    bool Start(const SettingPairs &settings);
    // Settings for the next page only (IPP overrides); later pages go back
    // to the job's settings.
    void OverrideNextPage(const SettingPairs &settings);
    // Refuses a page whose header cannot be printed, with a message.
    bool BeginPage(const cups_page_header2_t &header);
    bool WriteLine(unsigned y, const unsigned char *line, size_t bytes);
    // Prints the page; lines never written are white.
    bool EndPage();
    bool Finish();
    // Safe from any thread: the page in progress is still printed whole,
    // no later page starts.
    void Cancel();
    bool IsCanceled() const;

private:
    bool PrintPage(CBaseRender &render);

    struct State;
    std::unique_ptr<State> state;
};
