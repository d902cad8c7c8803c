#include "app/picture_layout.h"

#include "app/grey_picture.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int64_t kMaxPictureSide = int64_t{1} << 24;
// Placements are kept below this, so that a dot's position times a picture
// side stays far inside 64 bits.
constexpr int64_t kMaxPlacement = int64_t{1} << 36;

// The pixel of `pixels` under the centre of dot `dot` of `dots`, both
// counted along one side: 0 <= dot < dots gives 0 <= pixel < pixels.
int64_t CentreSample(int64_t dot, int64_t pixels, int64_t dots)
{
    return (2 * dot + 1) * pixels / (2 * dots);
}

int64_t AtLeastOneDot(int64_t size)
{
    return std::clamp<int64_t>(size, 1, kMaxPlacement);
}

PictureLayout::Turn TurnFor(ipp_orient_t orientation, int64_t pictureWidth, int64_t pictureHeight,
                            const PageFrame &page)
{
    switch (orientation) {
    case IPP_ORIENT_LANDSCAPE: return PictureLayout::Turn::Left;
    case IPP_ORIENT_REVERSE_LANDSCAPE: return PictureLayout::Turn::Right;
    case IPP_ORIENT_REVERSE_PORTRAIT: return PictureLayout::Turn::Half;
    case IPP_ORIENT_PORTRAIT: return PictureLayout::Turn::None;
    default: break;
    }
    // None asked for: a wide picture on a tall page is turned.
    return pictureWidth > pictureHeight && page.width < page.height ? PictureLayout::Turn::Left
                                                                    : PictureLayout::Turn::None;
}

}  // namespace

std::optional<PictureLayout> PictureLayout::For(uint32_t pictureWidth, uint32_t pictureHeight, uint32_t ppi,
                                                const PageFrame &page, ipp_orient_t orientation,
                                                pappl_scaling_t scaling)
{
    if (pictureWidth == 0 || pictureHeight == 0 || pictureWidth > kMaxPictureSide ||
        pictureHeight > kMaxPictureSide || page.width == 0 || page.height == 0)
        return std::nullopt;
    PictureLayout layout;
    layout.turn = TurnFor(orientation, pictureWidth, pictureHeight, page);
    const bool sideways = layout.turn == Turn::Left || layout.turn == Turn::Right;
    const int64_t across = sideways ? pictureHeight : pictureWidth;
    const int64_t down = sideways ? pictureWidth : pictureHeight;

    // The printable area; a filled page has none of its margins.
    const bool noMargins = page.left == 0 && page.top == 0 && page.right == 0 && page.bottom == 0;
    int64_t areaLeft = page.left, areaTop = page.top;
    int64_t areaWidth = int64_t{page.width} - page.left - page.right;
    int64_t areaHeight = int64_t{page.height} - page.top - page.bottom;
    if (scaling == PAPPL_SCALING_FILL) {
        areaLeft = areaTop = 0;
        areaWidth = page.width;
        areaHeight = page.height;
    }
    if (areaWidth <= 0 || areaHeight <= 0)
        return std::nullopt;

    // The picture's own size in dots, where the file gives its resolution.
    const int64_t xDpi = std::clamp<int64_t>(page.xDpi, 1, 65536);
    const int64_t yDpi = std::clamp<int64_t>(page.yDpi, 1, 65536);
    auto naturalWidth = [&](int64_t perInch) { return AtLeastOneDot(across * xDpi / perInch); };
    auto naturalHeight = [&](int64_t perInch) { return AtLeastOneDot(down * yDpi / perInch); };
    if (scaling == PAPPL_SCALING_AUTO || scaling == PAPPL_SCALING_AUTO_FIT) {
        if (ppi > 0 && naturalWidth(ppi) <= areaWidth && naturalHeight(ppi) <= areaHeight)
            scaling = PAPPL_SCALING_NONE;
        else if (scaling == PAPPL_SCALING_AUTO && noMargins)
            scaling = PAPPL_SCALING_FILL;
        else
            scaling = PAPPL_SCALING_FIT;
    }

    if (scaling == PAPPL_SCALING_NONE) {
        // A picture that does not say its size is taken at 200 pixels per
        // inch, about a screenshot on a letter page.
        const int64_t perInch = ppi > 0 ? ppi : 200;
        layout.width = naturalWidth(perInch);
        layout.height = naturalHeight(perInch);
    } else {
        // Fit: the whole picture inside the area; fill: the area covered.
        const bool fill = scaling == PAPPL_SCALING_FILL;
        const bool widthBound = (areaWidth * down <= areaHeight * across) != fill;
        if (widthBound) {
            layout.width = AtLeastOneDot(areaWidth);
            layout.height = AtLeastOneDot(areaWidth * down / across);
        } else {
            layout.height = AtLeastOneDot(areaHeight);
            layout.width = AtLeastOneDot(areaHeight * across / down);
        }
    }
    layout.left = areaLeft + (areaWidth - layout.width) / 2;
    layout.top = areaTop + (areaHeight - layout.height) / 2;
    return layout;
}

PictureLines::PictureLines(const GreyPicture &picture, const PictureLayout &layout, uint32_t pageWidth)
    : picture(picture), layout(layout), pageWidth(pageWidth)
{
    const int64_t first = std::clamp<int64_t>(layout.left, 0, pageWidth);
    const int64_t end = std::clamp<int64_t>(layout.left + layout.width, 0, pageWidth);
    firstColumn = static_cast<uint32_t>(first);
    columnOffsets.resize(static_cast<size_t>(end - first));
    const bool sideways = layout.turn == PictureLayout::Turn::Left || layout.turn == PictureLayout::Turn::Right;
    const int64_t across = sideways ? picture.Height() : picture.Width();
    const size_t rowLength = picture.Width();
    for (size_t i = 0; i < columnOffsets.size(); ++i) {
        // Column u of the turned picture under the dot's centre, 0 <= u < across.
        const auto u = static_cast<size_t>(CentreSample(first + static_cast<int64_t>(i) - layout.left, across, layout.width));
        switch (layout.turn) {
        case PictureLayout::Turn::None: columnOffsets[i] = u; break;
        case PictureLayout::Turn::Half: columnOffsets[i] = rowLength - 1 - u; break;
        case PictureLayout::Turn::Left: columnOffsets[i] = u * rowLength; break;
        case PictureLayout::Turn::Right: columnOffsets[i] = (picture.Height() - 1 - u) * rowLength; break;
        }
    }
}

void PictureLines::Line(uint32_t y, uint8_t *line) const
{
    std::memset(line, 255, pageWidth);
    if (y < layout.top || y >= layout.top + layout.height)
        return;
    const bool sideways = layout.turn == PictureLayout::Turn::Left || layout.turn == PictureLayout::Turn::Right;
    const int64_t down = sideways ? picture.Width() : picture.Height();
    // Row v of the turned picture under the line's centre, 0 <= v < down.
    const auto v = static_cast<size_t>(CentreSample(y - layout.top, down, layout.height));
    const size_t rowLength = picture.Width();
    size_t rowOffset = 0;
    switch (layout.turn) {
    case PictureLayout::Turn::None: rowOffset = v * rowLength; break;
    case PictureLayout::Turn::Half: rowOffset = (picture.Height() - 1 - v) * rowLength; break;
    case PictureLayout::Turn::Left: rowOffset = picture.Width() - 1 - v; break;
    case PictureLayout::Turn::Right: rowOffset = v; break;
    }
    const uint8_t *pixels = picture.Pixels().data() + rowOffset;
    uint8_t *out = line + firstColumn;
    for (size_t i = 0; i < columnOffsets.size(); ++i)
        out[i] = pixels[columnOffsets[i]];
}
