// Cuts, cash-drawer pulses and label finishing chosen through the shipped
// printer descriptions reach the printer in the right place.
#include "printer_test_util.h"

#include <gtest/gtest.h>

#include <string>

using namespace printertest;

namespace {

FilterResult PrintWithShippedPpd(const char *ppdName, const std::vector<RasterPage> &pages, const std::string &options)
{
    ScopedTempDir dir;
    WriteRasterFile(dir.File("job.ras"), pages);
    return RunFilterOn(std::string(DOTWEAVE_PPD_DIR) + "/" + ppdName, dir.File("job.ras"), options);
}

struct ReceiptCase {
    const char *options;      // empty: the description's defaults
    const char *before;       // before each page
    const char *afterPage;    // after each page's feed
    const char *afterJob;     // once, at the end of the job
};

TEST(Finishing, EveryCutAndDrawerChoiceOfTheReceiptPrinter)
{
    const std::string full = Bytes({0x1D, 0x56, 0x30}), partial = Bytes({0x1D, 0x56, 0x31});
    const std::string drawer = Bytes({0x1B, 0x70, 0x00, 0xFF, 0xFF});
    // What each case adds around the pages: markers F (full cut), P
    // (partial cut) and D (drawer pulse).
    const ReceiptCase cases[] = {
        {"", "", "", "F"},  // a shop expects the receipt cut off at the end
        {"CutMode=None", "", "", ""},
        {"CutMode=JobFull", "", "", "F"},
        {"CutMode=JobPartial", "", "", "P"},
        {"CutMode=PageFull", "", "F", ""},
        {"CutMode=PagePartial", "", "P", ""},
        {"CashDrawer=BeforePage CutMode=None", "D", "", ""},
        {"CashDrawer=AfterPage CutMode=PagePartial", "", "PD", ""},
        {"CashDrawer=BeforePage CutMode=JobPartial", "D", "", "P"},
    };
    auto expand = [&](const std::string &markers) {
        std::string bytes;
        for (char m : markers)
            bytes += m == 'F' ? full : m == 'P' ? partial : drawer;
        return bytes;
    };
    const RasterPage first = MakeRandomRasterPage(576, 40, 1, 21);
    const RasterPage second = MakeRandomRasterPage(576, 40, 1, 22);
    auto page = [&](const RasterPage &p, const ReceiptCase &c) {
        // Initialise, centre, the raster, the default 10 mm feed (79 dots).
        return expand(c.before) + Bytes({0x1B, 0x40, 0x00, 0x1B, 0x61, 0x01, 0x1D, 0x76, 0x30, 0x00, 72, 0, 40, 0}) +
               InvertedRows(p, 72) + Bytes({0x1B, 0x4A, 79}) + expand(c.afterPage);
    };
    for (const ReceiptCase &c : cases) {
        const FilterResult result = PrintWithShippedPpd("dotweave-escpos-203dpi.ppd", {first, second}, c.options);
        ASSERT_EQ(result.exitStatus, 0) << c.options << ": " << result.err;
        const std::string expected = page(first, c) + page(second, c) + expand(c.afterJob);
        EXPECT_TRUE(result.out == expected) << c.options << ": " << Hex(result.out.substr(0, 16)) << " ... "
                                            << Hex(result.out.substr(result.out.size() - 16));
    }
}

TEST(Finishing, EveryLabelFinishingChoiceSetsUpTheLabelPrinter)
{
    struct LabelCase {
        const char *choice;
        const char *setup;  // between the ribbon and the reference lines
    };
    const LabelCase cases[] = {
        {"None", ""},
        {"Tear", "SET PEEL OFF\r\nSET CUTTER FALSE\r\nSET PARTIAL_CUTTER OFF\r\nSET TEAR ON\r\n"},
        {"Peel", "SET PEEL ON\r\nSET CUTTER FALSE\r\nSET PARTIAL_CUTTER OFF\r\nSET TEAR OFF\r\n"},
        {"Cutter", "SET PEEL OFF\r\nSET CUTTER 1\r\nSET PARTIAL_CUTTER OFF\r\nSET TEAR OFF\r\n"},
        {"PartialCutter", "SET PEEL OFF\r\nSET CUTTER FALSE\r\nSET PARTIAL_CUTTER 1\r\nSET TEAR OFF\r\n"},
    };
    const RasterPage label = MakeRandomRasterPage(384, 240, 1, 23);
    for (const LabelCase &c : cases) {
        const FilterResult result =
            PrintWithShippedPpd("dotweave-tspl-203dpi.ppd", {label}, std::string("CutterMode=") + c.choice);
        ASSERT_EQ(result.exitStatus, 0) << c.choice << ": " << result.err;
        const std::string expected = std::string("SET RIBBON OFF\r\n") + c.setup + "REFERENCE 0,0\r\n";
        EXPECT_NE(result.out.find(expected), std::string::npos) << c.choice << ": " << result.out.substr(0, 200);
    }
}

}  // namespace
