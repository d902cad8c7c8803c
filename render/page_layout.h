#pragma once

#include <cstdint>
#include <optional>

// Where a page of one size lands on media of another: its content (the
// page trimmed of white margins) turned a quarter when that shows it larger,
// scaled as the job asks and centred in the printable area. Sizes are dots
// (pixels of the page, dots of the media); every step is in 64-bit
// integers, so no shape, size or resolution divides by zero or overflows.

enum class EPageTurn { None, Left, Half, Right };  // Left: a quarter counter-clockwise
// Auto: fit; AutoFit: the content's own size where the page says it and
// that fits, else fit; Fit: the whole content inside the area; Fill: the
// media covered, the content cut at its edges; None: the content's own
// size, cut where larger.
enum class EPageScaling { Auto, AutoFit, Fit, Fill, None };

// A rectangle of a page, in its pixels.
struct tagPageBox {
    uint32_t left = 0, top = 0, width = 0, height = 0;
    bool operator==(const tagPageBox &) const = default;
};

struct tagLayoutMedia {
    uint32_t width = 0, height = 0;                 // dots
    uint32_t left = 0, top = 0, right = 0, bottom = 0;  // margins, dots
    uint32_t xDpi = 0, yDpi = 0;
    // A continuous roll: the height is the longest page the roll gives, and
    // the page is cut to its content's length plus the top and bottom
    // margins.
    bool roll = false;
};

struct tagPageLayout {
    // Turn: empty to choose the one that shows the content larger.
    static std::optional<tagPageLayout> For(const tagPageBox &content, uint32_t ppi, const tagLayoutMedia &media,
                                            std::optional<EPageTurn> turn, EPageScaling scaling);

    tagPageBox content;                // the part of the page laid out
    EPageTurn turn = EPageTurn::None;
    int64_t left = 0, top = 0;         // the turned content's top-left corner on the media
    int64_t width = 1, height = 1;     // its size on the media
    uint32_t mediaHeight = 0;          // the page's length: the media's, or on a roll the content's
};

// The box of a page's pixels darker than near-white (8-bit grey, 255
// white); the whole page when it has none.
tagPageBox ContentBox(const uint8_t *pixels, uint32_t width, uint32_t height, size_t stride);
