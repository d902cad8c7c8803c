#include "render/media_kinds.h"

#include "render/settings.h"

namespace {

// Only labels with gaps have a gap length. First match wins.
constexpr tagMediaKind kMediaKinds[] = {
    {"Continuous", kMediaContinuous, 0, 0},   {"A4Stock", kMediaContinuous, 0, 0},
    {"Gap", kMediaGap, 3, 0},                 {"BLine", kMediaBlackMark, 0, 0},
    {"BLine_Fold", kMediaBlackMark, 0, 0},    {"Perforated", kMediaPerforated, 0, 0},
    {"Roll", kMediaRoll, 0, 0},               {"Recording", kMediaRecording, 0, 0},
    {"Tattoo", kMediaTattoo, 0, 0},           {"TattooWrinkle", kMediaTattooWrinkle, 0, 0},
    {"TattooGuidelines", kMediaTattooWrinkle, 0, 0},
};

}  // namespace

std::span<const tagMediaKind> MediaKinds()
{
    return kMediaKinds;
}

const tagMediaKind *FindMediaKind(std::string_view ppdChoice)
{
    for (const tagMediaKind &kind : kMediaKinds)
        if (ppdChoice == kind.ppdChoice)
            return &kind;
    return nullptr;
}
