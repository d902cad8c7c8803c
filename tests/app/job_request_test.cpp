// Every integer the application takes from IPP is checked against what the
// driver supports before anything computes with it: at the ends of the int
// range each is refused by name, in the job's attributes, its media-col, the
// vendor attributes (the job's and the printer's defaults) and overrides.
// Under the sanitizers an unchecked one shows as undefined behaviour.
#include "app/job_request.h"
#include "app/page_overrides.h"
#include "app_server.h"
#include "app_test_pages.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

namespace {

struct IppDeleter {
    void operator()(ipp_t *ipp) const { ippDelete(ipp); }
};
using Ipp = std::unique_ptr<ipp_t, IppDeleter>;

pappl_pr_options_t DefaultOptions(const tagDriverInfo &driver)
{
    pappl_pr_options_t options{};
    std::snprintf(options.media.type, sizeof(options.media.type), "%s", driver.model->defaultMediaType);
    options.orientation_requested = IPP_ORIENT_PORTRAIT;
    options.darkness_configured = 50;
    options.print_color_mode = PAPPL_COLOR_MODE_MONOCHROME;
    return options;
}

struct Attribute {
    const char *name;
    // Whether the driver's language reads it (where it does not, PAPPL or
    // the application ignores it).
    std::function<bool(const tagPrinterModel &)> read;
    // Sets it on the job (null: not a job attribute of its own).
    std::function<void(pappl_pr_options_t &, int)> onJob;
};

bool Always(const tagPrinterModel &)
{
    return true;
}

std::function<bool(const tagPrinterModel &)> Taking(EJobOption option)
{
    return [option](const tagPrinterModel &model) { return Takes(model, option); };
}

const Attribute kAttributes[] = {
    {"print-darkness", [](const tagPrinterModel &m) { return m.darknessLevels > 0; },
     [](pappl_pr_options_t &o, int v) { o.print_darkness = v; }},
    {"printer-darkness-configured", [](const tagPrinterModel &m) { return m.darknessLevels > 0; },
     [](pappl_pr_options_t &o, int v) { o.darkness_configured = v; }},
    {"print-speed", [](const tagPrinterModel &m) { return m.maxSpeedIps > 0; },
     [](pappl_pr_options_t &o, int v) { o.print_speed = v; }},
    // PAPPL, in C, may leave any int in its enumeration field.
    {"orientation-requested", Always,
     [](pappl_pr_options_t &o, int v) { std::memcpy(&o.orientation_requested, &v, sizeof(v)); }},
    {"media-top-offset", Always, [](pappl_pr_options_t &o, int v) { o.media.top_offset = v; }},
    {"media-left-offset", Always, [](pappl_pr_options_t &o, int v) { o.media.left_offset = v; }},
    {"threshold-level", Taking(EJobOption::ThresholdLevel), nullptr},
    {"brightness", Taking(EJobOption::Brightness), nullptr},
    {"contrast", Taking(EJobOption::Contrast), nullptr},
    {"trim-blank-top", Taking(EJobOption::TrimTop), nullptr},
    {"trim-blank-bottom", Taking(EJobOption::TrimBottom), nullptr},
    {"trim-blank-left", Taking(EJobOption::TrimLeft), nullptr},
    {"trim-blank-right", Taking(EJobOption::TrimRight), nullptr},
    {"feed-after-page", Taking(EJobOption::FeedAfterPage), nullptr},
};

// An overrides attribute with one collection for page 1.
ipp_attribute_t *AddOverride(ipp_t *job, const std::function<void(ipp_t *)> &members)
{
    ipp_t *collection = ippNew();
    ippAddRange(collection, IPP_TAG_ZERO, "pages", 1, 1);
    members(collection);
    ipp_attribute_t *overrides = ippAddCollection(job, IPP_TAG_JOB, "overrides", collection);
    ippDelete(collection);
    return overrides;
}

TEST(JobRequest, IntegersAtTheEndsOfTheRangeAreRefusedByName)
{
    for (const tagDriverInfo *driver : AllDrivers()) {
        for (const Attribute &attribute : kAttributes) {
            const bool read = attribute.read(*driver->model);
            for (const int value : {INT_MIN, INT_MAX}) {
                SCOPED_TRACE(std::string(driver->name) + " " + attribute.name + "=" + std::to_string(value));
                const std::string text = std::to_string(value);
                const bool vendor = attribute.onJob == nullptr;
                auto refused = [&](bool ok, const std::string &error) {
                    if (read)
                        EXPECT_TRUE(!ok && error.find(attribute.name) != std::string::npos) << error;
                    else
                        EXPECT_TRUE(ok) << error;
                };

                // On the job, or as a vendor attribute of the job.
                pappl_pr_options_t options = DefaultOptions(*driver);
                cups_option_t option{const_cast<char *>(attribute.name), const_cast<char *>(text.c_str())};
                if (vendor) {
                    options.num_vendor = 1;
                    options.vendor = &option;
                } else {
                    attribute.onJob(options, value);
                }
                JobRequest request;
                std::string error;
                refused(ReadJobRequest(*driver, options, nullptr, request, error), error);

                // As the printer's default of a vendor attribute.
                if (vendor) {
                    Ipp defaults(ippNew());
                    ippAddInteger(defaults.get(), IPP_TAG_PRINTER, IPP_TAG_INTEGER,
                                  (std::string(attribute.name) + "-default").c_str(), value);
                    error.clear();
                    refused(ReadJobRequest(*driver, DefaultOptions(*driver), defaults.get(), request, error), error);
                }

                // In an override (media-col has none).
                if (std::string(attribute.name).rfind("media-", 0) == 0 ||
                    std::string(attribute.name) == "printer-darkness-configured")
                    continue;
                Ipp job(ippNew());
                ipp_attribute_t *overrides = AddOverride(job.get(), [&](ipp_t *collection) {
                    const ipp_tag_t tag =
                        std::string(attribute.name) == "orientation-requested" ? IPP_TAG_ENUM : IPP_TAG_INTEGER;
                    ippAddInteger(collection, IPP_TAG_ZERO, tag, attribute.name, value);
                });
                request = DefaultRequest(*driver);
                const OverrideResult result = ApplyOverrides(*driver, overrides, 0, request);
                if (read)
                    EXPECT_NE(result.refused.find(attribute.name), std::string::npos) << result.refused;
                else
                    EXPECT_TRUE(result.refused.empty()) << result.refused;
            }
        }
    }
}

TEST(JobRequest, TheSupportedRangeItselfIsAccepted)
{
    const tagDriverInfo &tspl = *FindDriver("tspl_203dpi");
    struct Edge {
        std::function<void(pappl_pr_options_t &)> set;
        bool accepted;
    };
    const Edge edges[] = {
        {[](pappl_pr_options_t &o) { o.media.top_offset = 2400; }, true},
        {[](pappl_pr_options_t &o) { o.media.top_offset = 2401; }, false},
        {[](pappl_pr_options_t &o) { o.media.left_offset = -2400; }, true},
        {[](pappl_pr_options_t &o) { o.print_speed = 12 * 2540; }, true},
        {[](pappl_pr_options_t &o) { o.print_speed = 12 * 2540 + 1; }, false},
        {[](pappl_pr_options_t &o) { o.print_darkness = -100; }, true},
        {[](pappl_pr_options_t &o) { o.print_darkness = 101; }, false},
    };
    for (const Edge &edge : edges) {
        pappl_pr_options_t options = DefaultOptions(tspl);
        edge.set(options);
        JobRequest request;
        std::string error;
        EXPECT_EQ(ReadJobRequest(tspl, options, nullptr, request, error), edge.accepted) << error;
    }
    // A receipt printer cannot shift the print at all.
    const tagDriverInfo &escpos = *FindDriver("escpos_203dpi");
    pappl_pr_options_t options = DefaultOptions(escpos);
    options.media.top_offset = 100;
    JobRequest request;
    std::string error;
    EXPECT_FALSE(ReadJobRequest(escpos, options, nullptr, request, error));
}

// An override that names its document applies to document 1, the job's
// only one, and not to any other.
TEST(JobRequest, AnOverrideAppliesToItsDocumentOnly)
{
    const tagDriverInfo &tspl = *FindDriver("tspl_203dpi");
    for (const int document : {1, 2}) {
        Ipp job(ippNew());
        ipp_attribute_t *overrides = AddOverride(job.get(), [&](ipp_t *collection) {
            ippAddRange(collection, IPP_TAG_ZERO, "document-numbers", document, document);
            ippAddInteger(collection, IPP_TAG_ZERO, IPP_TAG_INTEGER, "print-darkness", 40);
        });
        JobRequest request = DefaultRequest(tspl);
        const OverrideResult result = ApplyOverrides(tspl, overrides, 1, request);
        EXPECT_EQ(result.covered, document == 1) << document;
        EXPECT_EQ(request.printDarkness, document == 1 ? 40 : 0) << document;
    }
}

// Through a running server: the job is refused with the attribute named,
// nothing reaches the printer, and the server prints the next job.
TEST(JobRequest, AServerRefusesAJobWithAnOutOfRangeValueAndGoesOn)
{
    AppServer server;
    const tagDriverInfo &driver = *FindDriver("tspl_203dpi");
    const std::string folder = server.AddFilePrinter("label", driver.name);
    const std::string raster =
        WriteBothRasters(server.Dir().File("page.ras"), server.Dir().File("page.pwg"), {MakeLabelPage(driver, 100)});
    struct Hostile {
        const char *attributes;
        const char *named;
    };
    for (const Hostile &hostile : {Hostile{"media-col={media-top-offset=-2147483648}", "media-top-offset"},
                                   Hostile{"media-col={media-left-offset=2147483647}", "media-left-offset"},
                                   Hostile{"overrides={pages=1-1 print-speed=2147483647}", "print-speed"},
                                   Hostile{"threshold-level=-2147483648", "threshold-level"}}) {
        SCOPED_TRACE(hostile.attributes);
        std::string status;
        const int job = server.Print("label", raster, "image/pwg-raster", hostile.attributes, &status);
        ASSERT_GT(job, 0) << status;
        EXPECT_EQ(server.WaitForJob("label", job), IPP_JSTATE_ABORTED);
        EXPECT_NE(server.JobMessage("label", job).find(hostile.named), std::string::npos)
            << server.JobMessage("label", job);
        ASSERT_TRUE(server.Running()) << server.Problems();
    }
    const int job = server.Print("label", raster, "image/pwg-raster", "media-col={media-top-offset=200}");
    ASSERT_GT(job, 0);
    EXPECT_EQ(server.WaitForJob("label", job), IPP_JSTATE_COMPLETED) << server.JobMessage("label", job);
    const std::vector<std::string> files = WaitForJobFiles(folder, 1);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_NE(ReadFileBytes(files[0]).find("REFERENCE 0,16\r\n"), std::string::npos);
}

}  // namespace
