#pragma once

#include "render/job_output.h"

#include <cups/raster.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Set-up shared by the fuzz targets.
namespace fuzz {

// Reads an input front to back; past its end every read yields zeros.
class InputReader {
public:
    InputReader(const uint8_t *data, size_t size) : data(data), size(size) {}

    uint8_t Byte() { return at < size ? data[at++] : 0; }
    uint16_t U16() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
    uint32_t U32() { return static_cast<uint32_t>(U16()) | (static_cast<uint32_t>(U16()) << 16); }
    // A string of up to maxLength bytes, the length taken from the input.
    std::string Text(size_t maxLength);
    const uint8_t *Rest() const { return data + at; }
    size_t RestSize() const { return size - at; }

private:
    const uint8_t *data;
    size_t size;
    size_t at = 0;
};

// An option the filter reads, with the choices a job may pick from.
struct FilterOption {
    const char *keyword;
    const char *defaultChoice;
    std::vector<const char *> choices;
};

// The options the filter reads, each with ordinary and hostile choices.
const std::vector<FilterOption> &FilterOptions();

// Printer output goes to /dev/null and log lines are dropped, once per process.
void QuietProcess();

// A job output that drops everything it is given.
class DroppedOutput : public IJobOutput {
public:
    virtual ~DroppedOutput() = default;
    bool Write(const void *, size_t) override { return true; }
    void Message(Level, const char *) override {}
    void Log(int, const char *) override {}
};

// A PPD for the model number with every option of FilterOptions, written
// once per process; returns its path.
const std::string &FuzzPpdPath(int modelNumber);

// The job's options string: one byte per option chooses one of its choices,
// or leaves the PPD default.
std::string JobOptionsFrom(InputReader &input);

// Largest page the job target lets through to the filter, in bytes of raster
// or image: enough to reach every code path, small enough to keep runs fast.
constexpr uint64_t kFuzzPageBytes = 1u << 20;
constexpr int kFuzzMaxPages = 4;

// True when the raster stream on fd keeps within the fuzzing budget: at most
// kFuzzMaxPages pages, and every page the filter would print no larger than
// kFuzzPageBytes. Leaves fd at its start.
bool RasterWithinBudget(int fd);

// An anonymous in-memory file holding the bytes, positioned at its start.
int MemoryFile(const void *data, size_t size);

}  // namespace fuzz
