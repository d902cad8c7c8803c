// A job holds one page at a time: its peak memory stays within a small
// multiple of the page's raster, for every printer language.
#include "support/ppd_writer.h"
#include "support/raster_writer.h"
#include "support/sigterm_runner.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// Peak resident memory of a job: what the process holds before any page
// (libraries, libcups, the PPD; about 8 MB here), plus so much per byte of
// the largest page's raster.
constexpr double kProcessKb = 12 * 1024;
constexpr double kPeakPerRasterByte = 4.5;

class PeakMemory : public ::testing::TestWithParam<int> {
protected:
    // The pages are made in a child of their own, so that this process stays
    // small however large they are.
    long PeakKb(unsigned width, unsigned height, unsigned bpp, unsigned pages, const std::vector<PpdOption> &options)
    {
        PpdDescription description;
        description.modelNumber = GetParam();
        description.options = options;
        WritePpdFile(dir.File("test.ppd"), description);
        const pid_t writer = fork();
        if (writer == 0) {
            const RasterPage page = MakeRandomRasterPage(width, height, bpp, 9);
            WriteRasterFile(dir.File("job.ras"), std::vector<RasterPage>(pages, page));
            _exit(0);
        }
        int status = 0;
        waitpid(writer, &status, 0);
        const SigtermRun run =
            RunFilterWithSigterm(dir.File("test.ppd"), dir.File("job.ras"), "", std::chrono::hours(1), false);
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        return run.peakRssKb;
    }

    ScopedTempDir dir;
};

TEST_P(PeakMemory, StaysWithinASmallMultipleOfOnePage)
{
    if (kSanitized)
        GTEST_SKIP() << "the sanitizer's own memory hides the filter's";
    // Plain threshold; the automatic half-tone, every PPD's default; and
    // dithering with every step that makes a new image (cropping, rotation)
    // and compressed output where the printer has it.
    const std::vector<std::vector<PpdOption>> settings = {
        {Option("ImageFilter", "0")},
        {Option("ImageFilter", "11"), Option("Threshold", "128")},
        {Option("ImageFilter", "3"), Option("Rotate", "2"), Option("CropEdgeTop", "-1"), Option("CropEdgeLeft", "-1"),
         Option("ImageCompress", "1")},
    };
    struct Case {
        unsigned width, height, bpp;
    };
    for (const std::vector<PpdOption> &options : settings) {
        for (const Case c : {Case{1728, 16000, 1}, Case{1728, 3000, 8}, Case{1728, 1000, 24}}) {
            const double rasterKb = static_cast<double>((c.width * c.bpp + 7) / 8) * c.height / 1024.0;
            // Two pages: the second must not add to the first.
            const long peakKb = PeakKb(c.width, c.height, c.bpp, 2, options);
            const double perByte = (static_cast<double>(peakKb) - kProcessKb) / rasterKb;
            EXPECT_GT(peakKb, 0) << "no reading of the filter's memory";
            EXPECT_LE(perByte, kPeakPerRasterByte)
                << options.size() << " options, " << c.bpp << " bits per pixel: " << peakKb << " KB peak, "
                << rasterKb << " KB raster";
            RecordProperty("peak_per_raster_byte_" + std::to_string(options.size()) + "_" + std::to_string(c.bpp),
                           std::to_string(perByte));
            if (getenv("DOTWEAVE_SHOW_PEAK") != nullptr)
                std::printf("model %d, %zu options, %u bpp: %ld KB peak, raster %.0f KB, %.2f per byte\n",
                            GetParam(), options.size(), c.bpp, peakKb, rasterKb, perByte);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPrinterLanguage, PeakMemory, ::testing::Values(20, 21, 22, 23, 24),
                         [](const ::testing::TestParamInfo<int> &info) { return "Model" + std::to_string(info.param); });

}  // namespace
