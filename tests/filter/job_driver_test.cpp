// The filter's command-line behaviour, through the real executable.
#include "support/filter_runner.h"
#include "support/ppd_writer.h"
#include "support/raster_writer.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <string>
#include <syslog.h>
#include <vector>

namespace {

class JobDriver : public ::testing::Test {
protected:
    std::string WritePpd(const PpdDescription &description, const std::string &name = "test.ppd")
    {
        const std::string path = dir.File(name);
        WritePpdFile(path, description);
        return path;
    }
    std::string WriteRaster(const std::vector<RasterPage> &pages, const std::string &name = "job.ras")
    {
        const std::string path = dir.File(name);
        WriteRasterFile(path, pages);
        return path;
    }
    static size_t Count(const std::string &haystack, const std::string &needle)
    {
        size_t count = 0;
        for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1))
            ++count;
        return count;
    }

    ScopedTempDir dir;
};

TEST_F(JobDriver, WrongArgumentCountsPrintUsage)
{
    for (std::vector<std::string> args : {std::vector<std::string>{"1", "u", "t", "1"},
                                          std::vector<std::string>{"1", "u", "t", "1", "", "f", "extra"}}) {
        FilterInvocation run;
        run.args = args;
        run.ppdPath = WritePpd(PpdDescription{});
        const FilterResult result = RunFilter(run);
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(result.err, "ERROR: dotweave job-id user title copies options [file]\n");
        EXPECT_TRUE(result.out.empty());
    }
}

TEST_F(JobDriver, MissingRasterFileFailsAfterAPause)
{
    FilterInvocation run;
    run.ppdPath = WritePpd(PpdDescription{});
    run.rasterFile = dir.File("no-such-file.ras");
    const auto start = std::chrono::steady_clock::now();
    const FilterResult result = RunFilter(run);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
    EXPECT_EQ(result.exitStatus, 1);
    // libcups's error function writes the prefix and the message without a blank.
    EXPECT_EQ(result.err.rfind("ERROR:", 0), 0u) << result.err;
    EXPECT_NE(result.err.find("Unable to open raster file"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("No such file or directory"), std::string::npos) << result.err;
}

TEST_F(JobDriver, RasterFromTheSeventhArgumentIsRead)
{
    FilterInvocation run;
    run.ppdPath = WritePpd(PpdDescription{});
    run.rasterFile = WriteRaster({MakeRasterPage(32, 4, 1)});
    const FilterResult result = RunFilter(run);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_NE(result.err.find("PAGE: 1 1\n"), std::string::npos);
}

TEST_F(JobDriver, UnsetOrUnreadablePpdFails)
{
    const std::string raster = WriteRaster({MakeRasterPage(32, 4, 1)});
    std::string garbage = dir.File("garbage.ppd");
    WriteFileBytes(garbage, "this is not a PPD file\n");
    for (const std::optional<std::string> &ppd :
         {std::optional<std::string>{}, std::optional<std::string>{dir.File("missing.ppd")},
          std::optional<std::string>{garbage}}) {
        FilterInvocation run;
        run.ppdPath = ppd;
        run.stdinPath = raster;
        const FilterResult result = RunFilter(run);
        EXPECT_EQ(result.exitStatus, 1);
        const std::vector<std::string> lines = result.ErrLines();
        ASSERT_EQ(lines.size(), 2u) << result.err;
        EXPECT_EQ(lines[0], "ERROR: The PPD file could not be opened.");
        EXPECT_EQ(lines[1].rfind("DEBUG: ", 0), 0u);
        EXPECT_NE(lines[1].find(" on line "), std::string::npos);
        EXPECT_TRUE(result.out.empty());
    }
}

TEST_F(JobDriver, UnknownModelNumberFails)
{
    PpdDescription description;
    description.modelNumber = 25;
    const FilterResult result = RunFilterOn(WritePpd(description), WriteRaster({MakeRasterPage(32, 4, 1)}));
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.err, "ERROR: Unknow ModelNumber.\n");
    EXPECT_TRUE(result.out.empty());
    EXPECT_TRUE(result.HasLog(LOG_ERR, "ERR: Unknow ModelNumber = 25\n"));
    EXPECT_TRUE(result.HasLog(LOG_DEBUG, "ModelNumber = 25\n"));
}

TEST_F(JobDriver, EmptyStreamEndsTheDocumentAndReportsNoPages)
{
    const std::string empty = dir.File("empty.ras");
    WriteFileBytes(empty, "");
    const FilterResult result = RunFilterOn(WritePpd(PpdDescription{}), empty);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.err, "ERROR: No pages were found.\n");
    // The render object was created and configured before the pages.
    EXPECT_TRUE(result.HasLog(LOG_DEBUG, "CCupsRender::GetPrinterParameters"));
}

TEST_F(JobDriver, EveryModelNumberOfTheTableRunsAJob)
{
    for (int model = 20; model <= 24; ++model) {
        PpdDescription description;
        description.modelNumber = model;
        const FilterResult result =
            RunFilterOn(WritePpd(description), WriteRaster({MakeRasterPage(64, 8, 1, 0xF0)}));
        EXPECT_EQ(result.exitStatus, 0) << model << result.err;
        EXPECT_TRUE(result.HasLog(LOG_DEBUG, "ModelNumber = " + std::to_string(model) + "\n"));
    }
}

TEST_F(JobDriver, ThreePagesReportTheirProgress)
{
    const FilterResult result = RunFilterOn(
        WritePpd(PpdDescription{}),
        WriteRaster({MakeRasterPage(32, 4, 1), MakeRasterPage(40, 5, 8), MakeRasterPage(16, 3, 24)}));
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    const std::vector<std::string> expected = {
        "PAGE: 1 1", "INFO: Starting page 1.", "INFO: Finished page 1.", "PAGE: 2 1", "INFO: Starting page 2.",
        "INFO: Finished page 2.", "PAGE: 3 1", "INFO: Starting page 3.", "INFO: Finished page 3."};
    EXPECT_EQ(result.ErrLines(), expected);
    EXPECT_TRUE(result.HasLog(LOG_DEBUG, "create image width=40, height=5, bitsPerPixel=8, bytesPerLine=40"));
    EXPECT_TRUE(result.HasLog(LOG_DEBUG, "DEBUG: HWResolution = [ 203 203 ]\n"));
    EXPECT_TRUE(result.HasLog(LOG_DEBUG, "DEBUG: cupsCompression = 0\n"));
}

TEST_F(JobDriver, PageCutShortIsStillPrintedWithItsFullHeight)
{
    RasterPage page = MakeRasterPage(32, 100, 8, 0x00);
    page.linesToWrite = 10;
    const FilterResult result = RunFilterOn(WritePpd(PpdDescription{}), WriteRaster({page}));
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(Count(result.err, "PAGE: "), 1u);
    EXPECT_NE(result.err.find("INFO: Finished page 1."), std::string::npos);
    EXPECT_TRUE(result.HasLog(LOG_DEBUG, "create image width=32, height=100, bitsPerPixel=8, bytesPerLine=32"));
}

TEST_F(JobDriver, SigtermFinishesThePageInProgressAndStartsNoOther)
{
    std::vector<RasterPage> pages;
    for (int i = 0; i < 5; ++i)
        pages.push_back(MakeRandomRasterPage(1200, 1600, 8, 7 + i));
    FilterInvocation run;
    run.ppdPath = WritePpd(PpdDescription{});
    run.stdinPath = WriteRaster(pages);
    bool sent = false;
    run.watcher = [&sent](pid_t child, const std::string &err) {
        if (!sent && err.find("INFO: Starting page 2.") != std::string::npos) {
            kill(child, SIGTERM);
            sent = true;
        }
    };
    const FilterResult result = RunFilter(run);
    ASSERT_TRUE(sent);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_NE(result.err.find("INFO: Finished page 2."), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("PAGE: 3 1"), std::string::npos) << result.err;
}

TEST_F(JobDriver, ModelNameAndPersonalityAreLogged)
{
    PpdDescription description;
    description.modelName = "Label Writer 4";
    description.personality = "TSPL2";
    FilterResult result = RunFilterOn(WritePpd(description), WriteRaster({MakeRasterPage(32, 2, 1)}));
    EXPECT_TRUE(result.HasLog("ModelName=Label Writer 4"));
    EXPECT_TRUE(result.HasLog("lang=TSPL2"));

    description.modelName.reset();
    description.personality.reset();
    result = RunFilterOn(WritePpd(description, "bare.ppd"), WriteRaster({MakeRasterPage(32, 2, 1)}, "bare.ras"));
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    for (const SysLogLine &line : result.syslog) {
        EXPECT_NE(line.text.rfind("ModelName=", 0), 0u);
        EXPECT_NE(line.text.rfind("lang=", 0), 0u);
    }
}

TEST_F(JobDriver, JobOptionOverridesThePpdDefault)
{
    PpdDescription description;
    description.options = {Option("Darkness", "8", {"Default", "12"}), Option("Threshold", "175", {"128"})};
    const std::string ppd = WritePpd(description);
    const std::string raster = WriteRaster({MakeRasterPage(32, 2, 1)});

    FilterResult result = RunFilterOn(ppd, raster);
    EXPECT_TRUE(result.HasLog("iDensity = 8"));
    EXPECT_TRUE(result.HasLog("iThreValue = 175"));

    result = RunFilterOn(ppd, raster, "Darkness=12 Threshold=128");
    EXPECT_TRUE(result.HasLog("iDensity = 12"));
    EXPECT_TRUE(result.HasLog("iThreValue = 128"));
}

TEST_F(JobDriver, RefusedPageIsSkippedAndTheJobGoesOn)
{
    // 16 bits per pixel cannot become an image: its lines are read and
    // dropped so the next page is read where it starts.
    const FilterResult result = RunFilterOn(
        WritePpd(PpdDescription{}),
        WriteRaster({MakeRasterPage(32, 4, 8), MakeRasterPage(20, 6, 16, 0x12), MakeRasterPage(24, 5, 8)}));
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(Count(result.err, "PAGE: "), 3u) << result.err;
    EXPECT_NE(result.err.find("ERROR: Page 2 cannot be printed: unsupported bits per pixel"), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("INFO: Finished page 3."), std::string::npos);
    EXPECT_TRUE(result.HasLog("create image width=24, height=5, bitsPerPixel=8, bytesPerLine=24"));
    EXPECT_FALSE(result.HasLog("create image width=20, height=6, bitsPerPixel=16, bytesPerLine=40"));
}

TEST_F(JobDriver, PageWhoseRasterDoesNotFit32BitsIsRefusedBeforeAllocating)
{
    // 70000 bytes per line times 40000 lines is past 2 GiB; the stream ends
    // after the header, and the filter must neither allocate nor crash.
    RasterPage page = MakeRasterPage(70000, 1, 8);
    page.height = 40000;
    page.linesToWrite = 1;
    const FilterResult result = RunFilterOn(WritePpd(PpdDescription{}), WriteRaster({page}));
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_NE(result.err.find("ERROR: Page 1 cannot be printed: the page raster is larger than 2 GiB"),
              std::string::npos)
        << result.err;
}

}  // namespace
