// Jobs driven through the engine the way the printer application drives it:
// line by line, several at once in threads, each with its own output.
#include "printers/driver_table.h"
#include "render/print_job.h"
#include "support/collecting_output.h"
#include "support/filter_runner.h"
#include "support/ppd_writer.h"
#include "support/raster_writer.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <new>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Settings = std::vector<std::pair<std::string, std::string>>;

// The records the filter reads from these PPD choices.
tagJobSettings Records(const Settings &settings)
{
    class Choices final : public ISettingsSource {
    public:
        explicit Choices(const Settings &settings) : settings(settings) {}
        std::string Choice(const char *keyword) override
        {
            for (const auto &[name, choice] : settings)
                if (name == keyword)
                    return choice;
            return std::string();
        }

    private:
        const Settings &settings;
    } choices(settings);
    CBaseRender reader;
    reader.ReadSettings(choices);
    return {reader.regStruct, reader.halftone};
}

// Runs a whole job: every page line by line, as many pages as the job lets
// through before it is canceled or fails. `halfway` runs in the middle of
// every page, with the page's number.
void DriveJob(CPrintJob &job, const std::vector<RasterPage> &pages, const Settings &settings,
              const std::function<void(int)> &halfway = {})
{
    const tagJobSettings records = Records(settings);
    job.Start("test", &records);
    for (const RasterPage &page : pages) {
        if (job.IsCanceled() || job.Failed())
            break;
        cups_page_header2_t header;
        FillRasterHeader(page, header);
        if (job.BeginPage(header)) {
            for (unsigned y = 0; y < page.height; ++y) {
                if (y == page.height / 2 && halfway)
                    halfway(job.Pages());
                job.AddLine(page.Row(y), page.BytesPerLine());
            }
            job.PrintPage();
        }
        if (job.Failed())
            break;
        job.EndPage();
    }
    job.Finish();
}

std::string PrintAlone(EPrinterLanguage language, const std::vector<RasterPage> &pages, const Settings &settings)
{
    CollectingOutput output;
    CPrintJob job(CreateRender(language), output);
    DriveJob(job, pages, settings);
    EXPECT_FALSE(job.Failed()) << output.messages;
    return output.bytes;
}

std::vector<RasterPage> Pages(unsigned count, unsigned bpp, uint32_t seed)
{
    std::vector<RasterPage> pages;
    for (unsigned i = 0; i < count; ++i)
        pages.push_back(MakeRandomRasterPage(608, 400 + 16 * i, bpp, seed + i));
    return pages;
}

struct Language {
    EPrinterLanguage language;
    int modelNumber;
};

TEST(PrintJob, LineByLineGivesTheFilterBytesForEveryLanguage)
{
    const Settings settings = {{"ImageFilter", "1"}, {"zeMediaTracking", "Gap"}, {"ImageCompress", "1"},
                               {"Darkness", "9"},    {"FeedOffset", "5"},       {"CutMode", "PageFull"}};
    std::vector<PpdOption> options;
    for (const auto &[keyword, choice] : settings)
        options.push_back(Option(keyword, choice));
    const std::vector<RasterPage> pages = Pages(2, 8, 40);
    ScopedTempDir dir;
    WriteRasterFile(dir.File("job.ras"), pages);
    for (const Language language : {Language{EPrinterLanguage::TSPL, 20}, Language{EPrinterLanguage::ESCPOS, 21},
                                    Language{EPrinterLanguage::CPCL, 22}, Language{EPrinterLanguage::Paperang, 23},
                                    Language{EPrinterLanguage::PeriPage, 24}}) {
        PpdDescription ppd;
        ppd.modelNumber = language.modelNumber;
        ppd.options = options;
        WritePpdFile(dir.File("printer.ppd"), ppd);
        const FilterResult filter = RunFilterOn(dir.File("printer.ppd"), dir.File("job.ras"));
        ASSERT_EQ(filter.exitStatus, 0) << filter.err;
        EXPECT_TRUE(PrintAlone(language.language, pages, settings) == filter.out) << language.modelNumber;
    }
}

TEST(PrintJob, TwoJobsAtOnceGiveTheirBytesAloneAndCancellingOneSparesTheOther)
{
    const std::vector<RasterPage> labels = Pages(6, 8, 1);
    const std::vector<RasterPage> receipts = Pages(4, 24, 20);
    const Settings labelSettings = {{"ImageFilter", "3"}, {"zeMediaTracking", "Gap"}};
    const Settings receiptSettings = {{"ImageFilter", "1"}, {"CutMode", "JobPartial"}, {"CashDrawer", "AfterPage"}};
    const std::string labelsAlone = PrintAlone(EPrinterLanguage::TSPL, labels, labelSettings);
    const std::string receiptsAlone = PrintAlone(EPrinterLanguage::ESCPOS, receipts, receiptSettings);
    // What each whole number of label pages gives: a cancelled job must end
    // on one of them.
    std::vector<std::string> labelPrefixes = {""};
    for (size_t n = 1; n <= labels.size(); ++n)
        labelPrefixes.push_back(
            PrintAlone(EPrinterLanguage::TSPL, std::vector<RasterPage>(labels.begin(), labels.begin() + n), labelSettings));

    for (int round = 0; round < 3; ++round) {
        CollectingOutput labelOutput, receiptOutput;
        CPrintJob labelJob(CreateRender(EPrinterLanguage::TSPL), labelOutput);
        CPrintJob receiptJob(CreateRender(EPrinterLanguage::ESCPOS), receiptOutput);
        std::thread labelThread([&] { DriveJob(labelJob, labels, labelSettings); });
        std::thread receiptThread([&] { DriveJob(receiptJob, receipts, receiptSettings); });
        labelThread.join();
        receiptThread.join();
        EXPECT_TRUE(labelOutput.bytes == labelsAlone) << "round " << round;
        EXPECT_TRUE(receiptOutput.bytes == receiptsAlone) << "round " << round;
    }

    // Cancelled from another thread in the middle of its second page: that
    // page is finished whole, and no further page starts.
    CollectingOutput labelOutput, receiptOutput;
    CPrintJob labelJob(CreateRender(EPrinterLanguage::TSPL), labelOutput);
    CPrintJob receiptJob(CreateRender(EPrinterLanguage::ESCPOS), receiptOutput);
    std::atomic<bool> cancelSent{false};
    std::thread labelThread([&] {
        DriveJob(labelJob, labels, labelSettings, [&](int page) {
            if (page != 2)
                return;
            std::thread([&] {
                labelJob.Cancel();
                cancelSent = true;
            }).join();
        });
    });
    std::thread receiptThread([&] { DriveJob(receiptJob, receipts, receiptSettings); });
    labelThread.join();
    receiptThread.join();
    EXPECT_TRUE(cancelSent);
    EXPECT_FALSE(receiptJob.IsCanceled());
    EXPECT_TRUE(receiptOutput.bytes == receiptsAlone);
    EXPECT_TRUE(labelOutput.bytes == labelPrefixes[2]) << labelOutput.bytes.size() << " bytes";
    EXPECT_EQ(labelJob.Pages(), 2);
}

TEST(PrintJob, PageSettingsHoldForTheirPageOnly)
{
    const std::vector<RasterPage> pages = Pages(3, 8, 80);
    const Settings job = {{"ImageFilter", "0"}, {"zeMediaTracking", "Gap"}};
    const Settings page = {{"ImageFilter", "1"}, {"zeMediaTracking", "BLine"}, {"Rotate", "1"}, {"Darkness", "4"}};
    auto alone = [&](size_t i, const Settings &settings) {
        return PrintAlone(EPrinterLanguage::TSPL, {pages[i]}, settings);
    };

    CollectingOutput output;
    CPrintJob printJob(CreateRender(EPrinterLanguage::TSPL), output);
    const tagJobSettings jobRecords = Records(job), pageRecords = Records(page);
    ASSERT_TRUE(printJob.Start("test", &jobRecords));
    for (size_t i = 0; i < pages.size(); ++i) {
        if (i == 1)
            printJob.OverridePage(pageRecords);
        cups_page_header2_t header;
        FillRasterHeader(pages[i], header);
        ASSERT_TRUE(printJob.BeginPage(header));
        for (unsigned y = 0; y < pages[i].height; ++y)
            printJob.AddLine(pages[i].Row(y), pages[i].BytesPerLine());
        ASSERT_TRUE(printJob.PrintPage());
        ASSERT_TRUE(printJob.EndPage());
    }
    ASSERT_TRUE(printJob.Finish());
    EXPECT_TRUE(output.bytes == alone(0, job) + alone(1, page) + alone(2, job));
}

// Back-ends that fail the way an engine can fail.
class ThrowingTSPL : public CPrinterTSPL {
public:
    bool OnPaintBmp() override { throw std::bad_alloc(); }
};

// A back-end that collects a page without sizing its buffer first, so that
// the buffer meets its ceiling and starts over.
class UnsizedBufferTSPL : public CPrinterTSPL {
public:
    bool OnPaintBmp() override
    {
        CMyBuffer page;
        page.SetMaxBufferSize(4096);
        for (uint32_t y = 0; y < image.GetHeight(); ++y)
            page.AddBuffer(image.GetBits(y), static_cast<int>(image.GetEffWidth()));
        return SpoolBuffer(page);
    }
};

struct FailureCase {
    const char *name;
    std::function<CBaseRender *()> render;
    size_t writeLimit;
    const char *message;
};

TEST(PrintJob, AnEngineFailureFailsThatJobOnlyWithItsMessage)
{
    const FailureCase cases[] = {
        {"out of memory", [] { return new ThrowingTSPL(); }, static_cast<size_t>(-1),
         "ERROR: Not enough memory to print this job."},
        {"a page past the buffer ceiling", [] { return new UnsizedBufferTSPL(); }, static_cast<size_t>(-1),
         "ERROR: The page is larger than the printer command buffer holds (4096 bytes); it is not printed."},
        {"a failed write", [] { return CreateRender(EPrinterLanguage::TSPL); }, 5000,
         "ERROR: The printer data could not be written."},
    };
    const std::vector<RasterPage> pages = Pages(3, 8, 60);
    const Settings settings = {{"ImageFilter", "0"}};
    const std::string receiptsAlone = PrintAlone(EPrinterLanguage::CPCL, pages, settings);
    for (const FailureCase &c : cases) {
        CollectingOutput failingOutput, otherOutput;
        failingOutput.writeLimit = c.writeLimit;
        CPrintJob failing(c.render(), failingOutput);
        CPrintJob other(CreateRender(EPrinterLanguage::CPCL), otherOutput);
        std::thread failingThread([&] { DriveJob(failing, pages, settings); });
        std::thread otherThread([&] { DriveJob(other, pages, settings); });
        failingThread.join();
        otherThread.join();

        EXPECT_TRUE(failing.Failed()) << c.name;
        EXPECT_EQ(failingOutput.messages, std::string(c.message) + "\n") << c.name;
        // The job stopped at the failing page; nothing after it was sent.
        EXPECT_EQ(failing.Pages(), 1) << c.name;
        EXPECT_FALSE(failing.Finish()) << c.name;
        EXPECT_FALSE(other.Failed()) << c.name;
        EXPECT_TRUE(otherOutput.bytes == receiptsAlone) << c.name;
    }
}

}  // namespace
