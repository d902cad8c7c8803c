// A printer stream that cannot be written whole must fail the job: a full
// disk under a file device or a printer pipe that went away leaves a cut-off
// stream, and the scheduler must not report it as printed.
#include "support/filter_runner.h"
#include "support/ppd_writer.h"
#include "support/raster_writer.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct FailureCase {
    const char *name;
    int modelNumber;
    const char *stdoutPath;   // a file to write into, or null for a pipe
    size_t closeAfter;        // the pipe's reader goes away after these bytes
    const char *errorText;    // what the one ERROR line names
};

TEST(OutputFailure, AFailedWriteEndsTheJobWithOneErrorAndStatus1)
{
    const FailureCase cases[] = {
        {"TSPL to a full disk", 20, "/dev/full", 0, "No space left on device"},
        // The end-of-job cut must not be tried once the stream is cut.
        {"ESC/POS to a full disk", 21, "/dev/full", 0, "No space left on device"},
        // CPCL sends every command on its own: the first refused one ends it.
        {"CPCL to a pipe closed after 20 bytes", 22, nullptr, 20, "Broken pipe"},
        {"Paperang to a pipe closed after 100 bytes", 23, nullptr, 100, "Broken pipe"},
    };
    ScopedTempDir dir;
    WriteRasterFile(dir.File("job.ras"), {MakeRandomRasterPage(384, 2000, 8, 1), MakeRandomRasterPage(384, 2000, 8, 2),
                                          MakeRandomRasterPage(384, 2000, 8, 3)});
    for (const FailureCase &c : cases) {
        PpdDescription ppd;
        ppd.modelNumber = c.modelNumber;
        ppd.options = {Option("zeMediaTracking", "Continuous"), Option("CutMode", "JobFull", {"None"})};
        WritePpdFile(dir.File("printer.ppd"), ppd);
        FilterInvocation invocation;
        invocation.ppdPath = dir.File("printer.ppd");
        invocation.stdinPath = dir.File("job.ras");
        if (c.stdoutPath != nullptr)
            invocation.stdoutPath = c.stdoutPath;
        else
            invocation.stdoutCloseAfter = c.closeAfter;

        const FilterResult result = RunFilter(invocation);
        EXPECT_EQ(result.termSignal, 0) << c.name;
        EXPECT_EQ(result.exitStatus, 1) << c.name << ": " << result.err;
        std::vector<std::string> errors;
        for (const std::string &line : result.ErrLines())
            if (line.rfind("ERROR:", 0) == 0)
                errors.push_back(line);
        ASSERT_EQ(errors.size(), 1u) << c.name << ": " << result.err;
        EXPECT_NE(errors[0].find(c.errorText), std::string::npos) << c.name << ": " << errors[0];
        // No page starts, and none is reported finished, after the failure.
        const std::string after = result.err.substr(result.err.find("ERROR:"));
        EXPECT_EQ(after.find("PAGE:"), std::string::npos) << c.name << ": " << result.err;
        EXPECT_EQ(after.find("Finished"), std::string::npos) << c.name << ": " << result.err;
    }
}

TEST(OutputFailure, AFullNonBlockingPipeIsWaitedForAndGetsTheWholeStream)
{
    ScopedTempDir dir;
    PpdDescription ppd;
    ppd.modelNumber = 21;
    WritePpdFile(dir.File("printer.ppd"), ppd);
    WriteRasterFile(dir.File("job.ras"), {MakeRandomRasterPage(576, 6000, 1, 5), MakeRandomRasterPage(576, 6000, 1, 6)});

    const FilterResult plain = RunFilterOn(dir.File("printer.ppd"), dir.File("job.ras"));
    ASSERT_EQ(plain.exitStatus, 0) << plain.err;

    FilterInvocation invocation;
    invocation.ppdPath = dir.File("printer.ppd");
    invocation.stdinPath = dir.File("job.ras");
    invocation.nonBlockingStdout = true;
    invocation.stdoutReadPauseMs = 2;
    const FilterResult slow = RunFilter(invocation);
    EXPECT_EQ(slow.exitStatus, 0) << slow.err;
    EXPECT_EQ(slow.err.find("ERROR"), std::string::npos) << slow.err;
    EXPECT_TRUE(slow.out == plain.out) << slow.out.size() << " bytes against " << plain.out.size();
}

}  // namespace
