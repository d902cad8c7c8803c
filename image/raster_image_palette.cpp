// Palette access, nearest-colour search and the transparent colour.
#include "image/raster_image.h"

#include <cstring>

tagRGBQUAD CRasterImage::RGBtoRGBQUAD(uint32_t rgbWord)
{
    tagRGBQUAD c;
    c.rgbRed = static_cast<uint8_t>(rgbWord & 0xFF);
    c.rgbGreen = static_cast<uint8_t>((rgbWord >> 8) & 0xFF);
    c.rgbBlue = static_cast<uint8_t>((rgbWord >> 16) & 0xFF);
    c.rgbReserved = 0;
    return c;
}

tagRGBQUAD CRasterImage::GetPaletteColor(uint8_t index) const
{
    const tagRGBQUAD *palette = GetPalette();
    if (palette == nullptr || index >= head.biClrUsed)
        return tagRGBQUAD{};
    return palette[index];
}

void CRasterImage::SetPaletteColor(uint8_t index, uint8_t r, uint8_t g, uint8_t b, uint8_t alphaValue)
{
    tagRGBQUAD c;
    c.rgbBlue = b;
    c.rgbGreen = g;
    c.rgbRed = r;
    c.rgbReserved = alphaValue;
    SetPaletteColor(index, c);
}

void CRasterImage::SetPaletteColor(uint8_t index, tagRGBQUAD c)
{
    tagRGBQUAD *palette = GetPalette();
    if (palette == nullptr || index >= head.biClrUsed)
        return;
    palette[index] = c;
    InvalidateNearestCache();
}

void CRasterImage::SetPaletteColor(uint8_t index, uint32_t rgbWord)
{
    SetPaletteColor(index, RGBtoRGBQUAD(rgbWord));
}

void CRasterImage::SetPalette(const tagRGBQUAD *palette, uint32_t numColors)
{
    tagRGBQUAD *own = GetPalette();
    if (palette == nullptr || own == nullptr)
        return;
    const uint64_t wanted = static_cast<uint64_t>(numColors) * sizeof(tagRGBQUAD);
    const uint32_t bytes = wanted < GetPaletteSize() ? static_cast<uint32_t>(wanted) : GetPaletteSize();
    std::memmove(own, palette, bytes);
    InvalidateNearestCache();
}

bool CRasterImage::IsGrayScale() const
{
    const tagRGBQUAD *palette = GetPalette();
    if (palette == nullptr)
        return false;
    for (uint32_t i = 0; i < head.biClrUsed; ++i) {
        if (palette[i].rgbBlue != i || palette[i].rgbGreen != i || palette[i].rgbRed != i)
            return false;
    }
    return true;
}

static bool SameColorWord(tagRGBQUAD a, tagRGBQUAD b)
{
    return a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed &&
           a.rgbReserved == b.rgbReserved;
}

uint8_t CRasterImage::GetNearestIndex(tagRGBQUAD c)
{
    const tagRGBQUAD *palette = GetPalette();
    if (palette == nullptr)
        return 0;
    if (info.lastColorValid && SameColorWord(info.lastColor, c))
        return info.lastColorIndex;
    info.lastColor = c;
    info.lastColorValid = true;

    uint32_t count = head.biClrImportant != 0 ? head.biClrImportant : head.biClrUsed;
    if (count > head.biClrUsed)
        count = head.biClrUsed;
    int32_t best = 200000;
    uint8_t bestIndex = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const int32_t db = palette[i].rgbBlue - c.rgbBlue;
        const int32_t dg = palette[i].rgbGreen - c.rgbGreen;
        const int32_t dr = palette[i].rgbRed - c.rgbRed;
        const int32_t distance = db * db + dg * dg + dr * dr;
        if (distance == 0) {
            bestIndex = static_cast<uint8_t>(i);
            break;
        }
        if (distance < best) {
            best = distance;
            bestIndex = static_cast<uint8_t>(i);
        }
    }
    info.lastColorIndex = bestIndex;
    return bestIndex;
}

void CRasterImage::SetTransIndex(int32_t index)
{
    info.transIndex = index < static_cast<int64_t>(head.biClrUsed) ? index : 0;
}

tagRGBQUAD CRasterImage::GetTransColor() const
{
    if (head.biBitCount == 24 || info.transIndex < 0)
        return info.transColor;
    if (info.transIndex > 255)
        return tagRGBQUAD{};
    return GetPaletteColor(static_cast<uint8_t>(info.transIndex));
}
