// Four printers with fifty jobs each, all submitted at once: every job
// completes, every stream decodes whole, none is lost or mixed with another.
#include "printers/driver_table.h"
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

TEST(Load, FourPrintersFiftyJobsEachAtOnce)
{
    // The whole log is read at the end: no starting over.
    AppServer server({"max-log-size=0"});
    for (const LoadPrinter &printer : kPrinters) {
        server.AddFilePrinter(printer.driver, printer.driver);
    }
    const std::string png = std::string(DOTWEAVE_SOURCE_DIR) + "/samples/photo.png";
    std::vector<std::vector<int>> jobs(std::size(kPrinters));
    // Every request's answer: a job's media must never be ignored because
    // another thread was looking at the printer's attributes just then.
    std::vector<std::vector<std::string>> answers(std::size(kPrinters));
    std::vector<std::thread> submitters;
    for (size_t p = 0; p < std::size(kPrinters); ++p) {
        submitters.emplace_back([&, p] {
            const std::string media = std::string("media=") + FindDriver(kPrinters[p].driver)->model->defaultMedia;
            for (int i = 0; i < kJobsEach; ++i) {
                std::string answer;
                jobs[p].push_back(server.Print(kPrinters[p].driver, png, "image/png", media, &answer));
                answers[p].push_back(answer);
            }
        });
    }
    for (std::thread &submitter : submitters)
        submitter.join();

    for (size_t p = 0; p < std::size(kPrinters); ++p) {
        const LoadPrinter &printer = kPrinters[p];
        SCOPED_TRACE(printer.driver);
        ASSERT_EQ(jobs[p].size(), static_cast<size_t>(kJobsEach));
        for (const std::string &answer : answers[p])
            EXPECT_EQ(answer.rfind("successful-ok ", 0), 0u) << answer;
        ASSERT_TRUE(server.Running()) << server.Problems();
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
    // No job was printed twice: PAPPL says "Starting print job." once each
    // time a job goes to its printer.
    const std::string log = server.Log();
    size_t started = 0;
    for (size_t at = log.find("] Starting print job."); at != std::string::npos;
         at = log.find("] Starting print job.", at + 1))
        ++started;
    EXPECT_EQ(started, std::size(kPrinters) * kJobsEach);
}

}  // namespace
