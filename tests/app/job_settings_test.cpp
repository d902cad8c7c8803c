// IPP job values become the engine's settings records in one place; these
// cases are where a wrong mapping would print something else than the user
// asked for, checked where it matters in what the printer receives.
#include "app/job_request.h"
#include "app/job_settings.h"
#include "preview/stream_decoder.h"
#include "render/print_job.h"
#include "support/collecting_output.h"
#include "support/raster_writer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

const tagDriverInfo &Driver(const char *name)
{
    const tagDriverInfo *driver = FindDriver(name);
    EXPECT_NE(driver, nullptr) << name;
    return *driver;
}

// What the printer receives for black pages of 64 x 16 dots.
std::string Printed(const tagDriverInfo &driver, const tagJobSettings &settings, int pages)
{
    CollectingOutput output;
    CPrintJob job(CreateRender(driver.model->language), output);
    EXPECT_TRUE(job.Start("test", &settings));
    const RasterPage page = MakeRasterPage(64, 16, 8, 0x00, static_cast<unsigned>(driver.dpi));
    for (int i = 0; i < pages; ++i) {
        cups_page_header2_t header;
        FillRasterHeader(page, header);
        EXPECT_TRUE(job.BeginPage(header));
        for (unsigned y = 0; y < page.height; ++y)
            job.AddLine(page.Row(y), page.BytesPerLine());
        EXPECT_TRUE(job.PrintPage());
        EXPECT_TRUE(job.EndPage());
    }
    EXPECT_TRUE(job.Finish());
    EXPECT_EQ(output.messages, "");
    return output.bytes;
}

struct Case {
    const char *what;
    const char *driver;
    std::function<void(JobRequest &)> change;
    std::function<int32_t(const tagJobSettings &)> field;
    int32_t expected;
};

int32_t Density(const tagJobSettings &s) { return s.regStruct.iDensity; }
int32_t Speed(const tagJobSettings &s) { return s.regStruct.iSpeed; }
int32_t Rotation(const tagJobSettings &s) { return s.regStruct.iRotate; }
int32_t Method(const tagJobSettings &s) { return s.halftone.iGrayMethod; }

const Case kCases[] = {
    {"bi-level is the fixed threshold whatever the method", "paperang_203dpi",
     [](JobRequest &r) { r.colorMode = PAPPL_COLOR_MODE_BI_LEVEL; r.Option(EJobOption::HalftoneMethod) = kBurkes; },
     Method, kThreshold},
    {"monochrome keeps the chosen method", "tspl_203dpi",
     [](JobRequest &r) { r.Option(EJobOption::HalftoneMethod) = kSierra; }, Method, kSierra},
    {"no darkness adjustment keeps the printer's own", "tspl_203dpi", [](JobRequest &r) { r.darknessConfigured = 90; },
     Density, -1},
    {"configured plus adjustment picks the level", "tspl_203dpi",
     [](JobRequest &r) { r.darknessConfigured = 50; r.printDarkness = 30; }, Density, 12},
    {"darkness is clamped to the darkest of six", "peripage_203dpi",
     [](JobRequest &r) { r.darknessConfigured = 100; r.printDarkness = 100; }, Density, 5},
    {"darkness is clamped to the lightest", "tspl_300dpi",
     [](JobRequest &r) { r.darknessConfigured = 10; r.printDarkness = -100; }, Density, 0},
    {"receipt printers send no darkness", "escpos_203dpi", [](JobRequest &r) { r.printDarkness = 50; }, Density, -1},
    {"speed in inches per second", "tspl_203dpi", [](JobRequest &r) { r.printSpeed = 4 * 2540; }, Speed, 4},
    // 3.6 inches per second runs at 4, not a step slower.
    {"a speed between whole inches per second rounds to the nearest", "tspl_203dpi",
     [](JobRequest &r) { r.printSpeed = 9144; }, Speed, 4},
    {"no speed keeps the printer's own", "tspl_203dpi", [](JobRequest &r) { r.printSpeed = 0; }, Speed, -1},
    {"landscape turns by 90 degrees", "tspl_203dpi", [](JobRequest &r) { r.orientation = IPP_ORIENT_LANDSCAPE; },
     Rotation, kRotate90},
    {"reverse landscape turns by 270 degrees", "cpcl_203dpi",
     [](JobRequest &r) { r.orientation = IPP_ORIENT_REVERSE_LANDSCAPE; }, Rotation, kRotate270},
    {"reverse portrait turns by 180 degrees", "escpos_203dpi",
     [](JobRequest &r) { r.orientation = IPP_ORIENT_REVERSE_PORTRAIT; }, Rotation, kRotate180},
};

TEST(JobSettings, IppValuesBecomeEngineSettings)
{
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.what);
        const tagDriverInfo &driver = Driver(c.driver);
        JobRequest request = DefaultRequest(driver);
        c.change(request);
        EXPECT_EQ(c.field(MapJobSettings(driver, request)), c.expected);
    }
}

// The label moves by the dots the offset comes to, not by whole 8 mm steps:
// 2 mm at 203 dpi is 15.98 dots, 16; at 300 dpi 23.6, 24.
TEST(JobSettings, OffsetsMoveALabelToTheNearestDot)
{
    struct Shift {
        const char *driver;
        int top, left;
        const char *command;
    };
    for (const Shift &shift : {Shift{"tspl_203dpi", 200, 0, "REFERENCE 0,16\r\n"},
                               Shift{"tspl_203dpi", -200, 2400, "REFERENCE 192,-16\r\n"},
                               Shift{"tspl_300dpi", 200, -100, "REFERENCE -12,24\r\n"}}) {
        const tagDriverInfo &driver = Driver(shift.driver);
        JobRequest request = DefaultRequest(driver);
        request.topOffset = shift.top;
        request.leftOffset = shift.left;
        const std::string bytes = Printed(driver, MapJobSettings(driver, request), 1);
        EXPECT_NE(bytes.find(shift.command), std::string::npos) << shift.command << bytes.substr(0, 200);
    }
    // CPCL shifts sideways in its own dots, 8 to the millimetre.
    const tagDriverInfo &cpcl = Driver("cpcl_203dpi");
    JobRequest request = DefaultRequest(cpcl);
    request.leftOffset = 200;
    EXPECT_EQ(Printed(cpcl, MapJobSettings(cpcl, request), 1).rfind("! 16 200 200 ", 0), 0u);
}

// Each cut mode, as a client names it, gives the cuts the receipt printer
// receives for a job of two pages (the cuts that follow each page).
TEST(JobSettings, CutModesGiveTheirCuts)
{
    struct CutCase {
        const char *keyword;
        std::vector<std::vector<std::string>> cuts;
    };
    const std::string full = "full cut (GS V)", partial = "partial cut (GS V)";
    const CutCase cases[] = {
        {"none", {{}, {}}},
        {"job-full", {{}, {full}}},
        {"job-partial", {{}, {partial}}},
        {"page-full", {{full}, {full}}},
        {"page-partial", {{partial}, {partial}}},
    };
    const tagDriverInfo &driver = Driver("escpos_203dpi");
    for (const CutCase &c : cases) {
        SCOPED_TRACE(c.keyword);
        pappl_pr_options_t options{};
        std::snprintf(options.media.type, sizeof(options.media.type), "continuous");
        options.orientation_requested = IPP_ORIENT_PORTRAIT;
        cups_option_t cut{const_cast<char *>("cut-mode"), const_cast<char *>(c.keyword)};
        options.num_vendor = 1;
        options.vendor = &cut;
        JobRequest request;
        std::string error;
        ASSERT_TRUE(ReadJobRequest(driver, options, nullptr, request, error)) << error;
        const std::string bytes = Printed(driver, MapJobSettings(driver, request), 2);
        const DecodedStream decoded =
            DecodeStream(StreamLanguage::EscPos, reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
        ASSERT_FALSE(decoded.error.failed);
        std::vector<std::vector<std::string>> cuts;
        for (const PreviewPage &page : decoded.pages) {
            cuts.emplace_back();
            for (const std::string &note : page.Commands())
                if (note.find("cut") != std::string::npos)
                    cuts.back().push_back(note);
        }
        EXPECT_EQ(cuts, c.cuts);
    }
}

}  // namespace
