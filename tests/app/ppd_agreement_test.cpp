// The drivers must offer what the shipped PPDs offer: the same media, custom
// size range, margins, resolution and defaults, and choices that map both
// ways. Read from the compiled PPDs with libcups, so the two cannot drift.
#include "app/driver_table.h"
#include "app/job_settings.h"
#include "app/media_types.h"
#include "app/vendor_options.h"
#include "printers/driver_table.h"

#include <cups/cups.h>
#include <cups/ppd.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>

namespace {

struct PpdCloser {
    void operator()(ppd_file_t *ppd) const { ppdClose(ppd); }
};
using Ppd = std::unique_ptr<ppd_file_t, PpdCloser>;

Ppd OpenPpd(const DriverRow &row)
{
    std::string name = std::string("dotweave-") + row.name + ".ppd";
    std::replace(name.begin(), name.end(), '_', '-');
    Ppd ppd(ppdOpenFile((std::string(DOTWEAVE_PPD_DIR) + "/" + name).c_str()));
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

std::map<std::string, std::string> DefaultSettings(const DriverRow &row)
{
    SettingPairs pairs;
    std::string error;
    EXPECT_TRUE(MapJobSettings(row, DefaultRequest(row), pairs, error)) << error;
    return {pairs.begin(), pairs.end()};
}

}  // namespace

// Test names show the driver, not the row's bytes.
void PrintTo(const DriverRow &row, std::ostream *out)
{
    *out << row.name;
}

namespace {

class PpdAgreement : public testing::TestWithParam<DriverRow> {};

TEST_P(PpdAgreement, ModelAndResolution)
{
    const DriverRow &row = GetParam();
    Ppd ppd = OpenPpd(row);
    ASSERT_TRUE(ppd);
    EXPECT_EQ(ppd->model_number, row.engine.modelNumber);
    ppd_attr_t *model = ppdFindAttr(ppd.get(), "ModelName", nullptr);
    ASSERT_NE(model, nullptr);
    // ppdc puts the manufacturer before the model.
    EXPECT_EQ(std::string(model->value), std::string(ppd->manufacturer) + " " + row.engine.modelName);
    ppd_attr_t *personality = ppdFindAttr(ppd.get(), "Personality", nullptr);
    ASSERT_NE(personality, nullptr);
    const char *const personalities[] = {"TSPL", "ESC/POS", "CPCL", "Paperang", "PeriPage"};
    EXPECT_STREQ(personality->value, personalities[static_cast<int>(row.engine.language)]);
    EXPECT_EQ(Marked(ppd.get(), "Resolution"), std::to_string(row.engine.dpi) + "dpi");
}

TEST_P(PpdAgreement, SameRowAsTheEngine)
{
    const DriverRow &row = GetParam();
    EXPECT_EQ(&row.engine, FindDriver(row.name));
    EXPECT_EQ(AllDrivers().size(), AppDrivers().size());
}

TEST_P(PpdAgreement, MediaSizesMarginsAndCustomRange)
{
    const DriverRow &row = GetParam();
    Ppd ppd = OpenPpd(row);
    ASSERT_TRUE(ppd);
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
    EXPECT_EQ(sizes, std::vector<std::string>(row.media.begin(), row.media.end()));
    EXPECT_STREQ(pwgMediaForPPD(Marked(ppd.get(), "PageSize").c_str())->pwg, row.defaultMedia);
    // One margin for all sizes: the widest, so nothing lands outside a head.
    EXPECT_NEAR(row.sideMargin, widestMargin, 1);

    ASSERT_TRUE(ppd->variable_sizes);
    // libcups returns parsed custom sizes in one buffer: copy each at once.
    const pwg_media_t *parsed = pwgMediaForPWG(row.customMin);
    ASSERT_NE(parsed, nullptr);
    const pwg_media_t smallest = *parsed;
    parsed = pwgMediaForPWG(row.customMax);
    ASSERT_NE(parsed, nullptr);
    const pwg_media_t largest = *parsed;
    EXPECT_NEAR(smallest.width, Hundredths(ppd->custom_min[0]), 2);
    EXPECT_NEAR(smallest.length, Hundredths(ppd->custom_min[1]), 2);
    EXPECT_NEAR(largest.width, Hundredths(ppd->custom_max[0]), 2);
    EXPECT_NEAR(largest.length, Hundredths(ppd->custom_max[1]), 2);
}

TEST_P(PpdAgreement, DefaultsAreThePpdDefaults)
{
    const DriverRow &row = GetParam();
    Ppd ppd = OpenPpd(row);
    ASSERT_TRUE(ppd);
    const std::map<std::string, std::string> settings = DefaultSettings(row);
    // Every setting of the PPD is mapped, and starts where the PPD starts.
    const std::set<std::string> notSettings = {"PageSize", "PageRegion", "Resolution", "ColorModel"};
    int options = 0;
    for (ppd_option_t *option = ppdFirstOption(ppd.get()); option != nullptr; option = ppdNextOption(ppd.get())) {
        if (notSettings.count(option->keyword) != 0)
            continue;
        ++options;
        const auto found = settings.find(option->keyword);
        ASSERT_NE(found, settings.end()) << option->keyword << " is not mapped";
        EXPECT_EQ(found->second, Marked(ppd.get(), option->keyword)) << option->keyword;
    }
    EXPECT_GE(options, 15);
}

TEST_P(PpdAgreement, EveryChoiceMapsBothWays)
{
    const DriverRow &row = GetParam();
    Ppd ppd = OpenPpd(row);
    ASSERT_TRUE(ppd);
    for (const VendorOption &option : VendorOptions()) {
        if (!option.inEveryPpd && !Offers(row, option))
            continue;
        const std::set<std::string> ppdChoices = Choices(ppd.get(), option.keyword);
        ASSERT_FALSE(ppdChoices.empty()) << option.keyword;
        for (const std::string &choice : ppdChoices) {
            const std::string value = IppValue(option, choice);
            ASSERT_FALSE(value.empty()) << option.keyword << "=" << choice;
            EXPECT_EQ(PpdChoice(option, value), choice) << option.keyword << "=" << choice;
        }
        if (option.kind != VendorKind::Keyword)
            continue;
        for (const VendorChoice &choice : option.choices)
            EXPECT_EQ(ppdChoices.count(choice.ppd), 1u) << option.keyword << "=" << choice.ppd;
    }

    // Media types and tracking reach every media choice of the PPD, and no other.
    std::set<std::string> reached;
    for (const MediaTypeRow &type : MediaTypes(row.engine.printerClass))
        for (pappl_media_tracking_t tracking :
             {PAPPL_MEDIA_TRACKING_CONTINUOUS, PAPPL_MEDIA_TRACKING_GAP, PAPPL_MEDIA_TRACKING_MARK}) {
            if (auto choice = TrackingChoice(row.engine.printerClass, type.type, tracking))
                reached.insert(*choice);
        }
    EXPECT_EQ(reached, Choices(ppd.get(), "zeMediaTracking"));

    // Darkness levels, speeds and shifts where the language sends them.
    if (const int levels = DarknessLevels(row); levels > 0) {
        std::set<std::string> expected = {"Default"};
        for (int level = 0; level < levels; ++level)
            expected.insert(std::to_string(level));
        EXPECT_EQ(Choices(ppd.get(), "Darkness"), expected);
    }
    if (const int ips = MaxSpeedIps(row); ips > 0) {
        std::set<int> speeds;
        for (const std::string &choice : Choices(ppd.get(), "zePrintRate"))
            if (choice != "Default")
                speeds.insert(std::stoi(choice));
        EXPECT_EQ(*speeds.rbegin(), ips);
    }
    for (const auto &[keyword, range] : {std::pair{"AdjustVertical", TopOffsetRange(row)},
                                         std::pair{"AdjustHoriaontal", LeftOffsetRange(row)}}) {
        if (range == 0)
            continue;
        std::set<int> steps;
        for (const std::string &choice : Choices(ppd.get(), keyword))
            steps.insert(std::stoi(choice));
        EXPECT_EQ(*steps.rbegin() * 800, range) << keyword;
        EXPECT_EQ(*steps.begin() * 800, -range) << keyword;
    }
}

std::string RowName(const testing::TestParamInfo<DriverRow> &info)
{
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Drivers, PpdAgreement, testing::ValuesIn(AppDrivers().begin(), AppDrivers().end()),
                         RowName);

}  // namespace
