// Tone operations that keep every pixel in place: grey conversion,
// brightness and contrast through a look-up table, and the fixed threshold.
#include "image/raster_image.h"
#include "image/raster_image_rows.h"

#include <array>
#include <cstring>

namespace {

// Blue byte of every palette entry, the grey level that entry stands for once
// the palette has been turned grey.
std::array<uint8_t, 256> BlueBytes(const tagRGBQUAD *palette, uint32_t numColors)
{
    std::array<uint8_t, 256> blue{};
    for (uint32_t i = 0; i < numColors && i < 256; ++i)
        blue[i] = palette[i].rgbBlue;
    return blue;
}

}  // namespace

bool CRasterImage::GrayScale()
{
    if (dib.get() == nullptr)
        return false;
    const uint32_t width = GetWidth();
    const uint32_t height = GetHeight();

    if (head.biBitCount > 8) {
        CRasterImage grey;
        grey.CopyInfo(*this);
        if (grey.Create(width, height, 8, GetType()) == nullptr)
            return false;
        grey.SetGrayPalette();
        if (info.transIndex >= 0)
            grey.SetTransIndex(rasterrows::GreyLevel(GetTransColor()));
        grey.SelectionCopy(*this);
        grey.AlphaCopy(*this);
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t *src = GetBits(y);
            uint8_t *dst = grey.GetBits(y);
            for (uint32_t x = 0; x < width; ++x, src += 3)
                dst[x] = rasterrows::GreyLevel(src[0], src[1], src[2]);
        }
        Transfer(grey, true);
        return true;
    }

    tagRGBQUAD *palette = GetPalette();
    const uint32_t numColors = head.biClrUsed;
    // An identity ramp maps every byte to itself: nothing to rewrite.
    const bool alreadyGrey = IsGrayScale();
    for (uint32_t i = 0; i < numColors; ++i)
        palette[i].rgbBlue = rasterrows::GreyLevel(palette[i]);
    InvalidateNearestCache();
    if (info.transIndex >= 0 && static_cast<uint32_t>(info.transIndex) < numColors)
        info.transIndex = palette[info.transIndex].rgbBlue;
    const std::array<uint8_t, 256> blue = BlueBytes(palette, numColors);

    if (head.biBitCount == 8) {
        if (!alreadyGrey) {
            uint8_t *bytes = GetBits(0);
            const size_t count = static_cast<size_t>(info.effWidth) * height;
            for (size_t i = 0; i < count; ++i)
                bytes[i] = blue[bytes[i]];
        }
        SetGrayPalette();
        return true;
    }

    CRasterImage grey;
    grey.CopyInfo(*this);
    if (grey.Create(width, height, 8, GetType()) == nullptr)
        return false;
    grey.SetGrayPalette();
    grey.SelectionCopy(*this);
    grey.AlphaCopy(*this);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t *src = GetBits(y);
        uint8_t *dst = grey.GetBits(y);
        if (head.biBitCount == 4) {
            for (uint32_t x = 0; x + 1 < width; x += 2, ++src) {
                dst[x] = blue[*src >> 4];
                dst[x + 1] = blue[*src & 0x0F];
            }
            if ((width & 1) != 0)
                dst[width - 1] = blue[*src >> 4];
        } else {
            uint32_t x = 0;
            for (; x + 8 <= width; x += 8, ++src)
                for (uint32_t bit = 0; bit < 8; ++bit)
                    dst[x + bit] = blue[(*src >> (7 - bit)) & 1];
            for (uint32_t bit = 0; x < width; ++x, ++bit)
                dst[x] = blue[(*src >> (7 - bit)) & 1];
        }
    }
    Transfer(grey, true);
    return true;
}

bool CRasterImage::Light(int32_t brightness, int32_t contrast)
{
    if (dib.get() == nullptr)
        return false;
    // 64 bits on the way in, so that no setting can overflow; for every
    // setting whose sums fit 32 bits the single-precision values are the same.
    const float k = static_cast<float>(int64_t{contrast} + 100) / 100.0f;
    const float offset = static_cast<float>(int64_t{brightness} + 128);
    uint8_t table[256];
    for (int32_t i = 0; i < 256; ++i) {
        float v = static_cast<float>(i - 128) * k;
        v = v + offset;
        v = v + 0.5f;
        // Compared before truncation so that no value outside int range is
        // ever converted; the outcome is that of truncating first.
        if (v >= 256.0f)
            table[i] = 255;
        else if (v < 1.0f)
            table[i] = 0;
        else
            table[i] = static_cast<uint8_t>(static_cast<int32_t>(v));
    }
    return Lut(table);
}

bool CRasterImage::Lut(const uint8_t *table)
{
    if (dib.get() == nullptr || table == nullptr)
        return false;
    const uint32_t height = GetHeight();
    const bool grey = IsGrayScale();

    if (head.biClrUsed != 0 && !(selection.get() != nullptr && head.biBitCount == 8 && grey)) {
        for (uint32_t i = 0; i < head.biClrUsed; ++i) {
            tagRGBQUAD c = GetPaletteColor(static_cast<uint8_t>(i));
            const bool white = c.rgbBlue == 255 && c.rgbGreen == 255 && c.rgbRed == 255;
            const bool black = c.rgbBlue == 0 && c.rgbGreen == 0 && c.rgbRed == 0;
            if (white || black)
                continue;
            c.rgbBlue = table[c.rgbBlue];
            c.rgbGreen = table[c.rgbGreen];
            c.rgbRed = table[c.rgbRed];
            SetPaletteColor(static_cast<uint8_t>(i), c);
        }
        if (grey)
            GrayScale();
        return true;
    }

    if (head.biBitCount == 24 && selection.get() == nullptr) {
        uint8_t *bytes = GetBits(0);
        const size_t count = static_cast<size_t>(info.effWidth) * height;
        for (size_t i = 0; i < count; ++i)
            bytes[i] = table[bytes[i]];
        return true;
    }

    // Walk the selection box, clipped to the image so that a box set to
    // anything can never reach past the rows.
    const tagRECT box = info.selectionBox;
    if (box.left == box.right || box.bottom == box.top)
        return false;
    const int64_t left = box.left < 0 ? 0 : box.left;
    const int64_t right = box.right > head.biWidth ? head.biWidth : box.right;
    const int64_t bottom = box.bottom < 0 ? 0 : box.bottom;
    const int64_t top = box.top > head.biHeight ? head.biHeight : box.top;
    const double step = 100.0 / (static_cast<double>(box.top) - static_cast<double>(box.bottom));
    for (int64_t y = bottom; y < top; ++y) {
        info.progress = static_cast<int32_t>(static_cast<double>(y - box.bottom) * step);
        uint8_t *row = GetBits(static_cast<uint32_t>(y));
        for (int64_t x = left; x < right; ++x) {
            if (!BlindSelectionIsInside(static_cast<int32_t>(x), static_cast<int32_t>(y)))
                continue;
            if (head.biBitCount == 8) {
                row[x] = table[row[x]];
            } else {
                uint8_t *p = row + 3 * x;
                p[0] = table[p[0]];
                p[1] = table[p[1]];
                p[2] = table[p[2]];
            }
        }
    }
    return true;
}

bool CRasterImage::Threshold(uint8_t level)
{
    return HalftoneWith(BitmapInfo::Fresh, [level](CRasterImage &grey, CRasterImage &bitmap) {
        uint8_t thresholds[rasterrows::kPatternWidth];
        std::memset(thresholds, level, sizeof(thresholds));
        const uint32_t width = grey.GetWidth();
        const uint32_t height = grey.GetHeight();
        for (uint32_t y = 0; y < height; ++y) {
            grey.info.progress = static_cast<int32_t>(int64_t{y} * 100 / height);
            if (grey.info.escape != 0)
                break;
            rasterrows::PackAbove(grey.GetBits(y), width, thresholds, bitmap.GetBits(y));
        }
    });
}
