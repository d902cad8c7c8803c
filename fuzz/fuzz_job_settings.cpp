// The printer application's mapping of a job's IPP values to the engine's
// settings: PAPPL's print options (media-col offsets, darkness, speed,
// orientation, colour mode, media type and tracking), the job's vendor
// attributes as PAPPL hands them over (text), the printer's vendor defaults
// and IPP overrides with members of any type. Whatever is accepted must map
// to settings within what the driver supports, each page of the overrides
// too, and print a small page through the driver's back-end.
//
// Input, front to back (fuzz::InputReader; past the end every byte is 0):
//   driver index;
//   six numbers (top offset, left offset, print-darkness, configured
//   darkness, print-speed, orientation-requested), each a selector byte:
//   below 0x80 a pick from kJobNumbers, else a 32-bit value that follows;
//   colour mode, media type and tracking picks;
//   vendor attributes: count, then per attribute a name pick and a value
//   (a keyword of the option, true/false, a number or text);
//   printer defaults: count, then name pick and typed value;
//   overrides: count, then per collection: flags (pages, document-numbers),
//   their ranges, member count and members (name pick, value tag, value);
//   the rest: page pixels.
#include "fuzz_support.h"
#include "job_settings_input.h"

#include "app/job_request.h"
#include "app/job_settings.h"
#include "app/page_overrides.h"
#include "render/print_job.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int32_t Number(fuzz::InputReader &input)
{
    const uint8_t selector = input.Byte();
    if (selector < 0x80)
        return fuzz::kJobNumbers[selector % std::size(fuzz::kJobNumbers)];
    return static_cast<int32_t>(input.U32());
}

// A value as PAPPL hands a vendor attribute over.
std::string VendorText(fuzz::InputReader &input, const std::string &name)
{
    switch (input.Byte() % 4) {
    case 0:
        if (const tagJobOptionInfo *option = FindJobOption(name); option != nullptr && !option->choices.empty())
            return option->choices[input.Byte() % option->choices.size()].ipp;
        return "none";
    case 1: return input.Byte() % 2 ? "true" : "false";
    case 2: return std::to_string(Number(input));
    default: return input.Text(16);
    }
}

void AddTyped(ipp_t *ipp, ipp_tag_t group, const std::string &name, fuzz::InputReader &input)
{
    switch (input.Byte() % 6) {
    case 0: ippAddInteger(ipp, group, IPP_TAG_INTEGER, name.c_str(), Number(input)); break;
    case 1: ippAddInteger(ipp, group, IPP_TAG_ENUM, name.c_str(), Number(input)); break;
    case 2: ippAddString(ipp, group, IPP_TAG_KEYWORD, name.c_str(), nullptr, VendorText(input, name).c_str()); break;
    case 3: ippAddString(ipp, group, IPP_TAG_NAME, name.c_str(), nullptr, input.Text(16).c_str()); break;
    case 4: ippAddBoolean(ipp, group, name.c_str(), static_cast<char>(input.Byte() % 2)); break;
    default: {
        const int32_t lower = Number(input);
        ippAddRange(ipp, group, name.c_str(), lower, Number(input));
        break;
    }
    }
}

void Require(bool holds, const char *what)
{
    if (!holds) {
        std::fprintf(stderr, "settings out of range: %s\n", what);
        std::abort();
    }
}

// Settings the driver can print: every field within what the model and the
// options allow.
void CheckSettings(const tagDriverInfo &driver, const tagJobSettings &settings)
{
    const tagPrinterModel &model = *driver.model;
    const tagREGSTRUCT &g = settings.regStruct;
    const tagREGSTRUCTWITHALFTONE &t = settings.halftone;
    Require(g.iGap[0] >= kMediaContinuous && g.iGap[0] <= kMediaTattooWrinkle, "media tracking");
    Require(g.iReferenceUnit == kUnitDot, "shift unit");
    Require(std::abs(g.iReference[0]) <= model.leftOffsetRange * driver.dpi / 2540 + 1, "horizontal shift");
    Require(std::abs(g.iReference[1]) <= model.topOffsetRange * driver.dpi / 2540 + 1, "vertical shift");
    Require(g.iDensity == -1 || (g.iDensity >= 0 && g.iDensity < model.darknessLevels), "darkness");
    Require(g.iSpeed == -1 || (g.iSpeed >= 1 && g.iSpeed <= model.maxSpeedIps), "speed");
    Require(g.iRotate >= kRotateNone && g.iRotate <= kRotate270, "rotation");
    Require(t.iGrayMethod >= kThreshold && t.iGrayMethod <= kAutomatic, "half-tone method");
    Require(t.iThreValue >= 0 && t.iThreValue <= 255, "threshold");
    Require(t.iLiangdu >= -255 && t.iLiangdu <= 255 && t.iDuibidu >= -100 && t.iDuibidu <= 100, "tone");
    for (int32_t crop : {t.iCropTopEdge, t.iCropBottomEdge, t.iCropLeftEdge, t.iCropRightEdge})
        Require(crop >= -1 && crop <= 1000, "trim limit");
    Require(g.iOffset == g.iFeedLength && g.iOffset >= 0 && g.iOffset <= 100, "feed");
    Require(Takes(model, EJobOption::CutMode) ? g.iCutMode >= kCutNone && g.iCutMode <= kCutPagePartial
                                               : g.iCutMode == kCutNone,
            "cut mode");
    Require(Takes(model, EJobOption::CashDrawer) ? g.iCashDrawer >= kDrawerNone && g.iCashDrawer <= kDrawerAfterPage
                                                  : g.iCashDrawer == kDrawerNone,
            "cash drawer");
    Require(Takes(model, EJobOption::CutterMode) ? g.iCutterMode >= kCutterNone && g.iCutterMode <= kCutterPartial
                                                  : g.iCutterMode == kCutterNone,
            "cutter mode");
    Require(g.iPrinttype == kDirectThermal || g.iPrinttype == kThermalTransfer, "print method");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::QuietProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::InputReader input(data, size);
    const std::vector<const tagDriverInfo *> drivers = AllDrivers();
    const tagDriverInfo &driver = *drivers[input.Byte() % drivers.size()];
    const tagPrinterModel &model = *driver.model;
    static const std::vector<std::string> names = fuzz::JobMemberNames();

    pappl_pr_options_t options{};
    options.media.top_offset = Number(input);
    options.media.left_offset = Number(input);
    options.print_darkness = Number(input);
    options.darkness_configured = Number(input);
    options.print_speed = Number(input);
    // PAPPL, in C, may leave any int in an enumeration field.
    const int32_t orientation = Number(input);
    std::memcpy(&options.orientation_requested, &orientation, sizeof(orientation));
    constexpr pappl_color_mode_t kModes[] = {PAPPL_COLOR_MODE_BI_LEVEL, PAPPL_COLOR_MODE_MONOCHROME,
                                             PAPPL_COLOR_MODE_AUTO, PAPPL_COLOR_MODE_COLOR, 0};
    options.print_color_mode = kModes[input.Byte() % std::size(kModes)];
    const uint8_t type = input.Byte();
    const std::string mediaType = type % 8 < model.mediaTypes.size() ? model.mediaTypes[type % 8].ippType
                                                                     : (type % 2 ? "labels" : input.Text(12));
    std::snprintf(options.media.type, sizeof(options.media.type), "%s", mediaType.c_str());
    constexpr pappl_media_tracking_t kTracking[] = {0, PAPPL_MEDIA_TRACKING_CONTINUOUS, PAPPL_MEDIA_TRACKING_GAP,
                                                    PAPPL_MEDIA_TRACKING_MARK, PAPPL_MEDIA_TRACKING_WEB, 0x70};
    options.media.tracking = kTracking[input.Byte() % std::size(kTracking)];

    std::vector<std::string> vendorNames, vendorValues;
    for (int count = input.Byte() % 6; count > 0; --count) {
        vendorNames.push_back(names[input.Byte() % names.size()]);
        vendorValues.push_back(VendorText(input, vendorNames.back()));
    }
    std::vector<cups_option_t> vendor;
    for (size_t i = 0; i < vendorNames.size(); ++i)
        vendor.push_back({vendorNames[i].data(), vendorValues[i].data()});
    options.num_vendor = static_cast<int>(vendor.size());
    options.vendor = vendor.data();

    ipp_t *defaults = ippNew();
    for (int count = input.Byte() % 4; count > 0; --count)
        AddTyped(defaults, IPP_TAG_PRINTER, names[input.Byte() % names.size()] + "-default", input);

    ipp_t *job = ippNew();
    for (int count = input.Byte() % 4; count > 0; --count) {
        ipp_t *collection = ippNew();
        const uint8_t flags = input.Byte();
        if ((flags & 1) == 0) {
            const int32_t lower = Number(input);
            ippAddRange(collection, IPP_TAG_ZERO, "pages", lower, Number(input));
        }
        if ((flags & 2) != 0) {
            const int32_t lower = Number(input);
            ippAddRange(collection, IPP_TAG_ZERO, "document-numbers", lower, Number(input));
        }
        for (int members = input.Byte() % 6; members > 0; --members)
            AddTyped(collection, IPP_TAG_ZERO, names[input.Byte() % names.size()], input);
        ippAddCollection(job, IPP_TAG_JOB, "overrides", collection);
        ippDelete(collection);
    }
    ipp_attribute_t *overrides = ippFindAttribute(job, "overrides", IPP_TAG_BEGIN_COLLECTION);

    JobRequest request;
    std::string error;
    tagJobSettings settings;
    if (ReadJobRequest(driver, options, defaults, request, error)) {
        settings = MapJobSettings(driver, request);
        CheckSettings(driver, settings);
        JobRequest all = request;
        if (overrides != nullptr && ApplyOverrides(driver, overrides, 0, all).refused.empty()) {
            // What passed the check of every override prints on every page.
            for (unsigned page = 1; page <= 3; ++page) {
                JobRequest onPage = request;
                Require(ApplyOverrides(driver, overrides, page, onPage).refused.empty(), "an override refused late");
                settings = MapJobSettings(driver, onPage);
                CheckSettings(driver, settings);
            }
        }
    } else {
        Require(!error.empty(), "a refusal without a reason");
    }
    ippDelete(job);
    ippDelete(defaults);

    // The settings reach the printer: a small page through the back-end.
    fuzz::DroppedOutput output;
    CPrintJob print(CreateRender(model.language), output);
    if (print.Start("fuzz", &settings)) {
        cups_page_header2_t header;
        std::memset(&header, 0, sizeof(header));
        header.cupsWidth = 24;
        header.cupsHeight = 8;
        header.cupsBitsPerColor = header.cupsBitsPerPixel = 8;
        header.cupsBytesPerLine = 24;
        header.cupsColorSpace = CUPS_CSPACE_SW;
        header.HWResolution[0] = header.HWResolution[1] = static_cast<unsigned>(driver.dpi);
        if (print.BeginPage(header)) {
            uint8_t line[24];
            for (unsigned y = 0; y < header.cupsHeight; ++y) {
                for (uint8_t &pixel : line)
                    pixel = input.Byte();
                print.AddLine(line, sizeof(line));
            }
            print.PrintPage();
        }
        print.EndPage();
    }
    print.Finish();
    return 0;
}
