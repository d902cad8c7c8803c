#include "printers/printer_escpos.h"
#include "printer_test_util.h"
#include "support/collecting_output.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using namespace printertest;

namespace {

using Capture = SpoolCapture<CPrinterESCPOS>;

// Shows what the writers have put in the page buffer so far.
struct Probe : Capture {
    std::string Buffered() const
    {
        return std::string(pageBuffer.GetBuffer(), static_cast<size_t>(pageBuffer.GetBufferLength()));
    }
};

const std::string kInit = Bytes({0x1B, 0x40, 0x00});
const std::string kCenter = Bytes({0x1B, 0x61, 0x01});
const std::string kFullCut = Bytes({0x1D, 0x56, 0x30});
const std::string kPartialCut = Bytes({0x1D, 0x56, 0x31});
const std::string kDrawer = Bytes({0x1B, 0x70, 0x00, 0xFF, 0xFF});

std::string RasterHeader(int mode, int widthBytes, int rows)
{
    return Bytes({0x1D, 0x76, 0x30, mode, widthBytes & 0xFF, widthBytes >> 8, rows & 0xFF, (rows >> 8) & 0xFF});
}

// A one-row blank page: the frame around the bitmap is what is looked at.
std::string PaintBlankPage(Capture &printer)
{
    LoadPreparedPage(printer, 32, 1, {0xFF, 0xFF, 0xFF, 0xFF}, 203);
    printer.OnPaintBmp();
    return printer.writes.empty() ? std::string() : printer.writes.back();
}

}  // namespace

TEST(EscPosJob, WorkedExampleThroughTheFilter)
{
    const RasterPage first = MakeRandomRasterPage(384, 240, 1, 11);
    const RasterPage second = MakeRandomRasterPage(384, 240, 1, 12);
    const FilterResult result = RunPrinterJob(21, {Option("FeedOffset", "10", {"0"})}, {first, second});
    ASSERT_EQ(result.exitStatus, 0) << result.err;

    auto page = [](const RasterPage &p) {
        return kInit + kCenter + RasterHeader(0, 48, 240) + InvertedRows(p, 48) + Bytes({0x1B, 0x4A, 0x4F});
    };
    // Every page is complete on its own; no cut at the end of the job.
    const std::string expected = page(first) + page(second);
    ASSERT_EQ(result.out.size(), expected.size());
    EXPECT_EQ(result.out, expected) << Hex(result.out);
}

TEST(EscPosJob, OddWidthPageThroughTheFilter)
{
    // Random bits past dot 385 in the raster must not reach the printer.
    const RasterPage page = MakeRandomRasterPage(385, 4, 1, 13);
    const FilterResult result = RunPrinterJob(21, {}, {page});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    std::string rows = InvertedRows(page, 49);
    for (size_t y = 0; y < 4; ++y)
        rows[y * 49 + 48] = static_cast<char>(rows[y * 49 + 48] & 0x80);
    EXPECT_EQ(result.out, kInit + kCenter + RasterHeader(0, 49, 4) + rows) << Hex(result.out);
}

TEST(EscPosPage, OddWidthSendsWholeBytesOfTheImageOnly)
{
    Capture printer;
    const std::vector<uint8_t> rows = RandomRows(385, 3, 7);
    LoadPreparedPage(printer, 385, 3, rows, 203);
    ASSERT_EQ(printer.image.GetEffWidth(), 52u);
    printer.OnPaintBmp();

    ASSERT_EQ(printer.writes.size(), 1u);
    const std::string &out = printer.writes[0];
    const std::string prefix = kInit + kCenter + RasterHeader(0, 49, 3);
    ASSERT_EQ(out.size(), prefix.size() + 3 * 49);
    EXPECT_EQ(out.substr(0, prefix.size()), prefix);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 48; ++x)
            ASSERT_EQ(static_cast<uint8_t>(out[prefix.size() + y * 49 + x]), static_cast<uint8_t>(~rows[y * 49 + x]));
        // One image dot in the top bit, the inverted white tail below it.
        const uint8_t last = static_cast<uint8_t>(out[prefix.size() + y * 49 + 48]);
        EXPECT_EQ(last, static_cast<uint8_t>(~rows[y * 49 + 48]) & 0x80) << y;
    }
}

TEST(EscPosPage, FeedIsSplitIntoStepsOf255Dots)
{
    struct Case {
        int dpi, mm;
        std::string feed;
    };
    const std::vector<Case> cases = {
        {203, 0, ""},
        {203, -5, ""},
        {203, 10, Bytes({0x1B, 0x4A, 0x4F})},
        {203, 32, Bytes({0x1B, 0x4A, 0xFF})},
        {203, 33, Bytes({0x1B, 0x4A, 0xFF, 0x1B, 0x4A, 0x08})},
        {203, 40, Bytes({0x1B, 0x4A, 0xFF, 0x1B, 0x4A, 0x40})},
        {203, 64, Bytes({0x1B, 0x4A, 0xFF, 0x1B, 0x4A, 0xFF, 0x1B, 0x4A, 0x01})},
        {300, 1, Bytes({0x1B, 0x4A, 0x0B})},
    };
    for (const Case &c : cases) {
        Capture printer;
        printer.regStruct.iFeedLength = c.mm;
        LoadPreparedPage(printer, 32, 1, {0xFF, 0xFF, 0xFF, 0xFF}, c.dpi);
        printer.OnPaintBmp();
        const std::string expected = kInit + kCenter + RasterHeader(0, 4, 1) + Bytes({0, 0, 0, 0}) + c.feed;
        EXPECT_EQ(printer.writes.at(0), expected) << c.dpi << " dpi, " << c.mm << " mm";
    }
}

TEST(EscPosPage, FeedOfExtremeLengthIsComputedWithoutOverflow)
{
    Probe printer;
    printer.iDpi = INT_MAX;
    printer.PrintAndFeedPaper(-2);
    EXPECT_EQ(printer.Buffered(), Bytes({0x1B, 0x4A, 0x00}));

    // INT_MAX x 2 does not fit 32 bits; the feed is still the full length.
    Probe far;
    far.iDpi = INT_MAX;
    far.PrintAndFeedPaper(2);
    const long long dots = static_cast<long long>(static_cast<double>(2LL * INT_MAX) / 25.4);
    const std::string out = far.Buffered();
    ASSERT_EQ(out.size(), static_cast<size_t>(dots / 255 + (dots % 255 != 0)) * 3);
    EXPECT_EQ(out.substr(out.size() - 3), Bytes({0x1B, 0x4A, static_cast<int>(dots % 255)}));
}

TEST(EscPosPage, ModeByteFollowsTheResolution)
{
    struct Case {
        int dpi1, dpi2, mode;
    };
    const std::vector<Case> cases = {{100, 100, 3}, {150, 150, 0}, {203, 203, 0}, {300, 300, 0}, {202, 202, 0},
                                     {203, 100, 1}, {100, 300, 2}, {100, 150, 0}, {150, 100, 0}};
    for (const Case &c : cases) {
        Probe printer;
        printer.PrintBMP(c.dpi1, c.dpi2, 1, 1, "\x80", 1);
        EXPECT_EQ(printer.Buffered(), RasterHeader(c.mode, 1, 1) + "\x80") << c.dpi1 << "/" << c.dpi2;
        if (c.dpi1 != c.dpi2)
            continue;  // a page always passes its resolution twice
        Capture page;
        LoadPreparedPage(page, 32, 1, {0xFF, 0xFF, 0xFF, 0xFF}, c.dpi1);
        page.OnPaintBmp();
        EXPECT_EQ(page.writes.at(0).substr(6, 8), RasterHeader(c.mode, 4, 1)) << c.dpi1;
    }
}

TEST(EscPosPage, CutAndDrawerPlacementForEverySetting)
{
    const std::string image = RasterHeader(0, 4, 1) + Bytes({0, 0, 0, 0});
    for (int cutMode = -1; cutMode <= 5; ++cutMode) {
        for (int drawer = -1; drawer <= 3; ++drawer) {
            Capture printer;
            printer.regStruct.iCutMode = cutMode;
            printer.regStruct.iCashDrawer = drawer;
            printer.regStruct.iFeedLength = 10;
            const std::string page = PaintBlankPage(printer);

            std::string expected = drawer == 1 ? kDrawer : "";
            expected += kInit + kCenter + image + Bytes({0x1B, 0x4A, 0x4F});
            if (cutMode == 3)
                expected += kFullCut;
            if (cutMode == 4)
                expected += kPartialCut;
            if (drawer == 2)
                expected += kDrawer;
            EXPECT_EQ(page, expected) << "cut " << cutMode << " drawer " << drawer;

            // The end-of-document cut is a write of its own, after the pages.
            printer.OnEndDoc();
            std::vector<std::string> expectedWrites = {expected};
            if (cutMode == 1)
                expectedWrites.push_back(kFullCut);
            if (cutMode == 2)
                expectedWrites.push_back(kPartialCut);
            EXPECT_EQ(printer.writes, expectedWrites) << "cut " << cutMode << " drawer " << drawer;
        }
    }
}

TEST(EscPosPage, ReplacedWritersTakeEffect)
{
    struct Custom : SpoolCapture<CPrinterESCPOS> {
        void cmdInit() override { pageBuffer.AddStringA("<init>"); }
        void cmdEndPrint() override { pageBuffer.AddStringA("<end>"); }
        void cmdCutPaper(int partial) override { pageBuffer.AddStringA(partial ? "<partial>" : "<full>"); }
    };
    Custom printer;
    printer.regStruct.iCutMode = 4;
    const std::string page = PaintBlankPage(printer);
    EXPECT_EQ(page, "<init>" + kCenter + RasterHeader(0, 4, 1) + Bytes({0, 0, 0, 0}) + "<partial><end>");
    printer.regStruct.iCutMode = 2;
    printer.OnDestroy();
    EXPECT_EQ(printer.writes.back(), "<partial>");
}

TEST(EscPosPage, PageOf65535RowsIsOneCommand)
{
    Capture printer;
    LoadPreparedPage(printer, 8, 65535, std::vector<uint8_t>(65535, 0x7F), 203);
    printer.OnPaintBmp();
    const std::string &out = printer.writes.at(0);
    const std::string prefix = kInit + kCenter + RasterHeader(0, 1, 65535);
    ASSERT_EQ(out.size(), prefix.size() + 65535);
    EXPECT_EQ(out.substr(0, prefix.size()), prefix);
    EXPECT_EQ(out.substr(prefix.size()), std::string(65535, '\x80'));
}

TEST(EscPosPage, TallerPageGoesOutAsConsecutiveCommands)
{
    // Row y carries y mod 251 so any lost, repeated or reordered row shows.
    const unsigned height = 2 * 65535 + 10;
    std::vector<uint8_t> rows(height);
    for (unsigned y = 0; y < height; ++y)
        rows[y] = static_cast<uint8_t>(~(y % 251));
    Capture printer;
    printer.regStruct.iFeedLength = 10;
    LoadPreparedPage(printer, 8, height, rows, 203);
    printer.OnPaintBmp();

    ASSERT_EQ(printer.writes.size(), 1u);
    const std::string &out = printer.writes[0];
    std::string expected = kInit + kCenter;
    unsigned y = 0;
    for (unsigned rowsInCommand : {65535u, 65535u, 10u}) {
        expected += RasterHeader(0, 1, static_cast<int>(rowsInCommand));
        for (unsigned i = 0; i < rowsInCommand; ++i, ++y)
            expected.push_back(static_cast<char>(y % 251));
    }
    expected += Bytes({0x1B, 0x4A, 0x4F});
    ASSERT_EQ(out.size(), expected.size());
    EXPECT_TRUE(out == expected);
}

TEST(EscPosPage, RowTooWideForTheCommandIsRefused)
{
    const unsigned width = 65536 * 8 + 8;  // 65 537 bytes per row
    Capture printer;
    LoadPreparedPage(printer, width, 1, std::vector<uint8_t>(65537, 0x00), 203);
    CollectingOutput messages;
    printer.SetOutput(&messages);
    printer.OnPaintBmp();
    const std::string err = messages.messages;

    EXPECT_EQ(printer.writes.at(0), kInit + kCenter);
    EXPECT_EQ(err.rfind("ERROR: ", 0), 0u) << err;
    EXPECT_NE(err.find("65537"), std::string::npos) << err;

    // The widest row that can be described is still sent.
    Capture widest;
    LoadPreparedPage(widest, 65535 * 8, 1, std::vector<uint8_t>(65535, 0xFF), 203);
    widest.OnPaintBmp();
    EXPECT_EQ(widest.writes.at(0).substr(6, 8), RasterHeader(0, 65535, 1));
    EXPECT_EQ(widest.writes.at(0).size(), 6u + 8u + 65535u);
}
