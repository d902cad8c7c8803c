#include "fuzz_support.h"

#include "filter/cups_instance.h"
#include "filter/system_log.h"
#include "support/ppd_writer.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <fcntl.h>
#include <map>
#include <memory>
#include <sys/mman.h>
#include <unistd.h>

namespace fuzz {

std::string InputReader::Text(size_t maxLength)
{
    const size_t length = std::min<size_t>(Byte() % (maxLength + 1), RestSize());
    std::string text(reinterpret_cast<const char *>(data + at), length);
    at += length;
    return text;
}

namespace {

// Numbers at the edges of int, of the printers' ranges and of the filter's
// internal conversions (mm to dots, times 8, percent).
#define EXTREME_NUMBERS "-2147483648", "-2147483647", "-268435457", "-1000000", "-9999", "-256", "-101", "-100", \
                        "-1", "0", "1", "2", "99999999999", "268435456", "2147483647"

}  // namespace

const std::vector<FilterOption> &FilterOptions()
{
    static const std::vector<FilterOption> options = {
        {"MediaMethod", "Direct", {"Direct", "Normal", "Transfer", "Ribbon"}},
        {"AdjustHoriaontal", "0", {EXTREME_NUMBERS, "5", "-5", "50"}},
        {"AdjustVertical", "0", {EXTREME_NUMBERS, "5", "-5", "50"}},
        {"zeMediaTracking", "Gap",
         {"Continuous", "A4Stock", "Gap", "BLine", "BLine_Fold", "Perforated", "Roll", "Recording", "Tattoo",
          "TattooWrinkle", "TattooGuidelines", "Unknown"}},
        {"FeedOffset", "0", {EXTREME_NUMBERS, "5", "10", "40", "1000", "100000"}},
        {"Rotate", "0", {"0", "1", "2", "3", "4", "-1", "2147483647"}},
        {"Darkness", "Default", {"Default", EXTREME_NUMBERS, "5", "8", "15", "30", "255"}},
        {"zePrintRate", "Default", {"Default", EXTREME_NUMBERS, "4", "12", "13", "14"}},
        {"AutoDotted", "0", {"0", "1", "7", "-1"}},
        {"Brightness", "0", {EXTREME_NUMBERS, "20", "-20", "50", "255", "-255", "1000"}},
        {"Contrast", "0", {EXTREME_NUMBERS, "20", "-20", "50", "100", "1000", "100000"}},
        {"ImageFilter", "3",
         {"-2147483648", "-1", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "100",
          "2147483647"}},
        {"Threshold", "175", {EXTREME_NUMBERS, "128", "175", "255", "256", "300"}},
        {"ImageCompress", "0", {"0", "1", "7"}},
        {"CropEdgeTop", "0", {EXTREME_NUMBERS, "5", "10", "9999", "100000"}},
        {"CropEdgeBottom", "0", {EXTREME_NUMBERS, "5", "10", "9999", "100000"}},
        {"CropEdgeLeft", "0", {EXTREME_NUMBERS, "5", "10", "9999", "100000"}},
        {"CropEdgeRight", "0", {EXTREME_NUMBERS, "5", "10", "9999", "100000"}},
        {"CutMode", "None", {"None", "JobFull", "JobPartial", "PageFull", "PagePartial", "3"}},
        {"CashDrawer", "None", {"None", "BeforePage", "AfterPage", "2"}},
        {"CutterMode", "None", {"None", "Tear", "Peel", "Cutter", "PartialCutter", "4"}},
    };
    return options;
}

void QuietProcess()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
        dup2(null, 1);
        close(null);
    }
    SetSystemLogTap([](int, const char *) {});
}

const std::string &FuzzPpdPath(int modelNumber)
{
    static ScopedTempDir dir;
    static std::map<int, std::string> paths;
    auto found = paths.find(modelNumber);
    if (found != paths.end())
        return found->second;
    PpdDescription description;
    description.modelNumber = modelNumber;
    description.personality = "fuzz";
    for (const FilterOption &option : FilterOptions()) {
        std::vector<std::string> choices(option.choices.begin(), option.choices.end());
        description.options.push_back(Option(option.keyword, option.defaultChoice, choices));
    }
    const std::string path = dir.File("model" + std::to_string(modelNumber) + ".ppd");
    WritePpdFile(path, description);
    return paths.emplace(modelNumber, path).first->second;
}

std::string JobOptionsFrom(InputReader &input)
{
    std::string text;
    for (const FilterOption &option : FilterOptions()) {
        const size_t pick = input.Byte() % (option.choices.size() + 1);
        if (pick == option.choices.size())
            continue;
        if (!text.empty())
            text += ' ';
        text += option.keyword;
        text += '=';
        text += option.choices[pick];
    }
    return text;
}

bool RasterWithinBudget(int fd)
{
    lseek(fd, 0, SEEK_SET);
    cups_raster_t *ras = cupsRasterOpen(fd, CUPS_RASTER_READ);
    if (ras == nullptr) {
        lseek(fd, 0, SEEK_SET);
        return true;
    }
    bool within = true;
    int pages = 0;
    cups_page_header2_t header;
    std::vector<unsigned char> chunk(65536);
    while (within && cupsRasterReadHeader2(ras, &header)) {
        if (++pages > kFuzzMaxPages) {
            within = false;
            break;
        }
        if (RefusePage(header) == nullptr) {
            const uint64_t raster = static_cast<uint64_t>(header.cupsBytesPerLine) * header.cupsHeight;
            const uint64_t image = static_cast<uint64_t>(header.cupsWidth) * header.cupsHeight *
                                   std::max<uint32_t>(header.cupsBitsPerPixel, 8) / 8;
            if (raster > kFuzzPageBytes || image > kFuzzPageBytes) {
                within = false;
                break;
            }
        }
        // Past the page's lines, the way the filter reads them.
        bool more = true;
        for (uint32_t y = 0; more && y < header.cupsHeight; ++y) {
            for (uint32_t left = header.cupsBytesPerLine; more && left > 0;) {
                const uint32_t take = std::min<uint32_t>(left, static_cast<uint32_t>(chunk.size()));
                more = cupsRasterReadPixels(ras, chunk.data(), take) != 0;
                left -= take;
            }
        }
    }
    cupsRasterClose(ras);
    lseek(fd, 0, SEEK_SET);
    return within;
}

int MemoryFile(const void *data, size_t size)
{
    const int fd = memfd_create("fuzz-input", 0);
    if (fd < 0)
        return -1;
    const char *bytes = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t written = write(fd, bytes, size);
        if (written <= 0)
            break;
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    lseek(fd, 0, SEEK_SET);
    return fd;
}

}  // namespace fuzz
