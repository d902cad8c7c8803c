#include "app/engine_adapter.h"

#include "filter/cups_instance.h"
#include "printers/printer_cpcl.h"
#include "printers/printer_escpos.h"
#include "printers/printer_paperang.h"
#include "printers/printer_peripage.h"
#include "printers/printer_tspl.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <syslog.h>

namespace {

// A printer class whose output goes to the job's output and whose log lines
// go to the job log.
template <class T>
class BoundRender final : public T {
public:
    BoundRender(IJobOutput &output, bool &failed) : output(output), failed(failed) {}

    void WriteSpool(const void *data, int length) override
    {
        // After a failed write nothing more may reach the device: the rest of
        // a command without its start would be garbage to the printer.
        if (failed || data == nullptr || length <= 0)
            return;
        if (!output.Write(data, static_cast<size_t>(length)))
            failed = true;
    }

    void AddLog(const char *format, ...) override __attribute__((format(printf, 2, 3)))
    {
        std::array<char, 1024> line;
        va_list args;
        va_start(args, format);
        std::vsnprintf(line.data(), line.size(), format, args);
        va_end(args);
        output.Log(LOG_DEBUG, line.data());
    }

private:
    IJobOutput &output;
    bool &failed;
};

CBaseRender *CreateRender(int modelNumber, IJobOutput &output, bool &failed)
{
    switch (modelNumber) {
    case 20: return new BoundRender<CPrinterTSPL>(output, failed);
    case 21: return new BoundRender<CPrinterESCPOS>(output, failed);
    case 22: return new BoundRender<CPrinterCPCL>(output, failed);
    case 23: return new BoundRender<CPrinterPaperang>(output, failed);
    case 24: return new BoundRender<CPrinterPeriPage>(output, failed);
    default: return nullptr;
    }
}

// Settings are read as the filter reads a PPD's marked choices.
int ChoiceNumber(const std::string &choice)
{
    const long value = std::strtol(choice.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

constexpr int kMaxLengthMm = 1000;

int LengthMm(int value)
{
    return std::clamp(value, -kMaxLengthMm, kMaxLengthMm);
}

struct MediaRow {
    const char *choice;
    int type;
    int length;
    int offset;
};

constexpr MediaRow kMediaTable[] = {
    {"Continuous", 0, 0, 0},  {"A4Stock", 0, 0, 0},         {"Gap", 1, 3, 0},
    {"BLine", 2, 0, 0},       {"BLine_Fold", 2, 0, 0},      {"Perforated", 3, 0, 0},
    {"Roll", 4, 0, 0},        {"Recording", 5, 0, 0},       {"Tattoo", 6, 0, 0},
    {"TattooWrinkle", 7, 0, 0}, {"TattooGuidelines", 7, 0, 0},
};

int NamedChoice(const std::string &choice, std::initializer_list<const char *> names)
{
    int index = 0;
    for (const char *name : names) {
        if (choice == name)
            return index;
        ++index;
    }
    return 0;
}

using Apply = void (*)(CBaseRender &, const std::string &);

struct SettingRow {
    const char *keyword;
    Apply apply;
};

const SettingRow kSettings[] = {
    {"MediaMethod", [](CBaseRender &r, const std::string &c) {
         r.regStruct.iPrinttype = (c == "Normal" || c == "Direct") ? 0 : 1;
     }},
    {"AdjustHoriaontal", [](CBaseRender &r, const std::string &c) { r.regStruct.iReference[0] = LengthMm(ChoiceNumber(c)) * 8; }},
    {"AdjustVertical", [](CBaseRender &r, const std::string &c) { r.regStruct.iReference[1] = LengthMm(ChoiceNumber(c)) * 8; }},
    {"zeMediaTracking", [](CBaseRender &r, const std::string &c) {
         for (const MediaRow &row : kMediaTable) {
             if (c == row.choice) {
                 r.regStruct.iGap[0] = row.type;
                 r.regStruct.iGap[1] = row.length;
                 r.regStruct.iGap[2] = row.offset;
                 break;
             }
         }
     }},
    {"FeedOffset", [](CBaseRender &r, const std::string &c) {
         r.regStruct.iOffset = ChoiceNumber(c);
         r.regStruct.iFeedLength = LengthMm(r.regStruct.iOffset);
     }},
    {"Rotate", [](CBaseRender &r, const std::string &c) { r.regStruct.iRotate = ChoiceNumber(c); }},
    {"Darkness", [](CBaseRender &r, const std::string &c) { r.regStruct.iDensity = c == "Default" ? -1 : ChoiceNumber(c); }},
    {"zePrintRate", [](CBaseRender &r, const std::string &c) { r.regStruct.iSpeed = c == "Default" ? -1 : ChoiceNumber(c); }},
    {"AutoDotted", [](CBaseRender &r, const std::string &c) { r.regStruct.iDottedline = ChoiceNumber(c) != 0; }},
    {"Brightness", [](CBaseRender &r, const std::string &c) { r.halftone.iLiangdu = ChoiceNumber(c); }},
    {"Contrast", [](CBaseRender &r, const std::string &c) { r.halftone.iDuibidu = ChoiceNumber(c); }},
    {"ImageFilter", [](CBaseRender &r, const std::string &c) { r.halftone.iGrayMethod = ChoiceNumber(c); }},
    {"Threshold", [](CBaseRender &r, const std::string &c) { r.halftone.iThreValue = ChoiceNumber(c); }},
    {"ImageCompress", [](CBaseRender &r, const std::string &c) { r.halftone.ImageCompress = ChoiceNumber(c) != 0; }},
    {"CropEdgeTop", [](CBaseRender &r, const std::string &c) { r.halftone.iCropTopEdge = ChoiceNumber(c); }},
    {"CropEdgeBottom", [](CBaseRender &r, const std::string &c) { r.halftone.iCropBottomEdge = ChoiceNumber(c); }},
    {"CropEdgeLeft", [](CBaseRender &r, const std::string &c) { r.halftone.iCropLeftEdge = ChoiceNumber(c); }},
    {"CropEdgeRight", [](CBaseRender &r, const std::string &c) { r.halftone.iCropRightEdge = ChoiceNumber(c); }},
    {"CutMode", [](CBaseRender &r, const std::string &c) {
         r.regStruct.iCutMode = NamedChoice(c, {"None", "JobFull", "JobPartial", "PageFull", "PagePartial"});
     }},
    {"CashDrawer", [](CBaseRender &r, const std::string &c) {
         r.regStruct.iCashDrawer = NamedChoice(c, {"None", "BeforePage", "AfterPage"});
     }},
    {"CutterMode", [](CBaseRender &r, const std::string &c) {
         r.regStruct.iCutterMode = NamedChoice(c, {"None", "Tear", "Cutter", "Peel", "PartialCutter"});
     }},
};

void ApplySettings(CBaseRender &render, const SettingPairs &settings)
{
    // Without a choice the printer keeps its own darkness and speed.
    render.regStruct.iDensity = -1;
    render.regStruct.iSpeed = -1;
    for (const auto &[keyword, choice] : settings)
        for (const SettingRow &row : kSettings)
            if (keyword == row.keyword)
                row.apply(render, choice);
}

}  // namespace

struct EngineJob::State {
    State(int modelNumber, IJobOutput &output) : modelNumber(modelNumber), output(output) {}

    void Fail(const char *format, ...) __attribute__((format(printf, 2, 3)))
    {
        std::array<char, 512> message;
        va_list args;
        va_start(args, format);
        std::vsnprintf(message.data(), message.size(), format, args);
        va_end(args);
        output.Error(message.data());
        failed = true;
    }

    int modelNumber;
    IJobOutput &output;
    CStdRefPtr<CBaseRender> render;
    SettingPairs jobSettings;
    SettingPairs pageSettings;
    bool failed = false;
    bool inPage = false;
    bool initialized = false;
    int pages = 0;
    std::atomic<bool> canceled{false};
    cups_page_header2_t header{};
};

EngineJob::EngineJob(int modelNumber, IJobOutput &output) : state(std::make_unique<State>(modelNumber, output)) {}

EngineJob::~EngineJob() = default;

bool EngineJob::Start(const SettingPairs &settings)
{
    CBaseRender *render = CreateRender(state->modelNumber, state->output, state->failed);
    if (render == nullptr) {
        state->Fail("Unknown printer model number %d.", state->modelNumber);
        return false;
    }
    state->render = MakeRefPtr<CBaseRender>(render);
    state->jobSettings = settings;
    ApplySettings(*render, settings);
    render->OnStartDoc(0);
    return !state->failed;
}

void EngineJob::OverrideNextPage(const SettingPairs &settings)
{
    state->pageSettings = settings;
}

bool EngineJob::BeginPage(const cups_page_header2_t &header)
{
    CBaseRender *render = state->render;
    if (render == nullptr || state->failed || state->canceled)
        return false;
    const int page = state->pages + 1;
    if (const char *reason = RefusePage(header); reason != nullptr) {
        state->Fail("Page %d cannot be printed: %s (%ux%u, %u bits per pixel, %u bytes per line).", page, reason,
                    header.cupsWidth, header.cupsHeight, header.cupsBitsPerPixel, header.cupsBytesPerLine);
        return false;
    }
    const uint32_t bpp = header.cupsBitsPerPixel;
    if (bpp == 32 || render->image.Create(header.cupsWidth, header.cupsHeight, bpp, 0) == nullptr) {
        state->Fail("Page %d cannot be printed: the page image could not be built.", page);
        return false;
    }
    if (bpp < 24)
        render->image.SetGrayPalette();
    // Lines never delivered print as paper.
    std::memset(render->image.GetBits(0), 0xFF, static_cast<size_t>(render->image.GetEffWidth()) * header.cupsHeight);
    state->header = header;
    state->inPage = true;
    return true;
}

bool EngineJob::WriteLine(unsigned y, const unsigned char *line, size_t bytes)
{
    CBaseRender *render = state->render;
    if (!state->inPage || state->failed)
        return false;
    if (y >= state->header.cupsHeight || bytes > state->header.cupsBytesPerLine || line == nullptr) {
        state->Fail("Page %d cannot be printed: line %u of %zu bytes does not fit the page.", state->pages + 1, y,
                    bytes);
        return false;
    }
    std::memcpy(render->image.GetBits(y), line, bytes);
    return true;
}

bool EngineJob::EndPage()
{
    CBaseRender *render = state->render;
    if (!state->inPage || state->failed)
        return false;
    state->inPage = false;
    ++state->pages;
    render->header = &state->header;
    render->iDpi = static_cast<int>(state->header.HWResolution[0]);
    render->image.SetXDPI(static_cast<int>(state->header.HWResolution[0]));
    render->image.SetYDPI(static_cast<int>(state->header.HWResolution[1]));

    const bool overridden = !state->pageSettings.empty();
    if (overridden)
        ApplySettings(*render, state->pageSettings);
    const bool printed = PrintPage(*render);
    if (overridden) {
        ApplySettings(*render, state->jobSettings);
        state->pageSettings.clear();
    }
    render->header = nullptr;
    return printed;
}

bool EngineJob::PrintPage(CBaseRender &page)
{
    CBaseRender *render = &page;
    render->OnStartPage();
    if (!state->initialized) {
        render->OnInit();
        state->initialized = true;
    }
    render->AdjustImage();
    if (!render->image.IsValid()) {
        const char *why = render->image.GetLastError();
        state->Fail("Page %d could not be converted to one bit per dot (%s); it is not printed.", state->pages,
                    why != nullptr && *why != '\0' ? why : "no reason given");
        return false;
    }
    render->OnPaintBmp();
    render->OnEndBmp();
    render->OnEndPage();
    if (state->failed) {
        state->output.Error("The printer stopped taking data.");
        return false;
    }
    return true;
}

bool EngineJob::Finish()
{
    CBaseRender *render = state->render;
    if (render == nullptr)
        return false;
    const bool printed = !state->failed;
    // The end of the document (an ESC/POS cut) goes out only after whole pages.
    if (printed && !state->inPage)
        render->OnEndDoc();
    state->render.Reset();
    return printed && !state->failed;
}

void EngineJob::Cancel()
{
    state->canceled = true;
}

bool EngineJob::IsCanceled() const
{
    return state->canceled;
}
