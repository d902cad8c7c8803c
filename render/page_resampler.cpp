#include "render/page_resampler.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kOne = 65536;

}  // namespace

CPageResampler::Taps CPageResampler::AxisTaps(int64_t pixels, int64_t dots, int64_t firstDot, int64_t endDot)
{
    // Measured in units where a pixel is `dots` long and a dot `pixels`
    // long: dot d covers [d * pixels, (d + 1) * pixels), pixel p
    // [p * dots, (p + 1) * dots). Weights are rounded on their running sum,
    // so every dot's add up to exactly one.
    Taps axis;
    axis.first.reserve(static_cast<size_t>(endDot - firstDot) + 1);
    for (int64_t d = firstDot; d < endDot; ++d) {
        axis.first.push_back(axis.taps.size());
        const int64_t from = d * pixels;
        const int64_t to = from + pixels;
        int64_t covered = 0;
        uint32_t given = 0;
        for (int64_t p = from / dots; p < pixels && p * dots < to; ++p) {
            covered += std::min(to, (p + 1) * dots) - std::max(from, p * dots);
            const auto upTo = static_cast<uint32_t>((covered * kOne + pixels / 2) / pixels);
            if (upTo > given)
                axis.taps.push_back({static_cast<uint32_t>(p), upTo - given});
            given = upTo;
        }
    }
    axis.first.push_back(axis.taps.size());
    return axis;
}

CPageResampler::CPageResampler(const uint8_t *pixels, size_t stride, const tagPageLayout &layout, uint32_t mediaWidth)
    : layout(layout), mediaWidth(mediaWidth)
{
    const tagPageBox &box = layout.content;
    const bool sideways = layout.turn == EPageTurn::Left || layout.turn == EPageTurn::Right;
    across = sideways ? box.height : box.width;
    down = sideways ? box.width : box.height;
    turned.resize(static_cast<size_t>(across) * down);
    // Turned pixel (u, v) is page pixel (x, y) of the box.
    for (uint32_t y = 0; y < box.height; ++y) {
        const uint8_t *from = pixels + (box.top + static_cast<size_t>(y)) * stride + box.left;
        switch (layout.turn) {
        case EPageTurn::None: std::memcpy(&turned[static_cast<size_t>(y) * across], from, box.width); break;
        case EPageTurn::Half: {
            uint8_t *to = &turned[static_cast<size_t>(down - 1 - y) * across];
            for (uint32_t x = 0; x < box.width; ++x)
                to[across - 1 - x] = from[x];
            break;
        }
        case EPageTurn::Left:  // the top row becomes the left column, read upwards
            for (uint32_t x = 0; x < box.width; ++x)
                turned[static_cast<size_t>(down - 1 - x) * across + y] = from[x];
            break;
        case EPageTurn::Right:
            for (uint32_t x = 0; x < box.width; ++x)
                turned[static_cast<size_t>(x) * across + (across - 1 - y)] = from[x];
            break;
        }
    }

    firstColumn = static_cast<uint32_t>(std::clamp<int64_t>(layout.left, 0, mediaWidth));
    endColumn = static_cast<uint32_t>(std::clamp<int64_t>(layout.left + layout.width, 0, mediaWidth));
    columns = AxisTaps(across, layout.width, firstColumn - layout.left, endColumn - layout.left);
    firstPixel = across;
    endPixel = 0;
    for (const Tap &tap : columns.taps) {
        firstPixel = std::min(firstPixel, tap.pixel);
        endPixel = std::max(endPixel, tap.pixel + 1);
    }
    sums.resize(across);
    row.resize(across);
}

void CPageResampler::Line(uint32_t y, uint8_t *line)
{
    std::memset(line, 255, mediaWidth);
    if (y < layout.top || y >= layout.top + layout.height || firstPixel >= endPixel)
        return;
    // The content's rows under this line, averaged into one row...
    const Taps rows = AxisTaps(down, layout.height, y - layout.top, y - layout.top + 1);
    std::fill(sums.begin() + firstPixel, sums.begin() + endPixel, 0u);
    for (const Tap &tap : rows.taps) {
        const uint8_t *from = &turned[static_cast<size_t>(tap.pixel) * across];
        for (uint32_t x = firstPixel; x < endPixel; ++x)
            sums[x] += tap.weight * from[x];
    }
    for (uint32_t x = firstPixel; x < endPixel; ++x)
        row[x] = static_cast<uint8_t>((sums[x] + kOne / 2) / kOne);
    // ...then its pixels under each dot.
    for (uint32_t i = 0; i < endColumn - firstColumn; ++i) {
        uint32_t sum = 0;
        for (size_t k = columns.first[i]; k < columns.first[i + 1]; ++k)
            sum += columns.taps[k].weight * row[columns.taps[k].pixel];
        line[firstColumn + i] = static_cast<uint8_t>((sum + kOne / 2) / kOne);
    }
}
