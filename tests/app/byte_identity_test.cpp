// The application and the filter run the same engine: for the same page and
// equivalent settings the printer receives the same bytes from both.
#include "printers/driver_table.h"
#include "app_server.h"
#include "app_test_pages.h"
#include "support/filter_runner.h"
#include "support/raster_writer.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace {

struct IdentityCase {
    const char *driver;
    const char *ippAttributes;   // sent with the job
    const char *filterOptions;   // the same settings as PPD choices
};

const IdentityCase kCases[] = {
    {"tspl_203dpi",
     "halftone-method=stucki threshold-level=128 print-darkness=30 print-speed=10160 dotted-line=true cutter-mode=peel",
     "ImageFilter=4 Threshold=128 Darkness=12 zePrintRate=4 AutoDotted=1 CutterMode=Peel"},
    {"tspl_300dpi", "", ""},
    {"escpos_203dpi", "cut-mode=page-partial cash-drawer=after-page feed-after-page=20 brightness=32",
     "CutMode=PagePartial CashDrawer=AfterPage FeedOffset=20 Brightness=32"},
    {"cpcl_203dpi", "print-color-mode=bi-level threshold-level=96 trim-blank-top=0 orientation-requested=4",
     "ImageFilter=0 Threshold=96 CropEdgeTop=0 Rotate=2"},
    {"paperang_203dpi", "", ""},
    {"paperang_300dpi", "halftone-method=floyd-steinberg contrast=25 trim-blank-bottom=5",
     "ImageFilter=1 Contrast=25 CropEdgeBottom=5"},
    {"peripage_203dpi", "bitmap-compression=true print-darkness=30", "ImageCompress=1 Darkness=4"},
    {"peripage_300dpi", "halftone-method=bayer-8x8 orientation-requested=6", "ImageFilter=9 Rotate=1"},
};

TEST(ByteIdentity, AppWritesTheFiltersBytesForEveryDriver)
{
    AppServer server;
    for (const IdentityCase &c : kCases) {
        SCOPED_TRACE(c.driver);
        const tagDriverInfo *row = FindDriver(c.driver);
        ASSERT_NE(row, nullptr);
        const std::string folder = server.AddFilePrinter(c.driver, c.driver);

        const std::string cupsRaster = server.Dir().File(std::string(c.driver) + ".ras");
        const std::string pwgRaster = WriteBothRasters(cupsRaster, server.Dir().File(std::string(c.driver) + ".pwg"),
                                                       {MakeLabelPage(*row)});

        std::string status;
        const int job = server.Print(c.driver, pwgRaster, "image/pwg-raster", c.ippAttributes, &status);
        ASSERT_GT(job, 0) << status;
        ASSERT_EQ(server.WaitForJob(c.driver, job), IPP_JSTATE_COMPLETED) << server.JobMessage(c.driver, job);
        const std::vector<std::string> files = WaitForJobFiles(folder, 1);
        ASSERT_EQ(files.size(), 1u);

        const FilterResult filter = RunFilterOn(PpdPath(*row), cupsRaster, c.filterOptions);
        ASSERT_EQ(filter.exitStatus, 0) << filter.err;
        ASSERT_FALSE(filter.out.empty());
        const std::string app = ReadFileBytes(files[0]);
        EXPECT_EQ(app.size(), filter.out.size());
        EXPECT_TRUE(app == filter.out) << "the streams differ";
    }
}

}  // namespace

namespace {

// An override changes only the pages it names: the second page of a job
// prints as the filter prints that page with the overriding setting.
TEST(ByteIdentity, OverridesChangeOnlyTheirPages)
{
    AppServer server;
    const tagDriverInfo *row = FindDriver("tspl_203dpi");
    ASSERT_NE(row, nullptr);
    const std::string folder = server.AddFilePrinter("label", row->name);

    const RasterPage page = MakeLabelPage(*row);
    const std::string cupsRaster = server.Dir().File("page.ras");
    WriteRasterFile(cupsRaster, {page});
    const std::string pwgRaster =
        WriteBothRasters(server.Dir().File("pages.ras"), server.Dir().File("pages.pwg"), {page, page, page});

    std::string status;
    const int job = server.Print("label", pwgRaster, "image/pwg-raster",
                                 "halftone-method=burkes "
                                 "overrides={pages=2-2 print-color-mode=bi-level threshold-level=64}",
                                 &status);
    ASSERT_GT(job, 0) << status;
    ASSERT_EQ(server.WaitForJob("label", job), IPP_JSTATE_COMPLETED) << server.JobMessage("label", job);
    const std::vector<std::string> files = WaitForJobFiles(folder, 1);
    ASSERT_EQ(files.size(), 1u);

    const std::string ppd = PpdPath(*row);
    const FilterResult burkes = RunFilterOn(ppd, cupsRaster, "ImageFilter=3");
    const FilterResult threshold = RunFilterOn(ppd, cupsRaster, "ImageFilter=0 Threshold=64");
    ASSERT_EQ(burkes.exitStatus, 0);
    ASSERT_EQ(threshold.exitStatus, 0);
    ASSERT_NE(burkes.out, threshold.out);
    EXPECT_TRUE(ReadFileBytes(files[0]) == burkes.out + threshold.out + burkes.out);
}

TEST(ByteIdentity, ARefusedPageIsSkippedAndTheJobGoesOn)
{
    AppServer server;
    const tagDriverInfo *row = FindDriver("escpos_203dpi");
    ASSERT_NE(row, nullptr);
    const std::string folder = server.AddFilePrinter("receipt", row->name);

    const RasterPage page = MakeLabelPage(*row, 200);
    // PAPPL passes this header on; the engine cannot print it.
    RasterPage refused = page;
    refused.dpiX = refused.dpiY = 20000;
    const std::string cupsRaster = server.Dir().File("page.ras");
    WriteRasterFile(cupsRaster, {page});
    const std::string pwgRaster =
        WriteBothRasters(server.Dir().File("pages.ras"), server.Dir().File("pages.pwg"), {page, refused, page});

    std::string status;
    const int job = server.Print("receipt", pwgRaster, "image/pwg-raster", "", &status);
    ASSERT_GT(job, 0) << status;
    ASSERT_EQ(server.WaitForJob("receipt", job), IPP_JSTATE_COMPLETED) << server.JobMessage("receipt", job);
    EXPECT_NE(server.Log().find("Page 2 cannot be printed"), std::string::npos) << server.Log();
    const std::vector<std::string> files = WaitForJobFiles(folder, 1);
    ASSERT_EQ(files.size(), 1u);
    // The filter skips the same page of the same stream the same way.
    const FilterResult alone = RunFilterOn(PpdPath(*row), cupsRaster, "");
    const FilterResult skipped = RunFilterOn(PpdPath(*row), server.Dir().File("pages.ras"), "");
    ASSERT_EQ(alone.exitStatus, 0);
    ASSERT_EQ(skipped.exitStatus, 0);
    EXPECT_TRUE(ReadFileBytes(files[0]) == skipped.out);
    EXPECT_NE(skipped.out, alone.out);
}

}  // namespace
