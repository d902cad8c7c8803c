#include "image/raster_image.h"
#include "image/raster_image_target.h"

#include <algorithm>
#include <cmath>
#include <vector>

using raster_target::Percent;

namespace {

// Index of pixel x in a row of an indexed image.
inline uint8_t IndexAt(const uint8_t *row, uint32_t x, uint32_t bpp)
{
    switch (bpp) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
    default: return row[x];
    }
}

// A colour sum as the byte it ends up in: truncated to an unsigned integer,
// low eight bits kept. The sums are never negative; the guard only keeps a
// stray value from being undefined.
inline uint8_t LowByte(float sum)
{
    if (!(sum >= 0.0f))
        return 0;
    if (!(sum < 4294967296.0f))
        return 0;
    return static_cast<uint8_t>(static_cast<uint32_t>(sum));
}

struct Colour {
    float red, green, blue;
};

// Source colour at (x, y), inside the image, as the sampling modes read it.
inline Colour ColourAt(const CRasterImage &image, const tagRGBQUAD *palette, uint32_t x, uint32_t y)
{
    const uint8_t *row = image.GetBits(0) + static_cast<size_t>(y) * image.GetEffWidth();
    if (image.GetBpp() == 24) {
        const uint8_t *p = row + 3 * static_cast<size_t>(x);
        return {static_cast<float>(p[2]), static_cast<float>(p[1]), static_cast<float>(p[0])};
    }
    const tagRGBQUAD c = palette[IndexAt(row, x, image.GetBpp())];
    return {static_cast<float>(c.rgbRed), static_cast<float>(c.rgbGreen), static_cast<float>(c.rgbBlue)};
}

inline void PutColour(CRasterImage &target, uint32_t x, uint32_t y, uint8_t red, uint8_t green, uint8_t blue)
{
    if (target.GetBpp() == 24) {
        uint8_t *p = target.GetBits(0) + static_cast<size_t>(y) * target.GetEffWidth() + 3 * static_cast<size_t>(x);
        p[0] = blue;
        p[1] = green;
        p[2] = red;
    } else {
        target.SetPixelColor(static_cast<int32_t>(x), static_cast<int32_t>(y), RGBWord(red, green, blue));
    }
}

// Source pixel a target coordinate samples in the nearest and bilinear
// modes: the left or top edge of the target pixel, truncated.
inline uint32_t Sample(uint32_t i, float scale)
{
    return static_cast<uint32_t>(raster_target::TruncToInt(static_cast<float>(i) * scale));
}

void ResampleNearest(CRasterImage &image, CRasterImage &target, float xScale, float yScale)
{
    const uint32_t width = image.GetWidth(), height = image.GetHeight();
    const uint32_t newWidth = target.GetWidth(), newHeight = target.GetHeight();
    const uint32_t bpp = image.GetBpp();

    std::vector<uint32_t> columns(newWidth);
    for (uint32_t x = 0; x < newWidth; ++x)
        columns[x] = Sample(x, xScale);
    // The samples only grow, so the columns inside the image come first;
    // rounding can push the very last ones out, which then read the
    // accessors' outside value.
    const uint32_t inside = static_cast<uint32_t>(
        std::lower_bound(columns.begin(), columns.end(), width) - columns.begin());

    // An index comes back as the lowest index of the same colour.
    uint8_t map[256] = {};
    for (uint32_t i = 0; i < image.GetNumColors() && i < 256; ++i)
        map[i] = target.GetNearestIndex(image.GetPaletteColor(static_cast<uint8_t>(i)));

    for (uint32_t y = 0; y < newHeight; ++y) {
        image.SetProgress(Percent(y, newHeight));
        if (image.GetEscape() != 0)
            break;
        const uint32_t sy = Sample(y, yScale);
        uint32_t x = 0;
        if (sy < height) {
            const uint8_t *src = image.GetBits(0) + static_cast<size_t>(sy) * image.GetEffWidth();
            uint8_t *dst = target.GetBits(0) + static_cast<size_t>(y) * target.GetEffWidth();
            switch (bpp) {
            case 1:
                for (; x < inside; ++x)
                    if (map[IndexAt(src, columns[x], 1)] & 1)
                        dst[x >> 3] = static_cast<uint8_t>(dst[x >> 3] | (0x80u >> (x & 7)));
                break;
            case 4:
                for (; x < inside; ++x)
                    dst[x >> 1] = static_cast<uint8_t>(dst[x >> 1] |
                                                       ((map[IndexAt(src, columns[x], 4)] & 0x0F) << ((x & 1) ? 0 : 4)));
                break;
            case 8:
                for (; x < inside; ++x)
                    dst[x] = map[src[columns[x]]];
                break;
            default:
                for (; x < inside; ++x) {
                    const uint8_t *p = src + 3 * static_cast<size_t>(columns[x]);
                    dst[3 * static_cast<size_t>(x)] = p[0];
                    dst[3 * static_cast<size_t>(x) + 1] = p[1];
                    dst[3 * static_cast<size_t>(x) + 2] = p[2];
                }
                break;
            }
        }
        for (; x < newWidth; ++x)
            target.SetPixelColor(static_cast<int32_t>(x), static_cast<int32_t>(y),
                                 image.GetPixelColor(static_cast<int32_t>(columns[x]), static_cast<int32_t>(sy), true),
                                 false);
    }

    if (image.AlphaIsValid() && target.AlphaCreate()) {
        uint8_t *alpha = target.AlphaGetPointer();
        for (uint32_t y = 0; y < newHeight; ++y) {
            const int32_t sy = static_cast<int32_t>(Sample(y, yScale));
            for (uint32_t x = 0; x < newWidth; ++x)
                *alpha++ = image.AlphaGet(static_cast<int32_t>(columns[x]), sy);
        }
    }
}

void ResampleBSpline(CRasterImage &image, CRasterImage &target, float xScale, float yScale)
{
    const int32_t xmax = static_cast<int32_t>(image.GetWidth()) - 1;
    const int32_t ymax = static_cast<int32_t>(image.GetHeight()) - 1;
    const uint32_t newWidth = target.GetWidth(), newHeight = target.GetHeight();
    const tagRGBQUAD *palette = image.GetPalette();
    for (uint32_t y = 0; y < newHeight; ++y) {
        image.SetProgress(Percent(y, newHeight));
        if (image.GetEscape() != 0)
            break;
        const float fy = static_cast<float>(y) * yScale - 0.5f;
        const int32_t iy = raster_target::TruncToInt(std::floor(fy));
        const float dy = fy - std::floor(fy);
        for (uint32_t x = 0; x < newWidth; ++x) {
            const float fx = static_cast<float>(x) * xScale - 0.5f;
            const int32_t ix = raster_target::TruncToInt(std::floor(fx));
            const float dx = fx - std::floor(fx);
            float red = 0.0f, green = 0.0f, blue = 0.0f;
            for (int32_t m = -1; m <= 2; ++m) {
                const float wy = CRasterImage::KernelBSpline(static_cast<float>(m) - dy);
                const int64_t row = std::clamp<int64_t>(static_cast<int64_t>(iy) + m, 0, ymax);
                for (int32_t n = -1; n <= 2; ++n) {
                    const float w = CRasterImage::KernelBSpline(dx - static_cast<float>(n)) * wy;
                    const int64_t column = std::clamp<int64_t>(static_cast<int64_t>(ix) + n, 0, xmax);
                    const Colour c =
                        ColourAt(image, palette, static_cast<uint32_t>(column), static_cast<uint32_t>(row));
                    red += c.red * w;
                    green += c.green * w;
                    blue += c.blue * w;
                }
            }
            PutColour(target, x, y, LowByte(red), LowByte(green), LowByte(blue));
        }
    }
}

void ResampleBilinear(CRasterImage &image, CRasterImage &target, float xScale, float yScale)
{
    const uint32_t xmax = image.GetWidth() - 1;
    const uint32_t ymax = image.GetHeight() - 1;
    const uint32_t newWidth = target.GetWidth(), newHeight = target.GetHeight();
    const tagRGBQUAD *palette = image.GetPalette();
    const bool indexed = image.GetBpp() < 24;
    // Rounding can put a sample just past the last row or column; indexed
    // images then read the accessors' outside value, direct-colour rows
    // (which have none) the last row or column.
    auto colourAt = [&](uint32_t x, uint32_t y) -> Colour {
        if (x <= xmax && y <= ymax)
            return ColourAt(image, palette, x, y);
        if (!indexed)
            return ColourAt(image, palette, std::min(x, xmax), std::min(y, ymax));
        const tagRGBQUAD c =
            image.GetPaletteColor(image.GetPixelIndex(static_cast<int32_t>(x), static_cast<int32_t>(y)));
        return {static_cast<float>(c.rgbRed), static_cast<float>(c.rgbGreen), static_cast<float>(c.rgbBlue)};
    };
    auto mix = [](float c00, float c10, float c01, float c11, float dx, float dy) {
        const float left = c00 + (c01 - c00) * dy;
        const float right = c10 + (c11 - c10) * dy;
        return LowByte((right - left) * dx + left);
    };
    for (uint32_t y = 0; y < newHeight; ++y) {
        image.SetProgress(Percent(y, newHeight));
        if (image.GetEscape() != 0)
            break;
        const float fy = static_cast<float>(y) * yScale;
        const uint32_t iy = Sample(y, yScale);
        const uint32_t iy1 = std::min(ymax, iy + 1);
        const float dy = fy - static_cast<float>(iy);
        for (uint32_t x = 0; x < newWidth; ++x) {
            const float fx = static_cast<float>(x) * xScale;
            const uint32_t ix = Sample(x, xScale);
            const uint32_t ix1 = std::min(xmax, ix + 1);
            const float dx = fx - static_cast<float>(ix);
            const Colour c00 = colourAt(ix, iy), c10 = colourAt(ix1, iy);
            const Colour c01 = colourAt(ix, iy1), c11 = colourAt(ix1, iy1);
            PutColour(target, x, y, mix(c00.red, c10.red, c01.red, c11.red, dx, dy),
                      mix(c00.green, c10.green, c01.green, c11.green, dx, dy),
                      mix(c00.blue, c10.blue, c01.blue, c11.blue, dx, dy));
        }
    }
}

// Area-averaging shrink of a direct-colour image: every source pixel is
// spread over the target pixels its area covers, weights in thousandths.
// The sums are 64-bit: a strong shrink of a bright page passes 2^31.
void ShrinkAverage(CRasterImage &image, CRasterImage &target, float xScale, float yScale)
{
    const uint32_t width = image.GetWidth(), height = image.GetHeight();
    const uint32_t newWidth = target.GetWidth(), newHeight = target.GetHeight();
    const int64_t area = raster_target::TruncToInt(xScale * 1000.0f * yScale);
    const size_t entries = 3 * (static_cast<size_t>(newWidth) + 1);
    std::vector<int64_t> rowA(entries, 0), rowB(entries, 0);
    int64_t *current = rowA.data();
    int64_t *next = rowB.data();
    auto weight = [](float v) { return static_cast<int64_t>(raster_target::TruncToInt(v * 1000.0f)); };
    auto out = [area](int64_t sum) { return static_cast<uint8_t>(sum / area); };

    uint32_t rowsWritten = 0;
    uint8_t *output = target.GetBits(0);
    size_t k = 0;
    float yLimit = yScale - 1.0f;
    for (uint32_t j = 0; j < height; ++j) {
        image.SetProgress(Percent(j, height));
        if (image.GetEscape() != 0)
            break;
        const uint8_t *src = image.GetBits(0) + static_cast<size_t>(j) * image.GetEffWidth();
        float xLimit = xScale - 1.0f;
        k = 0;
        uint32_t emitted = 0;
        // Rounding in the running limits must not open a column or row
        // past the target: such pixels stay with the last one.
        if (static_cast<float>(j) < yLimit || rowsWritten == newHeight) {
            for (uint32_t m = 0; m < width; ++m, src += 3) {
                if (static_cast<float>(m) < xLimit || emitted == newWidth) {
                    for (size_t c = 0; c < 3; ++c)
                        current[k + c] += static_cast<int64_t>(src[c]) * 1000;
                } else {
                    const int64_t w = weight(static_cast<float>(m) - xLimit);
                    for (size_t c = 0; c < 3; ++c, ++k) {
                        current[k] += (1000 - w) * src[c];
                        current[k + 3] += src[c] * w;
                    }
                    xLimit += xScale;
                    ++emitted;
                }
            }
            continue;
        }
        const int64_t h = weight(static_cast<float>(j) - yLimit);
        for (uint32_t m = 0; m < width; ++m, src += 3) {
            if (static_cast<float>(m) < xLimit || emitted == newWidth) {
                for (size_t c = 0; c < 3; ++c) {
                    current[k + c] += (1000 - h) * src[c];
                    next[k + c] += src[c] * h;
                }
            } else {
                const int64_t w = weight(static_cast<float>(m) - xLimit);
                for (size_t c = 0; c < 3; ++c, ++k) {
                    const int64_t v = src[c];
                    current[k] += (1000 - h) * (1000 - w) * v / 1000;
                    *output++ = out(current[k]);
                    next[k] += (1000 - w) * h * v / 1000;
                    current[k + 3] += (1000 - h) * w * v / 1000;
                    next[k + 3] = h * w * v / 1000;
                }
                xLimit += xScale;
                ++emitted;
            }
        }
        if (emitted < newWidth) {
            *output++ = out(current[k]);
            *output++ = out(current[k + 1]);
            *output++ = out(current[k + 2]);
        }
        std::swap(current, next);
        next[0] = next[1] = next[2] = 0;
        ++rowsWritten;
        output = rowsWritten < newHeight ? target.GetBits(rowsWritten) : nullptr;
        yLimit += yScale;
    }
    if (rowsWritten < newHeight && output != nullptr)
        for (size_t i = 0; i < 3 * static_cast<size_t>(newWidth); ++i)
            *output++ = out(current[i]);
}

}  // namespace

float CRasterImage::KernelBSpline(float x)
{
    if (x > 2.0f)
        return 0.0f;
    auto cube = [](float t) { return t > 0.0f ? t * t * t : 0.0f; };
    const float a = cube(x + 2.0f);
    const float b = cube(x + 1.0f);
    const float c = cube(x);
    const float d = cube(x - 1.0f);
    return (a - 4.0f * b + 6.0f * c - 4.0f * d) * 0.16666667f;
}

bool CRasterImage::Resample(int32_t newWidth, int32_t newHeight, int32_t mode, CRasterImage *destination)
{
    if (newWidth == 0 || newHeight == 0)
        return false;
    // Nothing to sample without pixels.
    if (!IsValid())
        return false;
    if (destination == nullptr && IsGhost())
        return false;
    if (static_cast<uint32_t>(newWidth) == GetWidth() && static_cast<uint32_t>(newHeight) == GetHeight()) {
        if (destination != nullptr)
            destination->Copy(*this, true, true, true);
        return true;
    }

    const float xScale = static_cast<float>(head.biWidth) / static_cast<float>(newWidth);
    const float yScale = static_cast<float>(head.biHeight) / static_cast<float>(newHeight);
    CRasterImage target(0);
    if (!raster_target::Prepare(*this, target, static_cast<uint32_t>(newWidth), static_cast<uint32_t>(newHeight)))
        return false;

    if (mode == 1) {
        ResampleNearest(*this, target, xScale, yScale);
    } else {
        if (mode == 2)
            ResampleBSpline(*this, target, xScale, yScale);
        else if (newWidth < head.biWidth && newHeight < head.biHeight && GetBpp() == 24)
            ShrinkAverage(*this, target, xScale, yScale);
        else
            ResampleBilinear(*this, target, xScale, yScale);
        if (AlphaIsValid()) {
            CRasterImage grey(0);
            if (AlphaSplit(&grey) && grey.Resample(newWidth, newHeight, mode, nullptr))
                target.AlphaSet(grey);
        }
    }
    return (destination != nullptr ? *destination : *this).Transfer(target, true);
}
