#include "printers/printer_tspl.h"
#include "support/collecting_output.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

// The TSPL back-end with its printer output captured, one string per spool.
class CapturingTSPL : public CPrinterTSPL {
public:
    bool WriteSpool(const void *data, int length) override
    {
        writes.emplace_back(static_cast<const char *>(data), static_cast<size_t>(length));
        return true;
    }
    std::string Text() const { return std::string(pageBuffer.GetBuffer(), pageBuffer.GetBufferLength()); }
    void ClearText() { pageBuffer.InitBuffer(0); }

    std::vector<std::string> writes;
};

// A one-bit page of random dots at 203 dpi, with the settings of a label
// printer using gap media and the printer's own darkness and speed.
void PreparePage(CapturingTSPL &printer, uint32_t width, uint32_t height, uint32_t seed = 1)
{
    ASSERT_NE(printer.image.Create(width, height, 1, 0), nullptr);
    std::mt19937 random(seed);
    uint8_t *bits = printer.image.GetBits(0);
    const size_t bytes = size_t{printer.image.GetEffWidth()} * height;
    for (size_t i = 0; i < bytes; ++i)
        bits[i] = static_cast<uint8_t>(random() >> 24);
    printer.iDpi = 203;
    printer.regStruct.iGap[0] = 1;
    printer.regStruct.iDensity = -1;
    printer.regStruct.iSpeed = -1;
}

std::string PageBytes(const CRasterImage &image)
{
    return std::string(reinterpret_cast<const char *>(image.GetBits(0)),
                       size_t{image.GetEffWidth()} * image.GetHeight());
}

// The text lines of one spooled page before its BITMAP command.
std::vector<std::string> CommandLines(const std::string &page)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < page.size() && page.compare(start, 7, "BITMAP ") != 0) {
        const size_t end = page.find("\r\n", start);
        if (end == std::string::npos)
            break;
        lines.push_back(page.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

bool HasLineStarting(const std::vector<std::string> &lines, const std::string &prefix)
{
    for (const std::string &line : lines)
        if (line.compare(0, prefix.size(), prefix) == 0)
            return true;
    return false;
}

int FailingCompress(Bytef *, uLongf *, const Bytef *, uLong)
{
    return Z_BUF_ERROR;
}

} // namespace

TEST(TsplPage, WholePageIsSpooledInOneWriteAndTheBufferIsEmptiedAfter)
{
    CapturingTSPL printer;
    PreparePage(printer, 385, 17);
    const std::string bitmap = PageBytes(printer.image);
    printer.OnPaintBmp();

    ASSERT_EQ(printer.writes.size(), 1u);
    const std::string &page = printer.writes[0];
    const std::string header = "CLS\r\nBITMAP 0,0,52,17,1,";
    const size_t at = page.find(header);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(page.substr(at + header.size(), bitmap.size()), bitmap);
    EXPECT_EQ(page.substr(at + header.size() + bitmap.size()), "\r\nPRINT 1,1\r\n");
    EXPECT_EQ(printer.Text(), "");
}

TEST(TsplPage, SettingsChooseTheSetupLines)
{
    struct Case {
        const char *name;
        std::function<void(CBaseRender &)> set;
        std::vector<std::string> present;
        std::vector<std::string> absent;  // line prefixes that must not occur
    };
    const std::vector<Case> cases = {
        {"speed -1", [](CBaseRender &r) { r.regStruct.iSpeed = -1; }, {}, {"SPEED"}},
        {"speed 0", [](CBaseRender &r) { r.regStruct.iSpeed = 0; }, {"SPEED 4"}, {}},
        {"speed 12", [](CBaseRender &r) { r.regStruct.iSpeed = 12; }, {"SPEED 12"}, {}},
        {"speed 13", [](CBaseRender &r) { r.regStruct.iSpeed = 13; }, {"SPEED 4"}, {}},
        {"density -1", [](CBaseRender &r) { r.regStruct.iDensity = -1; }, {}, {"DENSITY"}},
        {"density 0", [](CBaseRender &r) { r.regStruct.iDensity = 0; }, {"DENSITY 0"}, {}},
        {"density 30", [](CBaseRender &r) { r.regStruct.iDensity = 30; }, {"DENSITY 30"}, {}},
        {"continuous", [](CBaseRender &r) { r.regStruct.iGap[0] = 0; }, {"GAP 0 mm,0 mm"}, {"BLINE"}},
        {"gap", [](CBaseRender &r) { r.regStruct.iGap[0] = 1; r.regStruct.iGap[1] = 3; r.regStruct.iGap[2] = 1; },
         {"GAP 3 mm,1 mm"}, {"BLINE"}},
        {"black mark", [](CBaseRender &r) { r.regStruct.iGap[0] = 2; r.regStruct.iGap[1] = 0; },
         {"BLINE 0 mm,0 mm"}, {"GAP"}},
        {"ribbon", [](CBaseRender &r) { r.regStruct.iPrinttype = 1; }, {"SET RIBBON ON"}, {}},
        {"no ribbon", [](CBaseRender &r) { r.regStruct.iPrinttype = 0; }, {"SET RIBBON OFF"}, {}},
        {"other print type", [](CBaseRender &r) { r.regStruct.iPrinttype = 2; }, {}, {"SET RIBBON"}},
        {"reference", [](CBaseRender &r) { r.regStruct.iReference[0] = 16; }, {"REFERENCE 127,0"}, {}},
        {"offset", [](CBaseRender &r) { r.regStruct.iOffset = -3; }, {"OFFSET -3 mm"}, {}},
        {"switches", [](CBaseRender &r) { r.regStruct.iDottedline = true; r.regStruct.iPauseKey = false;
                                          r.regStruct.iWaterMark = false; },
         {"SETC AUTODOTTED ON", "SETC PAUSEKEY OFF", "SETC WATERMARK OFF"}, {}},
        {"no finishing", [](CBaseRender &r) { r.regStruct.iCutterMode = 5; }, {},
         {"SET PEEL", "SET CUTTER", "SET PARTIAL_CUTTER", "SET TEAR"}},
    };
    for (const Case &c : cases) {
        CapturingTSPL printer;
        PreparePage(printer, 64, 8);
        c.set(printer);
        printer.OnPaintBmp();
        ASSERT_EQ(printer.writes.size(), 1u) << c.name;
        const std::vector<std::string> lines = CommandLines(printer.writes[0]);
        for (const std::string &line : c.present)
            EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << c.name << ": " << line;
        for (const std::string &prefix : c.absent)
            EXPECT_FALSE(HasLineStarting(lines, prefix)) << c.name << ": " << prefix;
    }
}

TEST(TsplPage, MediaTypesWithoutSensingWriteNeitherGapNorBline)
{
    for (int type = 3; type <= 7; ++type) {
        CapturingTSPL printer;
        PreparePage(printer, 64, 8);
        printer.regStruct.iGap[0] = type;
        printer.OnPaintBmp();
        ASSERT_EQ(printer.writes.size(), 1u);
        const std::vector<std::string> lines = CommandLines(printer.writes[0]);
        EXPECT_FALSE(HasLineStarting(lines, "GAP")) << type;
        EXPECT_FALSE(HasLineStarting(lines, "BLINE")) << type;
    }
}

TEST(TsplPage, FinishingGroupFollowsTheRibbonInItsOrder)
{
    const std::vector<std::vector<std::string>> groups = {
        {"SET PEEL OFF", "SET CUTTER FALSE", "SET PARTIAL_CUTTER OFF", "SET TEAR ON"},
        {"SET PEEL OFF", "SET CUTTER 1", "SET PARTIAL_CUTTER OFF", "SET TEAR OFF"},
        {"SET PEEL ON", "SET CUTTER FALSE", "SET PARTIAL_CUTTER OFF", "SET TEAR OFF"},
        {"SET PEEL OFF", "SET CUTTER FALSE", "SET PARTIAL_CUTTER 1", "SET TEAR OFF"},
    };
    for (int mode = 1; mode <= 4; ++mode) {
        CapturingTSPL printer;
        PreparePage(printer, 64, 8);
        printer.regStruct.iCutterMode = mode;
        printer.OnPaintBmp();
        const std::vector<std::string> lines = CommandLines(printer.writes.at(0));
        ASSERT_GE(lines.size(), 6u);
        EXPECT_EQ(lines[1], "SET RIBBON OFF");
        EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.begin() + 6), groups[mode - 1]) << mode;
        EXPECT_EQ(lines[6], "REFERENCE 0,0");
    }
}

TEST(TsplCommands, WritersFormatNumbersAndUnits)
{
    CapturingTSPL printer;
    printer.iDpi = 300;
    using Unit = CPrinterTSPL::Unit;
    printer.cmdSIZE(48.046, 30.024, Unit::Millimetre);
    printer.cmdSIZE(1.005, -2.5, Unit::Dot);
    printer.cmdSIZE(10, 20, Unit::None);
    printer.cmdGAP(3, 0, Unit::Dot);
    printer.cmdBLINE(-1, 7, Unit::None);
    printer.cmdOFFSET(5, Unit::Dot);
    printer.cmdSetCutter(1, 0);
    printer.cmdSetCutter(7, -2);
    printer.cmdSetPartialCutter(1, 0);
    printer.cmdSetPartialCutter(3, 12);
    printer.cmdREFERENCE(-16, 1);
    printer.cmdPRINT(2, 3);
    EXPECT_EQ(printer.Text(),
              "SIZE 48.05 mm,30.02 mm\r\n"
              "SIZE 1.00 dot,-2.50 dot\r\n"
              "SIZE 10.00,20.00\r\n"
              "GAP 3 dot,0 dot\r\n"
              "BLINE -1,7\r\n"
              "OFFSET 5 dot\r\n"
              "SET CUTTER BATCH\r\n"
              "SET CUTTER -2\r\n"
              "SET PARTIAL_CUTTER BATCH\r\n"
              "SET PARTIAL_CUTTER 12\r\n"
              "REFERENCE -188,11\r\n"
              "PRINT 2,3\r\n");
}

TEST(TsplCommands, ReferenceSurvivesHostileResolutionsAndSettings)
{
    CapturingTSPL printer;
    printer.iDpi = 0;
    printer.cmdREFERENCE(INT_MAX, INT_MIN);
    printer.iDpi = INT_MAX;
    printer.cmdREFERENCE(INT_MAX, INT_MIN);
    printer.iDpi = 203;
    printer.cmdREFERENCE(INT_MAX, 16);
    EXPECT_EQ(printer.Text(), "REFERENCE 0,0\r\n"
                              "REFERENCE 2147483647,-2147483648\r\n"
                              "REFERENCE 2147483647,127\r\n");
}

TEST(TsplCompression, BitmapIsTheZlibStreamOfTheInvertedPage)
{
    CapturingTSPL printer;
    PreparePage(printer, 385, 40, 7);
    // Long white runs, so that compression pays off.
    std::memset(printer.image.GetBits(0), 0xFF, 52 * 20);
    printer.halftone.ImageCompress = true;
    const std::string original = PageBytes(printer.image);
    printer.OnPaintBmp();
    ASSERT_EQ(printer.writes.size(), 1u);
    const std::string &page = printer.writes[0];

    const std::string header = "BITMAP 0,0,52,40,3,";
    const size_t at = page.find(header);
    ASSERT_NE(at, std::string::npos);
    const size_t comma = page.find(',', at + header.size());
    ASSERT_NE(comma, std::string::npos);
    const size_t z = std::stoul(page.substr(at + header.size(), comma - at - header.size()));
    EXPECT_LT(z, original.size());
    ASSERT_EQ(page.substr(comma + 1 + z), "\r\nPRINT 1,1\r\n");

    std::string inflated(original.size() + 16, '\0');
    uLongf inflatedLength = inflated.size();
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef *>(inflated.data()), &inflatedLength,
                         reinterpret_cast<const Bytef *>(page.data() + comma + 1), z),
              Z_OK);
    inflated.resize(inflatedLength);
    std::string inverted = original;
    for (char &c : inverted)
        c = static_cast<char>(~c);
    EXPECT_EQ(inflated, inverted);
}

TEST(TsplCompression, FailedCompressionSendsThePageRawWithNormalBitsAndSaysSo)
{
    CapturingTSPL printer;
    PreparePage(printer, 64, 10);
    printer.halftone.ImageCompress = true;
    printer.SetCompressor(&FailingCompress);
    const std::string original = PageBytes(printer.image);
    CollectingOutput messages;
    printer.SetOutput(&messages);
    printer.OnPaintBmp();
    const std::string err = messages.messages;

    ASSERT_EQ(printer.writes.size(), 1u);
    const std::string header = "CLS\r\nBITMAP 0,0,8,10,1,";
    const size_t at = printer.writes[0].find(header);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(printer.writes[0].substr(at + header.size()), original + "\r\nPRINT 1,1\r\n");
    EXPECT_EQ(err.rfind("ERROR: ", 0), 0u) << err;
    EXPECT_NE(err.find("compress"), std::string::npos) << err;
}

TEST(TsplPage, PageWithoutPixelsSendsNothing)
{
    CapturingTSPL printer;
    printer.iDpi = 203;
    printer.OnPaintBmp();
    EXPECT_TRUE(printer.writes.empty());
}
