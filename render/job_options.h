#pragma once

#include "render/settings.h"

#include <cstdint>
#include <span>
#include <string_view>

// The settings a job may choose beyond those IPP has attributes for (the
// printer application offers them as vendor attributes). Each is named
// once: its IPP attribute, its PPD keyword, its values and the settings
// field it fills.
enum class EJobOption {
    HalftoneMethod,
    ThresholdLevel,
    Brightness,
    Contrast,
    TrimTop,
    TrimBottom,
    TrimLeft,
    TrimRight,
    FeedAfterPage,
    BitmapCompression,
    PrintMethod,
    DottedLine,
    CutMode,
    CashDrawer,
    CutterMode,
    RollLength,
};
inline constexpr int kJobOptionCount = static_cast<int>(EJobOption::RollLength) + 1;

enum class EOptionKind { Keyword, Integer, Boolean };

// RollLength's values.
enum ERollLength : int32_t { kRollLengthContent = 0, kRollLengthPage = 1 };

// A named value: IPP keyword, PPD choice, the settings field's value.
struct tagOptionChoice {
    const char *ipp;
    const char *ppd;
    int32_t value;
};

struct tagJobOptionInfo {
    EJobOption id;
    const char *ippName;     // IPP attribute, without -default or -supported
    const char *ppdKeyword;  // null: the printer application's own
    EOptionKind kind;
    std::span<const tagOptionChoice> choices;  // Keyword
    int32_t min, max;                           // Integer; a Boolean is 0 or 1
    void (*store)(tagJobSettings &settings, int32_t value);
};

std::span<const tagJobOptionInfo> JobOptions();
const tagJobOptionInfo &JobOptionInfo(EJobOption option);
// The option of an IPP attribute name; null for none.
const tagJobOptionInfo *FindJobOption(std::string_view ippName);
// The choice of a value, or of an IPP keyword; null for none.
const tagOptionChoice *FindChoice(const tagJobOptionInfo &option, int32_t value);
const tagOptionChoice *FindChoice(const tagJobOptionInfo &option, std::string_view ipp);
