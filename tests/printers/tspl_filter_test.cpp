// The TSPL label job as the real filter writes it for a raster stream.
#include "support/filter_runner.h"
#include "support/ppd_writer.h"
#include "support/raster_writer.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

namespace {

std::string LabelSetup(const std::string &size, const std::string &settings)
{
    return "SIZE " + size + "\r\n" + settings + "CLS\r\n";
}

// The default setup of a TSPL queue whose PPD only selects gap media.
const char *const kGapSettings = "SET RIBBON OFF\r\n"
                                 "REFERENCE 0,0\r\n"
                                 "GAP 3 mm,0 mm\r\n"
                                 "OFFSET 0 mm\r\n"
                                 "SETC AUTODOTTED OFF\r\n"
                                 "SETC PAUSEKEY ON\r\n"
                                 "SETC WATERMARK ON\r\n";

// A one-bit raster page's lines as the printer's BITMAP rows (rows of the
// page already a multiple of 32 dots wide).
std::string RasterBytes(const RasterPage &page)
{
    return std::string(page.data.begin(), page.data.end());
}

class TsplFilter : public testing::Test {
protected:
    FilterResult Run(const std::vector<RasterPage> &pages, const std::string &options = "")
    {
        WritePpdFile(dir.File("tspl.ppd"), ppd);
        WriteRasterFile(dir.File("job.ras"), pages);
        return RunFilterOn(dir.File("tspl.ppd"), dir.File("job.ras"), options);
    }

    ScopedTempDir dir;
    PpdDescription ppd{20, std::string("dotweave Label"), std::nullopt, {Option("zeMediaTracking", "Gap")}, ""};
};

} // namespace

TEST_F(TsplFilter, LabelOf384By240DotsAt203DpiByteForByte)
{
    const RasterPage page = MakeRandomRasterPage(384, 240, 1, 42);
    const FilterResult result = Run({page});
    ASSERT_EQ(result.exitStatus, 0) << result.err;

    const std::string expected = "SIZE 48.05 mm,30.03 mm\r\n"
                                 "SET RIBBON OFF\r\n"
                                 "REFERENCE 0,0\r\n"
                                 "GAP 3 mm,0 mm\r\n"
                                 "OFFSET 0 mm\r\n"
                                 "SETC AUTODOTTED OFF\r\n"
                                 "SETC PAUSEKEY ON\r\n"
                                 "SETC WATERMARK ON\r\n"
                                 "CLS\r\n"
                                 "BITMAP 0,0,48,240,1," +
                                 RasterBytes(page) + "\r\nPRINT 1,1\r\n";
    ASSERT_EQ(RasterBytes(page).size(), 11520u);
    EXPECT_EQ(result.out, expected);
    EXPECT_EQ(result.err.find("ERROR"), std::string::npos) << result.err;
}

TEST_F(TsplFilter, EveryPageIsACompleteLabelJob)
{
    const std::vector<RasterPage> pages = {MakeRandomRasterPage(384, 240, 1, 1), MakeRandomRasterPage(64, 8, 1, 2),
                                           MakeRandomRasterPage(256, 100, 1, 3, 300)};
    const FilterResult result = Run(pages);
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const std::string expected =
        LabelSetup("48.05 mm,30.03 mm", kGapSettings) + "BITMAP 0,0,48,240,1," + RasterBytes(pages[0]) +
        "\r\nPRINT 1,1\r\n" + LabelSetup("8.01 mm,1.00 mm", kGapSettings) + "BITMAP 0,0,8,8,1," +
        RasterBytes(pages[1]) + "\r\nPRINT 1,1\r\n" + LabelSetup("21.67 mm,8.47 mm", kGapSettings) +
        "BITMAP 0,0,32,100,1," + RasterBytes(pages[2]) + "\r\nPRINT 1,1\r\n";
    EXPECT_EQ(result.out, expected);
}

TEST_F(TsplFilter, PrinterOptionsOfThePpdAndTheJobReachTheSetupLines)
{
    ppd.options = {Option("zeMediaTracking", "Gap", {"Continuous", "BLine", "Roll", "Tattoo"}),
                   Option("MediaMethod", "Direct", {"Transfer"}),
                   Option("AdjustHoriaontal", "0", {"2"}),
                   Option("AdjustVertical", "0", {"-1"}),
                   Option("FeedOffset", "0", {"5"}),
                   Option("Darkness", "Default", {"0", "30"}),
                   Option("zePrintRate", "Default", {"0", "12", "13"}),
                   Option("AutoDotted", "0", {"1"})};
    struct Case {
        std::string options;
        std::string settings;
    };
    const std::vector<Case> cases = {
        {"", kGapSettings},
        {"zePrintRate=0 Darkness=0",
         "SET RIBBON OFF\r\nREFERENCE 0,0\r\nGAP 3 mm,0 mm\r\nOFFSET 0 mm\r\nDENSITY 0\r\nSPEED 4\r\n"
         "SETC AUTODOTTED OFF\r\nSETC PAUSEKEY ON\r\nSETC WATERMARK ON\r\n"},
        {"zePrintRate=12 Darkness=30",
         "SET RIBBON OFF\r\nREFERENCE 0,0\r\nGAP 3 mm,0 mm\r\nOFFSET 0 mm\r\nDENSITY 30\r\nSPEED 12\r\n"
         "SETC AUTODOTTED OFF\r\nSETC PAUSEKEY ON\r\nSETC WATERMARK ON\r\n"},
        {"zePrintRate=13",
         "SET RIBBON OFF\r\nREFERENCE 0,0\r\nGAP 3 mm,0 mm\r\nOFFSET 0 mm\r\nSPEED 4\r\n"
         "SETC AUTODOTTED OFF\r\nSETC PAUSEKEY ON\r\nSETC WATERMARK ON\r\n"},
        {"AdjustHoriaontal=2 AdjustVertical=-1 FeedOffset=5 MediaMethod=Transfer AutoDotted=1 "
         "zeMediaTracking=Continuous",
         "SET RIBBON ON\r\nREFERENCE 127,-63\r\nGAP 0 mm,0 mm\r\nOFFSET 5 mm\r\n"
         "SETC AUTODOTTED ON\r\nSETC PAUSEKEY ON\r\nSETC WATERMARK ON\r\n"},
        {"zeMediaTracking=BLine",
         "SET RIBBON OFF\r\nREFERENCE 0,0\r\nBLINE 0 mm,0 mm\r\nOFFSET 0 mm\r\n"
         "SETC AUTODOTTED OFF\r\nSETC PAUSEKEY ON\r\nSETC WATERMARK ON\r\n"},
        {"zeMediaTracking=Roll",
         "SET RIBBON OFF\r\nREFERENCE 0,0\r\nOFFSET 0 mm\r\n"
         "SETC AUTODOTTED OFF\r\nSETC PAUSEKEY ON\r\nSETC WATERMARK ON\r\n"},
        {"zeMediaTracking=Tattoo",
         "SET RIBBON OFF\r\nREFERENCE 0,0\r\nOFFSET 0 mm\r\n"
         "SETC AUTODOTTED OFF\r\nSETC PAUSEKEY ON\r\nSETC WATERMARK ON\r\n"},
    };
    const RasterPage page = MakeRandomRasterPage(64, 8, 1, 5);
    for (const Case &c : cases) {
        const FilterResult result = Run({page}, c.options);
        ASSERT_EQ(result.exitStatus, 0) << c.options << result.err;
        EXPECT_EQ(result.out, LabelSetup("8.01 mm,1.00 mm", c.settings) + "BITMAP 0,0,8,8,1," +
                                  RasterBytes(page) + "\r\nPRINT 1,1\r\n")
            << c.options;
    }
}

TEST_F(TsplFilter, CompressedBitmapInflatesToTheInvertedPage)
{
    ppd.options.push_back(Option("ImageCompress", "1", {"0"}));
    RasterPage page = MakeRasterPage(384, 240, 1, 0xFF);
    for (unsigned y = 100; y < 140; ++y)
        for (unsigned i = 10; i < 30; ++i)
            page.Row(y)[i] = static_cast<uint8_t>(y * 7 + i);
    const FilterResult result = Run({page});
    ASSERT_EQ(result.exitStatus, 0) << result.err;

    const std::string head = LabelSetup("48.05 mm,30.03 mm", kGapSettings) + "BITMAP 0,0,48,240,3,";
    ASSERT_EQ(result.out.compare(0, head.size(), head), 0) << result.out.substr(0, 400);
    const size_t comma = result.out.find(',', head.size());
    ASSERT_NE(comma, std::string::npos);
    const size_t z = std::stoul(result.out.substr(head.size(), comma - head.size()));
    ASSERT_EQ(result.out.size(), comma + 1 + z + std::string("\r\nPRINT 1,1\r\n").size());
    EXPECT_EQ(result.out.substr(comma + 1 + z), "\r\nPRINT 1,1\r\n");

    std::string inflated(11520 + 16, '\0');
    uLongf length = inflated.size();
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef *>(inflated.data()), &length,
                         reinterpret_cast<const Bytef *>(result.out.data() + comma + 1), z),
              Z_OK);
    inflated.resize(length);
    std::string inverted = RasterBytes(page);
    for (char &c : inverted)
        c = static_cast<char>(~c);
    EXPECT_EQ(inflated, inverted);
}
