#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// A kind of paper, named as the PPDs' zeMediaTracking choices name it, and
// the media tracking settings it gives (iGap[0], [1] and [2]).
struct tagMediaKind {
    const char *ppdChoice;
    int32_t tracking;   // EMediaTracking
    int32_t gapLength;  // millimetres
    int32_t gapOffset;  // millimetres
};

std::span<const tagMediaKind> MediaKinds();
// The kind of a zeMediaTracking choice; null for a choice no kind has.
const tagMediaKind *FindMediaKind(std::string_view ppdChoice);
