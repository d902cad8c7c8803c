#pragma once

// Helpers shared by the printer back-end tests: capturing what a back-end
// spools, loading a prepared one-bit page, and running a whole job through
// the filter executable.

#include "support/filter_runner.h"
#include "support/ppd_writer.h"
#include "support/raster_writer.h"
#include "support/temp_dir.h"

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

namespace printertest {

// A back-end whose printer output is kept, one string per WriteSpool call.
template <class Printer>
class SpoolCapture : public Printer {
public:
    bool WriteSpool(const void *data, int length) override
    {
        if (length > 0)
            writes.emplace_back(static_cast<const char *>(data), static_cast<size_t>(length));
        return true;
    }

    std::string All() const
    {
        std::string all;
        for (const std::string &w : writes)
            all += w;
        return all;
    }

    std::vector<std::string> writes;
};

// Bytes from a list of values, for expected command sequences.
inline std::string Bytes(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

inline std::string Hex(const std::string &bytes, size_t limit = 64)
{
    std::string text;
    char item[4];
    for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
        std::snprintf(item, sizeof(item), "%02X ", static_cast<unsigned char>(bytes[i]));
        text += item;
    }
    if (bytes.size() > limit)
        text += "...";
    return text;
}

// Makes the render object's page image what page preparation leaves for a
// one-bit page: rows as given (ceil(width / 8) bytes each, 0 = black) and the
// row tails white.
template <class Render>
void LoadPreparedPage(Render &render, unsigned width, unsigned height, const std::vector<uint8_t> &rows, int dpi)
{
    const unsigned lineBytes = (width + 7) / 8;
    render.image.CreateFromArray(rows.data(), width, height, 1, lineBytes, false);
    render.AdjustEffWidthBits();
    render.iDpi = dpi;
}

// Every byte of a one-bit page of the given size, from a fixed seed.
inline std::vector<uint8_t> RandomRows(unsigned width, unsigned height, uint32_t seed)
{
    return MakeRandomRasterPage(width, height, 1, seed).data;
}

// What the printer receives for a prepared page sent row by row: the first
// bytesPerRow bytes of each row, inverted (1 = burn).
inline std::string InvertedRows(const RasterPage &page, unsigned bytesPerRow)
{
    std::string data;
    for (unsigned y = 0; y < page.height; ++y)
        for (unsigned x = 0; x < bytesPerRow; ++x)
            data.push_back(static_cast<char>(~page.Row(y)[x]));
    return data;
}

// Runs one job through the filter executable for a PPD of the model with the
// given options.
inline FilterResult RunPrinterJob(int modelNumber, const std::vector<PpdOption> &options,
                                  const std::vector<RasterPage> &pages, const std::string &jobOptions = "")
{
    ScopedTempDir dir;
    PpdDescription description;
    description.modelNumber = modelNumber;
    description.options = options;
    WritePpdFile(dir.File("printer.ppd"), description);
    WriteRasterFile(dir.File("job.ras"), pages);
    return RunFilterOn(dir.File("printer.ppd"), dir.File("job.ras"), jobOptions);
}

}  // namespace printertest
