#include "printers/printer_cpcl.h"
#include "printer_test_util.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using namespace printertest;

namespace {

using Capture = SpoolCapture<CPrinterCPCL>;

}  // namespace

TEST(CpclJob, WorkedExampleThroughTheFilter)
{
    const RasterPage page = MakeRandomRasterPage(384, 240, 1, 21);
    const FilterResult result = RunPrinterJob(22, {Option("zeMediaTracking", "Gap", {"Continuous"})}, {page});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const std::string expected = std::string("! 0 200 200 240 1\r\nPAGE-WIDTH 384\r\nCG 48 240 0 0\r\n") +
                                 InvertedRows(page, 48) + "FORM\r\nPRINT\r\n";
    ASSERT_EQ(result.out.size(), expected.size());
    EXPECT_EQ(result.out, expected) << Hex(result.out);
}

TEST(CpclJob, HeaderDeclares200DpiWhateverThePageResolution)
{
    const RasterPage page = MakeRandomRasterPage(64, 2, 1, 22, 300);
    const FilterResult result = RunPrinterJob(22, {Option("AdjustHoriaontal", "2", {"0"})}, {page});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    // The reference option is already eight dots per millimetre; the header
    // counts it eight times again.
    EXPECT_EQ(result.out, std::string("! 128 200 200 2 1\r\nPAGE-WIDTH 64\r\nCG 8 2 0 0\r\n") + InvertedRows(page, 8) +
                              "PRINT\r\n");
}

TEST(CpclPage, EveryCommandIsWrittenAsSoonAsItIsBuilt)
{
    Capture printer;
    const std::vector<uint8_t> rows = RandomRows(32, 3, 23);
    LoadPreparedPage(printer, 32, 3, rows, 203);
    printer.regStruct.iGap[0] = 2;
    printer.OnPaintBmp();

    std::string bitmap;
    for (uint8_t byte : rows)
        bitmap.push_back(static_cast<char>(~byte));
    const std::vector<std::string> expected = {"! 0 200 200 3 1\r\n", "PAGE-WIDTH 32\r\n", "CG 4 3 0 0\r\n", bitmap,
                                               "FORM\r\n", "PRINT\r\n"};
    EXPECT_EQ(printer.writes, expected);
}

TEST(CpclPage, ReferenceIsTheOffsetTimesEight)
{
    struct Case {
        int reference;
        std::string header;
    };
    const std::vector<Case> cases = {{2, "! 16 200 200 240 1\r\n"},
                                     {-3, "! -24 200 200 240 1\r\n"},
                                     {INT_MAX, "! 17179869176 200 200 240 1\r\n"},
                                     {INT_MIN, "! -17179869184 200 200 240 1\r\n"}};
    for (const Case &c : cases) {
        Capture printer;
        LoadPreparedPage(printer, 32, 240, std::vector<uint8_t>(4 * 240, 0xFF), 203);
        printer.regStruct.iReference[0] = c.reference;
        printer.OnPaintBmp();
        EXPECT_EQ(printer.writes.at(0), c.header) << c.reference;
    }
}

TEST(CpclPage, FormOnlyForGapAndBlackMarkMedia)
{
    for (int media = -1; media <= 8; ++media) {
        Capture printer;
        LoadPreparedPage(printer, 32, 1, {0xFF, 0xFF, 0xFF, 0xFF}, 203);
        printer.regStruct.iGap[0] = media;
        printer.OnPaintBmp();
        const bool form = media == 1 || media == 2;
        ASSERT_EQ(printer.writes.size(), form ? 6u : 5u) << media;
        EXPECT_EQ(printer.writes.back(), "PRINT\r\n");
        if (form) {
            EXPECT_EQ(printer.writes[4], "FORM\r\n");
        }
    }
}

TEST(CpclPage, OddWidthSendsFullStoredRowsWithBlankTails)
{
    Capture printer;
    const std::vector<uint8_t> rows = RandomRows(385, 240, 24);
    LoadPreparedPage(printer, 385, 240, rows, 203);
    printer.OnPaintBmp();

    ASSERT_EQ(printer.writes.size(), 5u);
    EXPECT_EQ(printer.writes[1], "PAGE-WIDTH 385\r\n");
    EXPECT_EQ(printer.writes[2], "CG 52 240 0 0\r\n");
    const std::string &bitmap = printer.writes[3];
    ASSERT_EQ(bitmap.size(), 52u * 240u);
    for (size_t y = 0; y < 240; ++y) {
        const char *row = bitmap.data() + y * 52;
        for (size_t x = 0; x < 48; ++x)
            ASSERT_EQ(static_cast<uint8_t>(row[x]), static_cast<uint8_t>(~rows[y * 49 + x])) << y << "," << x;
        ASSERT_EQ(static_cast<uint8_t>(row[48]), static_cast<uint8_t>(~rows[y * 49 + 48]) & 0x80) << y;
        ASSERT_EQ(std::string(row + 49, 3), std::string(3, '\0')) << y;
    }
}
