// Each printer language's model, its shipped PPDs and the application's
// drivers agree: the same media, custom size range, margins, resolution and
// options, and for every default and every choice of the PPD the settings
// the filter reads from it equal the settings the application maps from
// the same request in IPP terms. Read from the compiled PPDs with libcups
// and through the filter's own settings reader, so the three cannot drift.
#include "app/job_settings.h"
#include "filter/cups_instance.h"
#include "filter/cups_render.h"
#include "printers/driver_table.h"
#include "render/dots.h"
#include "render/media_kinds.h"
#include "render/ppd_keywords.h"

#include <cups/cups.h>
#include <cups/ppd.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace {

struct PpdCloser {
    void operator()(ppd_file_t *ppd) const { ppdClose(ppd); }
};
using Ppd = std::unique_ptr<ppd_file_t, PpdCloser>;

Ppd OpenPpd(const tagDriverInfo &driver)
{
    Ppd ppd(ppdOpenFile((std::string(DOTWEAVE_PPD_DIR) + "/" + driver.ppdFileName).c_str()));
    if (ppd)
        ppdMarkDefaults(ppd.get());
    return ppd;
}

// PPD points to hundredths of millimetres.
int Hundredths(float points)
{
    return static_cast<int>(std::lround(points * 2540.0 / 72.0));
}

std::set<std::string> Choices(ppd_file_t *ppd, const char *keyword)
{
    std::set<std::string> choices;
    if (ppd_option_t *option = ppdFindOption(ppd, keyword); option != nullptr)
        for (int i = 0; i < option->num_choices; ++i)
            choices.insert(option->choices[i].choice);
    return choices;
}

std::string Marked(ppd_file_t *ppd, const char *keyword)
{
    ppd_choice_t *choice = ppdFindMarkedChoice(ppd, keyword);
    return choice != nullptr ? choice->choice : "";
}

// Every settings field; the shifts as the dots they come to at the
// driver's resolution.
std::vector<int> Fields(const tagJobSettings &settings, int dpi)
{
    const tagREGSTRUCT &g = settings.regStruct;
    const tagREGSTRUCTWITHALFTONE &t = settings.halftone;
    auto dots = [&](int32_t shift) { return g.iReferenceUnit == kUnitDot ? shift : DotsFromMm(shift, dpi); };
    return {g.iSpeed,       g.iDensity,          dots(g.iReference[0]), dots(g.iReference[1]), g.iRotate,
            g.iMirror,      g.iNegative,         g.iScale,              g.iDottedline,         g.iPauseKey,
            g.iWaterMark,   g.iGap[0],           g.iGap[1],             g.iGap[2],             g.iOffset,
            g.iCutterMode,  g.iPrinttype,        g.iCutMode,            g.iFeedBefore,         g.iFeedLength,
            g.iCashDrawer,  t.iGrayMethod,       t.iThreValue,          t.iLiangdu,            t.iDuibidu,
            t.iCropTopEdge, t.iCropBottomEdge,   t.iCropLeftEdge,       t.iCropRightEdge,      t.ImageCompress};
}

// What the filter reads from the PPD, with keyword's choice marked (none:
// the defaults).
std::vector<int> FilterFields(ppd_file_t *ppd, const tagDriverInfo &driver, const char *keyword = nullptr,
                              const std::string &choice = "")
{
    ppdMarkDefaults(ppd);
    if (keyword != nullptr)
        ppdMarkOption(ppd, keyword, choice.c_str());
    CStdRefPtr<CBaseRender> render;
    render = MakeRefPtr<CBaseRender>(CreateRenderForModel(ppd->model_number));
    dynamic_cast<CCupsBinding &>(*render).ppd = ppd;
    render->GetPrinterParameters();
    dynamic_cast<CCupsBinding &>(*render).ppd = nullptr;
    return Fields({render->regStruct, render->halftone}, driver.dpi);
}

std::vector<int> AppFields(const tagDriverInfo &driver, const JobRequest &request)
{
    return Fields(MapJobSettings(driver, request), driver.dpi);
}

class ModelAgreement : public testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        ppd = OpenPpd(driver);
        ASSERT_TRUE(ppd) << driver.ppdFileName;
    }
    const tagDriverInfo &driver = *FindDriver(GetParam());
    const tagPrinterModel &model = *driver.model;
    Ppd ppd;
};

TEST_P(ModelAgreement, LanguageModelAndResolution)
{
    EXPECT_EQ(ppd->model_number, model.modelNumber);
    EXPECT_EQ(FindModel(ppd->model_number), &model);
    ppd_attr_t *modelName = ppdFindAttr(ppd.get(), "ModelName", nullptr);
    ASSERT_NE(modelName, nullptr);
    // ppdc puts the manufacturer before the model.
    EXPECT_EQ(std::string(modelName->value), std::string(ppd->manufacturer) + " " + driver.modelName);
    ppd_attr_t *personality = ppdFindAttr(ppd.get(), "Personality", nullptr);
    ASSERT_NE(personality, nullptr);
    EXPECT_STREQ(personality->value, model.name);
    EXPECT_EQ(Marked(ppd.get(), "Resolution"), std::to_string(driver.dpi) + "dpi");
}

TEST_P(ModelAgreement, MediaSizesMarginsAndCustomRange)
{
    std::vector<std::string> sizes;
    int widestMargin = 0;
    for (int i = 0; i < ppd->num_sizes; ++i) {
        const ppd_size_t &size = ppd->sizes[i];
        if (std::string(size.name) == "Custom")
            continue;
        const pwg_media_t *media = pwgMediaForPPD(size.name);
        ASSERT_NE(media, nullptr) << size.name;
        sizes.push_back(media->pwg);
        widestMargin = std::max({widestMargin, Hundredths(size.left), Hundredths(size.width - size.right)});
    }
    EXPECT_EQ(sizes, std::vector<std::string>(model.mediaSizes.begin(), model.mediaSizes.end()));
    EXPECT_STREQ(pwgMediaForPPD(Marked(ppd.get(), "PageSize").c_str())->pwg, model.defaultMedia);
    // One margin for all sizes: the widest, so nothing lands outside a head.
    EXPECT_NEAR(driver.sideMargin, widestMargin, 1);

    ASSERT_TRUE(ppd->variable_sizes);
    // libcups returns parsed custom sizes in one buffer: copy each at once.
    const pwg_media_t *parsed = pwgMediaForPWG(model.customMin);
    ASSERT_NE(parsed, nullptr);
    const pwg_media_t smallest = *parsed;
    parsed = pwgMediaForPWG(driver.customMax);
    ASSERT_NE(parsed, nullptr);
    const pwg_media_t largest = *parsed;
    EXPECT_NEAR(smallest.width, Hundredths(ppd->custom_min[0]), 2);
    EXPECT_NEAR(smallest.length, Hundredths(ppd->custom_min[1]), 2);
    EXPECT_NEAR(largest.width, Hundredths(ppd->custom_max[0]), 2);
    EXPECT_NEAR(largest.length, Hundredths(ppd->custom_max[1]), 2);
}

TEST_P(ModelAgreement, DefaultsGiveTheSettingsOfThePpdDefaults)
{
    EXPECT_EQ(AppFields(driver, DefaultRequest(driver)), FilterFields(ppd.get(), driver));
}

TEST_P(ModelAgreement, EveryChoiceOfAnOptionGivesTheSameSettings)
{
    for (const tagModelOption &taken : model.options) {
        const tagJobOptionInfo &option = JobOptionInfo(taken.option);
        SCOPED_TRACE(option.ippName);
        // The application's own options have no PPD choice to agree with.
        if (option.ppdKeyword == nullptr)
            continue;
        const std::set<std::string> ppdChoices = Choices(ppd.get(), option.ppdKeyword);
        ASSERT_FALSE(ppdChoices.empty()) << option.ppdKeyword;
        for (const std::string &choice : ppdChoices) {
            JobRequest request = DefaultRequest(driver);
            int32_t &value = request.Option(option.id);
            if (option.kind == EOptionKind::Keyword) {
                const auto named = std::find_if(option.choices.begin(), option.choices.end(),
                                                [&](const tagOptionChoice &c) { return choice == c.ppd; });
                ASSERT_NE(named, option.choices.end()) << choice << " has no IPP value";
                value = named->value;
            } else {
                value = std::atoi(choice.c_str());
                ASSERT_GE(value, option.min) << choice;
                ASSERT_LE(value, option.max) << choice;
            }
            EXPECT_EQ(AppFields(driver, request), FilterFields(ppd.get(), driver, option.ppdKeyword, choice))
                << option.ppdKeyword << "=" << choice;
        }
        for (const tagOptionChoice &choice : option.choices)
            EXPECT_EQ(ppdChoices.count(choice.ppd), 1u) << choice.ppd << " is not in the PPD";
    }
}

TEST_P(ModelAgreement, MediaTypesReachEveryMediaChoiceAndNoOther)
{
    std::set<std::string> reached;
    for (const tagMediaType &type : model.mediaTypes)
        for (pappl_media_tracking_t tracking :
             {PAPPL_MEDIA_TRACKING_CONTINUOUS, PAPPL_MEDIA_TRACKING_GAP, PAPPL_MEDIA_TRACKING_MARK}) {
            const char *kind = MediaKindOf(model, type.ippType, SensingOf(tracking));
            if (kind == nullptr)
                continue;
            reached.insert(kind);
            JobRequest request = DefaultRequest(driver);
            request.mediaType = type.ippType;
            request.mediaTracking = tracking;
            EXPECT_EQ(AppFields(driver, request), FilterFields(ppd.get(), driver, ppdkeyword::kMediaTracking, kind))
                << type.ippType << " " << kind;
        }
    EXPECT_EQ(reached, Choices(ppd.get(), ppdkeyword::kMediaTracking));
}

TEST_P(ModelAgreement, DarknessSpeedsAndShiftsWhereTheLanguageSendsThem)
{
    if (model.darknessLevels > 0) {
        std::set<std::string> expected = {ppdkeyword::kPrinterDefault};
        for (int level = 0; level < model.darknessLevels; ++level)
            expected.insert(std::to_string(level));
        EXPECT_EQ(Choices(ppd.get(), ppdkeyword::kDarkness), expected);
        // Every level is reachable from IPP.
        std::set<int> reached;
        for (int darkness = -100; darkness <= 100; ++darkness) {
            JobRequest request = DefaultRequest(driver);
            request.printDarkness = darkness;
            reached.insert(MapJobSettings(driver, request).regStruct.iDensity);
        }
        EXPECT_EQ(reached.size(), static_cast<size_t>(model.darknessLevels) + 1);  // and -1, no adjustment
    }
    if (model.maxSpeedIps > 0) {
        int fastest = 0;
        for (const std::string &choice : Choices(ppd.get(), ppdkeyword::kPrintRate)) {
            if (choice == ppdkeyword::kPrinterDefault)
                continue;
            fastest = std::max(fastest, std::stoi(choice));
            JobRequest request = DefaultRequest(driver);
            request.printSpeed = std::stoi(choice) * 2540;
            EXPECT_EQ(AppFields(driver, request), FilterFields(ppd.get(), driver, ppdkeyword::kPrintRate, choice))
                << choice;
        }
        EXPECT_EQ(fastest, model.maxSpeedIps);
    }
    // The PPDs shift in steps of 8 mm; the application to the dot, as far.
    for (const auto &[keyword, range] : {std::pair{ppdkeyword::kAdjustVertical, model.topOffsetRange},
                                         std::pair{ppdkeyword::kAdjustHorizontal, model.leftOffsetRange}}) {
        if (range == 0)
            continue;
        std::set<int> steps;
        for (const std::string &choice : Choices(ppd.get(), keyword))
            steps.insert(std::stoi(choice));
        EXPECT_EQ(*steps.rbegin() * 800, range) << keyword;
        EXPECT_EQ(*steps.begin() * 800, -range) << keyword;
    }
}

std::vector<std::string> DriverNames()
{
    std::vector<std::string> names;
    for (const tagDriverInfo *driver : AllDrivers())
        names.emplace_back(driver->name);
    return names;
}

std::string DriverName(const testing::TestParamInfo<std::string> &info)
{
    return info.param;
}

INSTANTIATE_TEST_SUITE_P(Drivers, ModelAgreement, testing::ValuesIn(DriverNames()), DriverName);

}  // namespace
