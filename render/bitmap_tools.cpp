#include "render/base_render.h"

#include <cstring>

void CBaseRender::Negative()
{
    uint8_t *bits = image.GetBits(0);
    if (bits == nullptr)
        return;
    const size_t count = static_cast<size_t>(image.GetEffWidth()) * image.GetHeight();
    for (size_t i = 0; i < count; ++i)
        bits[i] = static_cast<uint8_t>(~bits[i]);
}

void CBaseRender::AdjustEffWidthBits()
{
    uint8_t *bits = image.GetBits(0);
    // Row tails exist only in one-bit rows; in any other page the same bytes
    // are pixels.
    if (bits == nullptr || image.GetBpp() != 1)
        return;
    const uint32_t width = image.GetWidth();
    const uint32_t effWidth = image.GetEffWidth();
    const uint32_t height = image.GetHeight();
    const uint32_t whole = width / 8;
    const uint32_t rest = width % 8;
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t *row = bits + static_cast<size_t>(y) * effWidth;
        uint32_t k = whole;
        if (rest != 0) {
            row[k] |= static_cast<uint8_t>(0xFF >> rest);
            ++k;
        }
        if (k < effWidth)
            std::memset(row + k, 0xFF, effWidth - k);
    }
}
