// IPP job attributes become the engine's keyword/choice pairs in one place;
// these cases are where a wrong mapping would print something else than
// the user asked for.
#include "app/driver_table.h"
#include "app/job_settings.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>

namespace {

std::optional<std::map<std::string, std::string>> Map(const char *driver,
                                                      const std::function<void(JobRequest &)> &change)
{
    const DriverRow *row = FindAppDriver(driver);
    EXPECT_NE(row, nullptr) << driver;
    JobRequest request = DefaultRequest(*row);
    change(request);
    SettingPairs pairs;
    std::string error;
    if (!MapJobSettings(*row, request, pairs, error)) {
        EXPECT_FALSE(error.empty());
        return std::nullopt;
    }
    return std::map<std::string, std::string>(pairs.begin(), pairs.end());
}

struct Case {
    const char *what;
    const char *driver;
    std::function<void(JobRequest &)> change;
    const char *keyword;   // null: the job is refused
    const char *choice;
};

const Case kCases[] = {
    {"bi-level is the fixed threshold whatever the method", "paperang_203dpi",
     [](JobRequest &r) { r.colorMode = PAPPL_COLOR_MODE_BI_LEVEL; r.SetVendor("halftone-method", "burkes"); },
     "ImageFilter", "0"},
    {"monochrome keeps the chosen method", "tspl_203dpi", [](JobRequest &r) { r.SetVendor("halftone-method", "sierra"); },
     "ImageFilter", "6"},
    {"no darkness adjustment keeps the printer's own", "tspl_203dpi", [](JobRequest &r) { r.darknessConfigured = 90; },
     "Darkness", "Default"},
    {"configured plus adjustment picks the level", "tspl_203dpi",
     [](JobRequest &r) { r.darknessConfigured = 50; r.printDarkness = 30; }, "Darkness", "12"},
    {"darkness is clamped to the darkest of five", "peripage_203dpi",
     [](JobRequest &r) { r.darknessConfigured = 100; r.printDarkness = 100; }, "Darkness", "5"},
    {"darkness is clamped to the lightest", "tspl_300dpi",
     [](JobRequest &r) { r.darknessConfigured = 10; r.printDarkness = -100; }, "Darkness", "0"},
    {"receipt printers send no darkness", "escpos_203dpi", [](JobRequest &r) { r.printDarkness = 50; }, "Darkness",
     "Default"},
    {"speed in inches per second", "tspl_203dpi", [](JobRequest &r) { r.printSpeed = 4 * 2540; }, "zePrintRate", "4"},
    {"speed is clamped to the fastest", "tspl_203dpi", [](JobRequest &r) { r.printSpeed = 1000000; }, "zePrintRate",
     "12"},
    {"landscape turns by 90 degrees", "tspl_203dpi", [](JobRequest &r) { r.orientation = IPP_ORIENT_LANDSCAPE; },
     "Rotate", "2"},
    {"reverse landscape turns by 270 degrees", "cpcl_203dpi",
     [](JobRequest &r) { r.orientation = IPP_ORIENT_REVERSE_LANDSCAPE; }, "Rotate", "3"},
    {"reverse portrait turns by 180 degrees", "escpos_203dpi",
     [](JobRequest &r) { r.orientation = IPP_ORIENT_REVERSE_PORTRAIT; }, "Rotate", "1"},
    {"offsets round to whole 8 mm steps", "tspl_203dpi", [](JobRequest &r) { r.topOffset = 1300; }, "AdjustVertical",
     "2"},
    {"negative offsets round the same way", "tspl_203dpi", [](JobRequest &r) { r.leftOffset = -1100; },
     "AdjustHoriaontal", "-1"},
    {"offsets past three steps are refused", "tspl_203dpi", [](JobRequest &r) { r.topOffset = 2500; }, nullptr, nullptr},
    {"a printer that cannot shift refuses an offset", "escpos_203dpi", [](JobRequest &r) { r.topOffset = 800; },
     nullptr, nullptr},
    {"labels with black marks", "tspl_203dpi", [](JobRequest &r) { r.mediaTracking = PAPPL_MEDIA_TRACKING_MARK; },
     "zeMediaTracking", "BLine"},
    {"pocket media kinds", "peripage_300dpi", [](JobRequest &r) { r.mediaType = "tattoo-guidelines"; },
     "zeMediaTracking", "TattooGuidelines"},
    {"receipt printers have no labels", "escpos_203dpi", [](JobRequest &r) { r.mediaType = "labels"; }, nullptr,
     nullptr},
    {"receipt printers sense no gaps", "escpos_203dpi",
     [](JobRequest &r) { r.mediaTracking = PAPPL_MEDIA_TRACKING_GAP; }, nullptr, nullptr},
    {"threshold beyond a byte is refused", "cpcl_203dpi", [](JobRequest &r) { r.SetVendor("threshold-level", "300"); },
     nullptr, nullptr},
    {"a number with trailing text is refused", "cpcl_203dpi",
     [](JobRequest &r) { r.SetVendor("brightness", "12abc"); }, nullptr, nullptr},
    {"an unknown method is refused", "tspl_203dpi", [](JobRequest &r) { r.SetVendor("halftone-method", "magic"); },
     nullptr, nullptr},
    {"receipt cut after every page", "escpos_203dpi", [](JobRequest &r) { r.SetVendor("cut-mode", "page-partial"); },
     "CutMode", "PagePartial"},
    {"receipts are cut at the job's end by default", "escpos_203dpi", [](JobRequest &) {}, "CutMode", "JobFull"},
    {"label cutter", "tspl_203dpi", [](JobRequest &r) { r.SetVendor("cutter-mode", "partial-cutter"); }, "CutterMode",
     "PartialCutter"},
    {"compression as a boolean", "peripage_203dpi", [](JobRequest &r) { r.SetVendor("bitmap-compression", "true"); },
     "ImageCompress", "1"},
    {"no trimming limit", "tspl_203dpi", [](JobRequest &r) { r.SetVendor("trim-blank-left", "-1"); }, "CropEdgeLeft",
     "-1"},
};

TEST(JobSettings, IppAttributesBecomeEngineSettings)
{
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.what);
        const auto settings = Map(c.driver, c.change);
        if (c.keyword == nullptr) {
            EXPECT_FALSE(settings.has_value());
            continue;
        }
        ASSERT_TRUE(settings.has_value());
        ASSERT_EQ(settings->count(c.keyword), 1u);
        EXPECT_EQ(settings->at(c.keyword), c.choice);
    }
}

TEST(JobSettings, OptionsALanguageLacksNeverReachIt)
{
    // A cut mode sent to a label printer must not make the engine cut, nor
    // may a receipt printer's cash drawer reach a pocket printer.
    const auto tspl = Map("tspl_203dpi", [](JobRequest &r) { r.SetVendor("cut-mode", "page-full"); });
    ASSERT_TRUE(tspl.has_value());
    EXPECT_EQ(tspl->count("CutMode"), 0u);
    const auto pocket = Map("peripage_203dpi", [](JobRequest &r) { r.SetVendor("cash-drawer", "after-page"); });
    ASSERT_TRUE(pocket.has_value());
    EXPECT_EQ(pocket->count("CashDrawer"), 0u);
}

}  // namespace
