#include "render/cups_render.h"

#include "filter/system_log.h"
#include "printers/printer_cpcl.h"
#include "printers/printer_escpos.h"
#include "printers/printer_paperang.h"
#include "printers/printer_peripage.h"
#include "printers/printer_tspl.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <poll.h>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <syslog.h>
#include <unistd.h>

// The scheduler's message function of libcups: prefix, colon, blank, the
// localised message and a line end.
extern "C" int _cupsLangPrintFilter(FILE *fp, const char *prefix, const char *message, ...)
    __attribute__((format(printf, 3, 4)));

template <class T>
void CCupsRender<T>::OnBeginBmp()
{
    if (this->ppd == nullptr || this->header == nullptr) {
        AddLog("ppd == NULL || header == NULL");
        return;
    }
    if (!this->initialized) {
        this->OnInit();
        this->initialized = true;
    }
    this->AdjustImage();
}

template <class T>
void CCupsRender<T>::WriteSpool(const void *data, int length)
{
    // After a failed write the stream is cut: anything sent on would reach
    // the printer out of place.
    if (length <= 0 || data == nullptr || this->outputFailed)
        return;
    // The whole block must reach the printer: a write cut short by a signal
    // or a full pipe goes on where it stopped, so no command is truncated.
    const char *bytes = static_cast<const char *>(data);
    size_t left = static_cast<size_t>(length);
    while (left > 0) {
        const ssize_t written = write(1, bytes, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                // A non-blocking output that is full: wait until it takes more.
                pollfd out{1, POLLOUT, 0};
                poll(&out, 1, -1);
                continue;
            }
            const int error = errno;
            SysLog(LOG_ERR, "WriteSpool: write failed: %s", std::strerror(error));
            _cupsLangPrintFilter(stderr, "ERROR", "The printer data could not be written: %s.", std::strerror(error));
            this->outputFailed = true;
            return;
        }
        bytes += written;
        left -= static_cast<size_t>(written);
    }
    std::fflush(stdout);
}

template <class T>
void CCupsRender<T>::AddLog(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    VSysLog(LOG_DEBUG, format, args);
    va_end(args);
}

template <class T>
std::string CCupsRender<T>::GetMarkedOption(const char *keyword)
{
    ppd_choice_t *choice = this->ppd != nullptr ? ppdFindMarkedChoice(this->ppd, keyword) : nullptr;
    if (choice == nullptr) {
        AddLog("GetMarkedOption: %s is error", keyword);
        return std::string();
    }
    const ppd_option_t *option = choice->option;
    AddLog("%s: marked=%d, choice: %s, text: %s, code: %s, \t\t\tconflicted=%d, keyword: %s, defchoice: %s, "
           "option->text: %s, option->num_choices: %d",
           keyword, choice->marked, choice->choice, choice->text, choice->code != nullptr ? choice->code : "(null)",
           option != nullptr ? option->conflicted : 0, option != nullptr ? option->keyword : "(null)",
           option != nullptr ? option->defchoice : "(null)", option != nullptr ? option->text : "(null)",
           option != nullptr ? option->num_choices : 0);
    return std::string(choice->choice);
}

namespace {

struct MediaRow {
    const char *choice;
    int type;
    int length;
    int offset;
};

constexpr MediaRow kMediaTable[] = {
    {"Continuous", 0, 0, 0},  {"A4Stock", 0, 0, 0},       {"Gap", 1, 3, 0},
    {"BLine", 2, 0, 0},       {"BLine_Fold", 2, 0, 0},    {"Perforated", 3, 0, 0},
    {"Roll", 4, 0, 0},        {"Recording", 5, 0, 0},     {"Tattoo", 6, 0, 0},
    {"TattooWrinkle", 7, 0, 0}, {"TattooGuidelines", 7, 0, 0},
};

// Reads a choice as a decimal number the way atoi does (leading blanks, a
// sign, the leading digits, 0 without any), but clamps values that do not fit
// an int instead of leaving them undefined.
int ChoiceNumber(const std::string &choice)
{
    const long value = std::strtol(choice.c_str(), nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

// Longest reference offset or paper feed taken from an option, in
// millimetres. A metre is beyond any label or receipt; the bound keeps the
// products with the page resolution (at most 9600 dpi) within int and the
// number of feed commands small.
constexpr int kMaxLengthMm = 1000;

int LengthMm(int value)
{
    return std::clamp(value, -kMaxLengthMm, kMaxLengthMm);
}

// The reference options count millimetres at 8 dots per millimetre.
int Times8(int value)
{
    return LengthMm(value) * 8;
}

// Finishing choices are named after what the printer does.
struct NamedChoice {
    const char *choice;
    int value;
};

// ESC/POS: the cut at the end of the job or after every page, full or partial.
constexpr NamedChoice kCutModes[] = {
    {"None", 0}, {"JobFull", 1}, {"JobPartial", 2}, {"PageFull", 3}, {"PagePartial", 4},
};
// ESC/POS: the cash-drawer pulse before or after each page.
constexpr NamedChoice kCashDrawerPulses[] = {{"None", 0}, {"BeforePage", 1}, {"AfterPage", 2}};
// TSPL: what happens to each label once printed.
constexpr NamedChoice kCutterModes[] = {
    {"None", 0}, {"Tear", 1}, {"Cutter", 2}, {"Peel", 3}, {"PartialCutter", 4},
};

// The value of a named choice; false (value unchanged) for a name the
// table does not know.
template <size_t N>
bool NamedValue(const NamedChoice (&table)[N], const std::string &choice, int32_t &value)
{
    for (const NamedChoice &row : table) {
        if (choice == row.choice) {
            value = row.value;
            return true;
        }
    }
    return false;
}

}  // namespace

template <class T>
void CCupsRender<T>::GetPrinterParameters()
{
    tagREGSTRUCT &reg = this->regStruct;
    tagREGSTRUCTWITHALFTONE &tone = this->halftone;
    AddLog("CCupsRender::GetPrinterParameters");

    std::string choice = GetMarkedOption("MediaMethod");
    if (!choice.empty()) {
        reg.iPrinttype = (choice == "Normal" || choice == "Direct") ? 0 : 1;
        AddLog("iPrinttype = %d", reg.iPrinttype);
    }
    choice = GetMarkedOption("AdjustHoriaontal");
    if (!choice.empty()) {
        reg.iReference[0] = Times8(ChoiceNumber(choice));
        AddLog("iReference[0] = %d", reg.iReference[0]);
    }
    choice = GetMarkedOption("AdjustVertical");
    if (!choice.empty()) {
        reg.iReference[1] = Times8(ChoiceNumber(choice));
        AddLog("iReference[1] = %d", reg.iReference[1]);
    }
    choice = GetMarkedOption("zeMediaTracking");
    if (!choice.empty()) {
        for (const MediaRow &row : kMediaTable) {
            if (choice == row.choice) {
                reg.iGap[0] = row.type;
                reg.iGap[1] = row.length;
                reg.iGap[2] = row.offset;
                break;
            }
        }
        AddLog("Gap = %d, %d, %d", reg.iGap[0], reg.iGap[1], reg.iGap[2]);
    }
    choice = GetMarkedOption("FeedOffset");
    if (!choice.empty()) {
        reg.iOffset = ChoiceNumber(choice);
        reg.iFeedLength = LengthMm(reg.iOffset);
        AddLog("iOffset = %d", reg.iOffset);
    }
    choice = GetMarkedOption("Rotate");
    if (!choice.empty()) {
        reg.iRotate = ChoiceNumber(choice);
        AddLog("iRotate = %d", reg.iRotate);
    }
    choice = GetMarkedOption("Darkness");
    if (!choice.empty() && choice != "Default") {
        reg.iDensity = ChoiceNumber(choice);
        AddLog("iDensity = %d", reg.iDensity);
    } else {
        reg.iDensity = -1;
    }
    choice = GetMarkedOption("zePrintRate");
    if (!choice.empty() && choice != "Default") {
        reg.iSpeed = ChoiceNumber(choice);
        AddLog("iSpeed = %d", reg.iSpeed);
    } else {
        reg.iSpeed = -1;
    }
    choice = GetMarkedOption("AutoDotted");
    if (!choice.empty()) {
        reg.iDottedline = ChoiceNumber(choice) != 0;
        AddLog("iDottedline = %d", reg.iDottedline ? 1 : 0);
    }
    choice = GetMarkedOption("Brightness");
    tone.iLiangdu = ChoiceNumber(choice);
    AddLog("iLiangdu = %d", tone.iLiangdu);
    choice = GetMarkedOption("Contrast");
    if (!choice.empty()) {
        tone.iDuibidu = ChoiceNumber(choice);
        AddLog("iDuibidu = %d", tone.iDuibidu);
    }
    choice = GetMarkedOption("ImageFilter");
    if (!choice.empty()) {
        tone.iGrayMethod = ChoiceNumber(choice);
        AddLog("iGrayMethod = %d", tone.iGrayMethod);
    }
    choice = GetMarkedOption("Threshold");
    if (!choice.empty()) {
        tone.iThreValue = ChoiceNumber(choice);
        AddLog("iThreValue = %d", tone.iThreValue);
    }
    choice = GetMarkedOption("ImageCompress");
    if (!choice.empty()) {
        tone.ImageCompress = ChoiceNumber(choice) != 0;
        AddLog("ImageCompress = %d", tone.ImageCompress ? 1 : 0);
    }
    choice = GetMarkedOption("CropEdgeTop");
    if (!choice.empty()) {
        tone.iCropTopEdge = ChoiceNumber(choice);
        AddLog("iCropTopEdge = %d", tone.iCropTopEdge);
    }
    choice = GetMarkedOption("CropEdgeBottom");
    if (!choice.empty()) {
        tone.iCropBottomEdge = ChoiceNumber(choice);
        AddLog("iCropBottomEdge = %d", tone.iCropBottomEdge);
    }
    choice = GetMarkedOption("CropEdgeLeft");
    if (!choice.empty()) {
        tone.iCropLeftEdge = ChoiceNumber(choice);
        AddLog("iCropLeftEdge = %d", tone.iCropLeftEdge);
    }
    choice = GetMarkedOption("CropEdgeRight");
    if (!choice.empty()) {
        tone.iCropRightEdge = ChoiceNumber(choice);
        AddLog("iCropRightEdge = %d", tone.iCropRightEdge);
    }
    // Only the printer classes that cut or have a drawer offer these.
    if (NamedValue(kCutModes, GetMarkedOption("CutMode"), reg.iCutMode))
        AddLog("iCutMode = %d", reg.iCutMode);
    if (NamedValue(kCashDrawerPulses, GetMarkedOption("CashDrawer"), reg.iCashDrawer))
        AddLog("iCashDrawer = %d", reg.iCashDrawer);
    if (NamedValue(kCutterModes, GetMarkedOption("CutterMode"), reg.iCutterMode))
        AddLog("iCutterMode = %d", reg.iCutterMode);
}

template class CCupsRender<CPrinterTSPL>;
template class CCupsRender<CPrinterESCPOS>;
template class CCupsRender<CPrinterCPCL>;
template class CCupsRender<CPrinterPaperang>;
template class CCupsRender<CPrinterPeriPage>;
