#include "render/page_layout.h"

#include <algorithm>

namespace {

constexpr int64_t kMaxPageSide = int64_t{1} << 24;
// Placements are kept below this, so that a dot's position times a page
// side stays far inside 64 bits.
constexpr int64_t kMaxPlacement = int64_t{1} << 36;
// Pixels this light or lighter are paper: scanned and compressed pages
// are seldom pure white.
constexpr uint8_t kPaper = 240;

int64_t AtLeastOneDot(int64_t size)
{
    return std::clamp<int64_t>(size, 1, kMaxPlacement);
}

bool Sideways(EPageTurn turn)
{
    return turn == EPageTurn::Left || turn == EPageTurn::Right;
}

struct Area {
    int64_t left, top, width, height;
};

// The content's size in the area: fitted inside it, or covering it. A roll
// is filled across: its area's length is only the longest page it gives.
void Scale(int64_t across, int64_t down, const Area &area, bool fill, bool roll, int64_t &width, int64_t &height)
{
    const bool widthBound = (fill && roll) || ((area.width * down <= area.height * across) != fill);
    if (widthBound) {
        width = AtLeastOneDot(area.width);
        height = AtLeastOneDot(area.width * down / across);
    } else {
        height = AtLeastOneDot(area.height);
        width = AtLeastOneDot(area.height * across / down);
    }
}

}  // namespace

std::optional<tagPageLayout> tagPageLayout::For(const tagPageBox &content, uint32_t ppi, const tagLayoutMedia &media,
                                                std::optional<EPageTurn> turn, EPageScaling scaling)
{
    if (content.width == 0 || content.height == 0 || content.width > kMaxPageSide ||
        content.height > kMaxPageSide || media.width == 0 || media.height == 0)
        return std::nullopt;
    Area area{media.left, media.top, int64_t{media.width} - media.left - media.right,
              int64_t{media.height} - media.top - media.bottom};
    if (scaling == EPageScaling::Fill && !media.roll)
        area = {0, 0, media.width, media.height};
    if (area.width <= 0 || area.height <= 0)
        return std::nullopt;

    tagPageLayout layout;
    layout.content = content;
    if (turn) {
        layout.turn = *turn;
    } else if (media.roll) {
        // Receipts read along the roll: turned, a line of text would run
        // across it, however much larger it came out.
        layout.turn = EPageTurn::None;
    } else {
        // The turn that fits the content larger; upright when both do alike.
        int64_t width = 0, height = 0, turnedWidth = 0, turnedHeight = 0;
        Scale(content.width, content.height, area, false, media.roll, width, height);
        Scale(content.height, content.width, area, false, media.roll, turnedWidth, turnedHeight);
        layout.turn = turnedWidth * turnedHeight > width * height ? EPageTurn::Left : EPageTurn::None;
    }
    const int64_t across = Sideways(layout.turn) ? content.height : content.width;
    const int64_t down = Sideways(layout.turn) ? content.width : content.height;

    // The content's own size in dots, where the page gives its resolution.
    const int64_t xDpi = std::clamp<int64_t>(media.xDpi, 1, 65536);
    const int64_t yDpi = std::clamp<int64_t>(media.yDpi, 1, 65536);
    auto naturalWidth = [&](int64_t perInch) { return AtLeastOneDot(across * xDpi / perInch); };
    auto naturalHeight = [&](int64_t perInch) { return AtLeastOneDot(down * yDpi / perInch); };
    // Labels and receipts have no borderless prints to fill: auto fits.
    if (scaling == EPageScaling::Auto)
        scaling = EPageScaling::Fit;
    if (scaling == EPageScaling::AutoFit) {
        const bool fits = ppi > 0 && naturalWidth(ppi) <= area.width && (media.roll || naturalHeight(ppi) <= area.height);
        scaling = fits ? EPageScaling::None : EPageScaling::Fit;
    }
    if (scaling == EPageScaling::None) {
        // Content that does not say its size is taken at 200 pixels per
        // inch, about a screenshot on a letter page.
        const int64_t perInch = ppi > 0 ? ppi : 200;
        layout.width = naturalWidth(perInch);
        layout.height = naturalHeight(perInch);
    } else {
        Scale(across, down, area, scaling == EPageScaling::Fill, media.roll, layout.width, layout.height);
    }

    layout.mediaHeight = media.height;
    if (media.roll) {
        // As long as the content, within the longest page the roll gives.
        const int64_t length = std::min<int64_t>(layout.height, area.height);
        layout.mediaHeight = static_cast<uint32_t>(length + media.top + media.bottom);
        area.height = length;
    }
    layout.left = area.left + (area.width - layout.width) / 2;
    layout.top = area.top + (area.height - layout.height) / 2;
    return layout;
}

tagPageBox ContentBox(const uint8_t *pixels, uint32_t width, uint32_t height, size_t stride)
{
    uint32_t top = height, bottom = 0, left = width, right = 0;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t *row = pixels + y * stride;
        // The first dark pixel from the left, then the last from the right
        // beyond the box so far: most rows are scanned only at their ends.
        uint32_t x = 0;
        while (x < width && row[x] >= kPaper)
            ++x;
        if (x == width)
            continue;
        top = std::min(top, y);
        bottom = y;
        left = std::min(left, x);
        uint32_t last = width - 1;
        while (last > right && row[last] >= kPaper)
            --last;
        right = std::max(right, last);
    }
    if (top == height)
        return {0, 0, width, height};
    return {left, top, right - left + 1, bottom - top + 1};
}
