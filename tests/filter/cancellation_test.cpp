// SIGTERM at any moment of a job, for every printer language: the stream on
// standard output holds whole commands and whole pages only, and every page
// the filter started reached the printer complete.
#include "support/ppd_writer.h"
#include "support/printer_streams.h"
#include "support/raster_writer.h"
#include "support/sigterm_runner.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <csignal>
#include <random>
#include <string>
#include <vector>

namespace {

int Count(const std::string &haystack, const std::string &needle)
{
    int count = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1))
        ++count;
    return count;
}

class Cancellation : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        PpdDescription description;
        description.modelNumber = GetParam();
        // A fixed threshold is the quickest way to one bit per dot.
        description.options = {Option("ImageFilter", "0")};
        WritePpdFile(dir.File("test.ppd"), description);
        std::vector<RasterPage> pages;
        for (uint32_t i = 0; i < kPages; ++i)
            pages.push_back(MakeRandomRasterPage(576, 2400, 8, 40 + i));
        WriteRasterFile(dir.File("job.ras"), pages);
    }
    SigtermRun Run(const std::string &trigger, std::chrono::microseconds delay, bool slowReader)
    {
        return RunFilterWithSigterm(dir.File("test.ppd"), dir.File("job.ras"), trigger, delay, slowReader);
    }

    static constexpr uint32_t kPages = 4;
    ScopedTempDir dir;
};

TEST_P(Cancellation, UninterruptedJobIsReadAsWholePages)
{
    const SigtermRun run = Run("", std::chrono::seconds(600), false);
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const StreamCheck check = CheckStreamOfModel(GetParam(), run.out);
    EXPECT_TRUE(check.whole) << check.problem;
    EXPECT_EQ(check.pages, static_cast<int>(kPages));
}

TEST_P(Cancellation, SigtermAtAnyMomentLeavesWholePagesOnly)
{
    // The signal follows the start of the job or of one of its pages after a
    // random pause: before the first page, between pages, while a page is
    // prepared, and (with the slow reader) while its commands are written.
    std::mt19937 random(static_cast<uint32_t>(GetParam()));
    constexpr int kTrials = 20;
    int canceledEarly = 0;
    for (int trial = 0; trial < kTrials; ++trial) {
        const std::string trigger =
            trial % 5 == 0 ? "" : "INFO: Starting page " + std::to_string(1 + trial % (kPages - 1)) + ".";
        const auto delay = std::chrono::microseconds(random() % (trial % 5 == 0 ? 60000 : 3000));
        const bool slowReader = trial % 2 == 1;
        const SigtermRun run = Run(trigger, delay, slowReader);
        SCOPED_TRACE("signal " + std::to_string(delay.count()) + " us after '" + trigger + "'" +
                     (slowReader ? ", slow reader" : ""));

        const StreamCheck check = CheckStreamOfModel(GetParam(), run.out);
        EXPECT_TRUE(check.whole) << check.problem;
        if (run.termSignal == SIGTERM) {
            // Killed before the handler was installed: nothing may have been written.
            EXPECT_TRUE(run.out.empty());
            continue;
        }
        const int finished = Count(run.err, "INFO: Finished page ");
        EXPECT_EQ(check.pages, finished) << run.err;
        EXPECT_EQ(run.exitStatus, finished > 0 ? 0 : 1) << run.err;
        if (finished < static_cast<int>(kPages))
            ++canceledEarly;
    }
    // The signals must actually have cut jobs short; how many depends on the
    // machine's speed and load, so only require that some did.
    EXPECT_GT(canceledEarly, 0);
}

INSTANTIATE_TEST_SUITE_P(EveryPrinterLanguage, Cancellation, ::testing::Values(20, 21, 22, 23, 24),
                         [](const ::testing::TestParamInfo<int> &info) { return "Model" + std::to_string(info.param); });

}  // namespace
