// Four printers with fifty jobs each, all submitted at once: every job
// completes, every stream decodes whole, none is lost or mixed with another.
#include "app/driver_table.h"
#include "app_server.h"
#include "preview/stream_decoder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

struct LoadPrinter {
    const char *driver;
    StreamLanguage language;
};

constexpr LoadPrinter kPrinters[] = {
    {"tspl_203dpi", StreamLanguage::Tspl},
    {"escpos_203dpi", StreamLanguage::EscPos},
    {"cpcl_203dpi", StreamLanguage::Cpcl},
    {"peripage_203dpi", StreamLanguage::PeriPage},
};
constexpr int kJobsEach = 50;

// Disabled: PAPPL 1.3.1 (Debian 12) can start one job in two threads when a
// job is submitted while another finishes on the same printer: its job check
// starts a thread for the first pending job and returns before that thread
// marks the printer busy, so a second check starts the same job again (the
// log shows "Starting job N." twice). The two threads then write the same
// device, and the second one may open the document after the first removed
// it. Run it with --gtest_also_run_disabled_tests; it fails about one run in
// five on PAPPL 1.3.1.
TEST(Load, DISABLED_FourPrintersFiftyJobsEachAtOnce)
{
    AppServer server;
    for (const LoadPrinter &printer : kPrinters) {
        std::filesystem::create_directory(server.Dir().File(std::string("out-") + printer.driver));
        server.AddPrinter(printer.driver, printer.driver, "jobfile:" + server.Dir().File(std::string("out-") + printer.driver));
    }
    const std::string png = std::string(DOTWEAVE_SOURCE_DIR) + "/samples/photo.png";
    std::vector<std::vector<int>> jobs(std::size(kPrinters));
    std::vector<std::thread> submitters;
    for (size_t p = 0; p < std::size(kPrinters); ++p) {
        submitters.emplace_back([&, p] {
            for (int i = 0; i < kJobsEach; ++i)
                jobs[p].push_back(server.Print(kPrinters[p].driver, png, "image/png"));
        });
    }
    for (std::thread &submitter : submitters)
        submitter.join();

    for (size_t p = 0; p < std::size(kPrinters); ++p) {
        const LoadPrinter &printer = kPrinters[p];
        SCOPED_TRACE(printer.driver);
        ASSERT_EQ(jobs[p].size(), static_cast<size_t>(kJobsEach));
        for (int job : jobs[p]) {
            ASSERT_GT(job, 0);
            EXPECT_EQ(server.WaitForJob(printer.driver, job, 300), IPP_JSTATE_COMPLETED)
                << job << ": " << server.JobMessage(printer.driver, job) << server.Problems();
        }
        const std::vector<std::string> files =
            WaitForJobFiles(server.Dir().File(std::string("out-") + printer.driver), kJobsEach);
        ASSERT_EQ(files.size(), static_cast<size_t>(kJobsEach));
        // The same picture each time: every job's stream is one whole page,
        // byte for byte the same as the others.
        const std::string first = ReadFileBytes(files[0]);
        for (const std::string &file : files) {
            const std::string stream = ReadFileBytes(file);
            const DecodedStream decoded =
                DecodeStream(printer.language, reinterpret_cast<const uint8_t *>(stream.data()), stream.size());
            EXPECT_FALSE(decoded.error.failed) << file;
            EXPECT_EQ(decoded.pages.size(), 1u) << file;
            EXPECT_TRUE(stream == first) << file;
        }
    }
}

}  // namespace
