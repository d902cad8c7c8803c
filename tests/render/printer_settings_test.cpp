// Reading the settings records from the PPD's marked options.
#include "filter/filter_output.h"
#include "filter/system_log.h"
#include "filter/cups_render.h"
#include "support/ppd_writer.h"
#include "support/temp_dir.h"

#include <cups/cups.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_log;

void CollectLog(int, const char *line)
{
    g_log.push_back(line);
}

class PrinterSettings : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_log.clear();
        SetSystemLogTap(CollectLog);
    }
    void TearDown() override
    {
        SetSystemLogTap(nullptr);
        if (ppd != nullptr)
            ppdClose(ppd);
        render->Release();
    }
    // Opens a PPD with the given options, marks defaults then the job
    // options, and reads the settings.
    void Read(const std::vector<PpdOption> &options, const std::string &jobOptions = "")
    {
        PpdDescription description;
        description.options = options;
        WritePpdFile(dir.File("p.ppd"), description);
        ppd = ppdOpenFile(dir.File("p.ppd").c_str());
        ASSERT_NE(ppd, nullptr);
        ppdMarkDefaults(ppd);
        cups_option_t *parsed = nullptr;
        const int count = cupsParseOptions(jobOptions.c_str(), 0, &parsed);
        cupsMarkOptions(ppd, count, parsed);
        cupsFreeOptions(count, parsed);
        render->ppd = ppd;
        render->SetOutput(&output);
        g_log.clear();
        render->GetPrinterParameters();
    }
    bool Logged(const std::string &line) const
    {
        return std::find(g_log.begin(), g_log.end(), line) != g_log.end();
    }
    size_t LoggedWithPrefix(const std::string &prefix) const
    {
        return static_cast<size_t>(std::count_if(g_log.begin(), g_log.end(), [&](const std::string &line) {
            return line.rfind(prefix, 0) == 0;
        }));
    }

    ScopedTempDir dir;
    CFilterOutput output;
    ppd_file_t *ppd = nullptr;
    CCupsRender<CPrinterESCPOS> *render = new CCupsRender<CPrinterESCPOS>();
};

TEST_F(PrinterSettings, PpdWithoutAnyKeyword)
{
    Read({});
    EXPECT_EQ(g_log.front(), "CCupsRender::GetPrinterParameters");
    EXPECT_EQ(LoggedWithPrefix("GetMarkedOption: "), 21u);
    EXPECT_TRUE(Logged("GetMarkedOption: AdjustHoriaontal is error"));
    EXPECT_TRUE(Logged("iLiangdu = 0"));
    EXPECT_EQ(LoggedWithPrefix("Gap = "), 0u);
    EXPECT_EQ(LoggedWithPrefix("iDensity = "), 0u);
    EXPECT_EQ(render->regStruct.iDensity, -1);
    EXPECT_EQ(render->regStruct.iSpeed, -1);
    const tagREGSTRUCT defaults;
    EXPECT_EQ(render->regStruct.iGap[0], defaults.iGap[0]);
    EXPECT_EQ(render->regStruct.iGap[1], defaults.iGap[1]);
    EXPECT_EQ(render->regStruct.iRotate, 0);
    EXPECT_EQ(render->halftone.iGrayMethod, 3);
    EXPECT_EQ(render->halftone.iThreValue, 175);
    EXPECT_FALSE(render->halftone.ImageCompress);
}

struct KeywordCase {
    const char *keyword;
    const char *choice;
    const char *logLine;  // null: no value line expected
    std::function<bool(const CBaseRender &)> check;
};

TEST_F(PrinterSettings, EveryKeywordStoresItsField)
{
    const KeywordCase cases[] = {
        {"MediaMethod", "Direct", "iPrinttype = 0", [](const CBaseRender &r) { return r.regStruct.iPrinttype == 0; }},
        {"MediaMethod", "Normal", "iPrinttype = 0", [](const CBaseRender &r) { return r.regStruct.iPrinttype == 0; }},
        {"MediaMethod", "Transfer", "iPrinttype = 1",
         [](const CBaseRender &r) { return r.regStruct.iPrinttype == 1; }},
        {"AdjustHoriaontal", "2", "iReference[0] = 16",
         [](const CBaseRender &r) { return r.regStruct.iReference[0] == 16; }},
        {"AdjustVertical", "-1", "iReference[1] = -8",
         [](const CBaseRender &r) { return r.regStruct.iReference[1] == -8; }},
        {"FeedOffset", "5", "iOffset = 5",
         [](const CBaseRender &r) { return r.regStruct.iOffset == 5 && r.regStruct.iFeedLength == 5; }},
        {"Rotate", "2", "iRotate = 2", [](const CBaseRender &r) { return r.regStruct.iRotate == 2; }},
        {"Darkness", "12", "iDensity = 12", [](const CBaseRender &r) { return r.regStruct.iDensity == 12; }},
        {"Darkness", "Default", nullptr, [](const CBaseRender &r) { return r.regStruct.iDensity == -1; }},
        {"zePrintRate", "4", "iSpeed = 4", [](const CBaseRender &r) { return r.regStruct.iSpeed == 4; }},
        {"zePrintRate", "Default", nullptr, [](const CBaseRender &r) { return r.regStruct.iSpeed == -1; }},
        {"AutoDotted", "7", "iDottedline = 1", [](const CBaseRender &r) { return r.regStruct.iDottedline; }},
        {"AutoDotted", "0", "iDottedline = 0", [](const CBaseRender &r) { return !r.regStruct.iDottedline; }},
        {"Brightness", "-30", "iLiangdu = -30", [](const CBaseRender &r) { return r.halftone.iLiangdu == -30; }},
        {"Contrast", "20", "iDuibidu = 20", [](const CBaseRender &r) { return r.halftone.iDuibidu == 20; }},
        {"ImageFilter", "0", "iGrayMethod = 0", [](const CBaseRender &r) { return r.halftone.iGrayMethod == 0; }},
        {"Threshold", "300", "iThreValue = 300", [](const CBaseRender &r) { return r.halftone.iThreValue == 300; }},
        {"ImageCompress", "7", "ImageCompress = 1", [](const CBaseRender &r) { return r.halftone.ImageCompress; }},
        {"CropEdgeTop", "5", "iCropTopEdge = 5", [](const CBaseRender &r) { return r.halftone.iCropTopEdge == 5; }},
        {"CropEdgeBottom", "-1", "iCropBottomEdge = -1",
         [](const CBaseRender &r) { return r.halftone.iCropBottomEdge == -1; }},
        {"CropEdgeLeft", "3", "iCropLeftEdge = 3", [](const CBaseRender &r) { return r.halftone.iCropLeftEdge == 3; }},
        {"CropEdgeRight", "9", "iCropRightEdge = 9",
         [](const CBaseRender &r) { return r.halftone.iCropRightEdge == 9; }},
        {"CutMode", "JobPartial", "iCutMode = 2", [](const CBaseRender &r) { return r.regStruct.iCutMode == 2; }},
        {"CutMode", "PageFull", "iCutMode = 3", [](const CBaseRender &r) { return r.regStruct.iCutMode == 3; }},
        {"CutMode", "Sometimes", nullptr, [](const CBaseRender &r) { return r.regStruct.iCutMode == 0; }},
        {"CashDrawer", "AfterPage", "iCashDrawer = 2",
         [](const CBaseRender &r) { return r.regStruct.iCashDrawer == 2; }},
        {"CutterMode", "Peel", "iCutterMode = 3", [](const CBaseRender &r) { return r.regStruct.iCutterMode == 3; }},
        {"CutterMode", "PartialCutter", "iCutterMode = 4",
         [](const CBaseRender &r) { return r.regStruct.iCutterMode == 4; }},
    };
    for (const KeywordCase &c : cases) {
        SCOPED_TRACE(std::string(c.keyword) + "=" + c.choice);
        TearDown();
        ppd = nullptr;
        render = new CCupsRender<CPrinterESCPOS>();
        SetUp();
        Read({Option(c.keyword, c.choice)});
        EXPECT_TRUE(c.check(*render));
        if (c.logLine != nullptr) {
            EXPECT_TRUE(Logged(c.logLine));
        }
        EXPECT_EQ(LoggedWithPrefix(std::string(c.keyword) + ": marked=1, choice: " + c.choice), 1u);
    }
}

TEST_F(PrinterSettings, MediaTable)
{
    struct Row {
        const char *choice;
        int type, length, offset;
    } rows[] = {
        {"Continuous", 0, 0, 0}, {"A4Stock", 0, 0, 0},   {"Gap", 1, 3, 0},       {"BLine", 2, 0, 0},
        {"BLine_Fold", 2, 0, 0}, {"Perforated", 3, 0, 0}, {"Roll", 4, 0, 0},     {"Recording", 5, 0, 0},
        {"Tattoo", 6, 0, 0},     {"TattooWrinkle", 7, 0, 0}, {"TattooGuidelines", 7, 0, 0},
        {"SomethingElse", 0, 3, 0},  // unknown choice: the defaults stay and are logged
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.choice);
        TearDown();
        ppd = nullptr;
        render = new CCupsRender<CPrinterESCPOS>();
        SetUp();
        Read({Option("zeMediaTracking", row.choice)});
        EXPECT_EQ(render->regStruct.iGap[0], row.type);
        EXPECT_EQ(render->regStruct.iGap[1], row.length);
        EXPECT_EQ(render->regStruct.iGap[2], row.offset);
        EXPECT_TRUE(Logged("Gap = " + std::to_string(row.type) + ", " + std::to_string(row.length) + ", " +
                           std::to_string(row.offset)));
    }
}

TEST_F(PrinterSettings, JobOptionWinsOverPpdDefault)
{
    Read({Option("Threshold", "175", {"128"}), Option("Darkness", "Default", {"9"})}, "Threshold=128 Darkness=9");
    EXPECT_EQ(render->halftone.iThreValue, 128);
    EXPECT_EQ(render->regStruct.iDensity, 9);
}

TEST_F(PrinterSettings, MarkedOptionLineCarriesChoiceAndOptionDetails)
{
    Read({Option("Rotate", "1", {"0", "2", "3"})});
    EXPECT_TRUE(Logged("Rotate: marked=1, choice: 1, text: 1, code: , \t\t\tconflicted=0, keyword: Rotate, "
                       "defchoice: 1, option->text: Rotate, option->num_choices: 4"));
}

TEST_F(PrinterSettings, HugeNumbersAreClampedNotUndefined)
{
    Read({Option("AdjustHoriaontal", "99999999999"), Option("Threshold", "-99999999999")});
    EXPECT_EQ(render->halftone.iThreValue, INT_MIN);
    // References and feeds stop at a metre, so that no product with the
    // resolution leaves int; the offset itself is only ever printed as text.
    EXPECT_EQ(render->regStruct.iReference[0], 8000);
}

TEST_F(PrinterSettings, ReferencesAndFeedStopAtOneMetre)
{
    Read({Option("AdjustVertical", "-2147483648"), Option("FeedOffset", "2147483647")});
    EXPECT_EQ(render->regStruct.iReference[1], -8000);
    EXPECT_EQ(render->regStruct.iOffset, INT_MAX);
    EXPECT_EQ(render->regStruct.iFeedLength, 1000);
    ppdClose(ppd);
    Read({Option("AdjustHoriaontal", "1000"), Option("FeedOffset", "-1001")});
    EXPECT_EQ(render->regStruct.iReference[0], 8000);
    EXPECT_EQ(render->regStruct.iFeedLength, -1000);
}

}  // namespace
