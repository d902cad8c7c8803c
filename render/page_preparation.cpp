#include "render/base_render.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// A one-bit page seen as rows of bytes: 0 bits are black dots, bit 7 is the
// leftmost dot. The bits past the width are ignored, whatever they hold,
// because the row tails are only made white at the end of the preparation.
class OneBitRows {
public:
    explicit OneBitRows(const CRasterImage &image)
        : bits(image.GetBits(0)), width(image.GetWidth()), height(image.GetHeight()),
          stride(image.GetEffWidth()), wholeBytes(width / 8),
          tailMask(static_cast<uint8_t>(0xFF00u >> (width % 8)))
    {
    }

    uint32_t Height() const { return height; }

    // Whether row y holds a black dot.
    bool HasBlack(uint32_t y) const
    {
        const uint8_t *row = Row(y);
        uint32_t i = 0;
        // Whole white words are skipped eight bytes at a time.
        for (; i + 8 <= wholeBytes; i += 8) {
            uint64_t word;
            std::memcpy(&word, row + i, sizeof(word));
            if (word != ~uint64_t{0})
                return true;
        }
        for (; i < wholeBytes; ++i)
            if (row[i] != 0xFF)
                return true;
        return BlackIn(wholeBytes, row) != 0;
    }

    // The leftmost black dot of row y at a column below `limit`, or `limit`.
    uint32_t FirstBlack(uint32_t y, uint32_t limit) const
    {
        const uint8_t *row = Row(y);
        const uint32_t lastByte = std::min((limit + 7) / 8, ByteCount());
        for (uint32_t i = 0; i < lastByte; ++i) {
            const uint8_t black = BlackIn(i, row);
            if (black != 0)
                return std::min(limit, i * 8 + static_cast<uint32_t>(std::countl_zero(black)));
        }
        return limit;
    }

    // The rightmost black dot of row y at a column of at least `floor`, or
    // `floor` - 1 (as a signed column) when there is none.
    int64_t LastBlack(uint32_t y, uint32_t floor) const
    {
        const uint8_t *row = Row(y);
        for (uint32_t i = ByteCount(); i > floor / 8; --i) {
            const uint8_t black = BlackIn(i - 1, row);
            if (black != 0) {
                const int64_t x = int64_t{i - 1} * 8 + 7 - std::countr_zero(black);
                return std::max<int64_t>(x, int64_t{floor} - 1);
            }
        }
        return int64_t{floor} - 1;
    }

private:
    const uint8_t *Row(uint32_t y) const { return bits + static_cast<size_t>(y) * stride; }
    uint32_t ByteCount() const { return wholeBytes + (tailMask != 0 ? 1 : 0); }

    // The black dots of byte i as set bits, the tail past the width cleared.
    uint8_t BlackIn(uint32_t i, const uint8_t *row) const
    {
        if (i < wholeBytes)
            return static_cast<uint8_t>(~row[i]);
        if (i == wholeBytes && tailMask != 0)
            return static_cast<uint8_t>(~row[i] & tailMask);
        return 0;
    }

    const uint8_t *bits;
    uint32_t width;
    uint32_t height;
    uint32_t stride;
    uint32_t wholeBytes;
    uint8_t tailMask;  // the dots of the last partial byte that lie inside the width
};

int64_t LimitDots(int64_t dots)
{
    // A limit that converts to a negative count (a hostile resolution) cuts nothing.
    return std::max<int64_t>(dots, 0);
}

int32_t ClampToInt32(int64_t v)
{
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

} // namespace

bool CBaseRender::AdjustImage()
{
    if (!image.IsValid())
        return true;

    if (image.GetBpp() > 23)
        image.GrayScale();
    if (halftone.iLiangdu != 0 || halftone.iDuibidu != 0)
        image.Light(halftone.iLiangdu, halftone.iDuibidu);
    if (halftone.iGrayMethod < kFloydSteinberg)
        image.Threshold(static_cast<uint8_t>(halftone.iThreValue & 0xFF));
    else if (halftone.iGrayMethod == kAutomatic)
        image.AutoHalftone(static_cast<uint8_t>(halftone.iThreValue & 0xFF));
    else
        image.Dither(LibraryDitherMethod(halftone.iGrayMethod));

    // Everything from here on reads the page as one-bit rows. A page the
    // conversion could not finish (no memory for the one-bit image) would
    // reach the printer as garbage, so it is dropped with a message instead.
    if (!image.IsValid() || image.GetBpp() != 1) {
        const char *why = image.GetLastError();
        if (why != nullptr && why[0] != '\0')
            ReportError("The page could not be converted to one bit per dot (%s); it is not printed.", why);
        else
            ReportError("The page could not be converted to one bit per dot; it is not printed.");
        CRasterImage empty;
        image.Transfer(empty);
        image.Destroy();
        return true;
    }

    CropWhiteEdge(halftone.iCropTopEdge, halftone.iCropBottomEdge, halftone.iCropLeftEdge,
                  halftone.iCropRightEdge);

    switch (regStruct.iRotate) {
    case kRotate180: image.Rotate(180.0f); break;
    case kRotate90: image.Rotate(90.0f); break;
    case kRotate270: image.Rotate(270.0f); break;
    default: break;
    }

    AdjustEffWidthBits();
    return true;
}

void CBaseRender::CropWhiteEdge(int top, int bottom, int left, int right)
{
    if (top == 0 && bottom == 0 && left == 0 && right == 0)
        return;
    // The scans read one-bit rows; any other page is left alone.
    if (!image.IsValid() || image.GetBpp() != 1)
        return;

    top = top < 0 ? 9999 : top;
    bottom = bottom < 0 ? 9999 : bottom;
    left = left < 0 ? 9999 : left;
    right = right < 0 ? 9999 : right;
    const int64_t dT = LimitDots(mm_2_dots(top));
    const int64_t dB = LimitDots(mm_2_dots(bottom));
    const int64_t dL = LimitDots(mm_2_dots(left));
    const int64_t dR = LimitDots(mm_2_dots(right));

    const int64_t width = image.GetWidth();
    const int64_t height = image.GetHeight();
    int64_t topCut = 0;
    int64_t bottomCut = 0;
    int64_t leftCut = 0;
    int64_t rightCut = 0;

    const OneBitRows rows(image);
    uint32_t firstRow = 0;
    while (firstRow < rows.Height() && !rows.HasBlack(firstRow))
        ++firstRow;
    // A page without any black dot keeps its full size.
    if (firstRow < rows.Height()) {
        uint32_t lastRow = rows.Height() - 1;
        while (lastRow > firstRow && !rows.HasBlack(lastRow))
            --lastRow;

        if (bottom > 0)
            bottomCut = std::min<int64_t>(height - 1 - lastRow, dB);
        if (top > 0)
            topCut = std::min<int64_t>(firstRow, dT);
        // Only rows between the first and the last black row can hold the
        // leftmost or rightmost black dot; the scans stop at the limits.
        if (left > 0) {
            uint32_t leftmost = static_cast<uint32_t>(std::min<int64_t>(width, dL));
            for (uint32_t y = firstRow; y <= lastRow && leftmost > 0; ++y)
                leftmost = rows.FirstBlack(y, leftmost);
            leftCut = leftmost;
        }
        if (right > 0) {
            // Columns at or right of `floor` decide the cut; one more than
            // the limit may go on the right edge.
            const int64_t reach = std::min<int64_t>(width, dR + 1);
            const uint32_t floor = static_cast<uint32_t>(width - reach);
            int64_t rightmost = int64_t{floor} - 1;
            for (uint32_t y = firstRow; y <= lastRow && rightmost < width - 1; ++y)
                rightmost = std::max(rightmost, rows.LastBlack(y, static_cast<uint32_t>(rightmost + 1)));
            rightCut = width - 1 - rightmost;
        }
    }

    // Nothing to cut: a crop would only copy the page twice over.
    if (topCut == 0 && bottomCut == 0 && leftCut == 0 && rightCut == 0)
        return;

    // The image library counts the rectangle's rows from the last stored row.
    CRasterImage cropped;
    if (!image.Crop(ClampToInt32(leftCut), ClampToInt32(bottomCut), ClampToInt32(width - rightCut),
                    ClampToInt32(height - topCut), &cropped)) {
        // The page ends up empty and is not printed: the scheduler must hear why.
        ReportError("The white edges of the page could not be cropped; it is not printed.");
    }
    image = cropped;
}

int CBaseRender::mm_2_dots(int mm) const
{
    const double dots = mm * (iDpi / 25.4) + 0.9999;
    // A value outside int (a hostile resolution or limit) would make the
    // conversion undefined; clamp it instead.
    if (!(dots < 2147483648.0))
        return INT_MAX;
    if (!(dots > -2147483649.0))
        return INT_MIN;
    return static_cast<int>(dots);
}
