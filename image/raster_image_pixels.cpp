// Reading and writing single pixels by palette index or by colour.
#include "image/raster_image.h"

uint8_t CRasterImage::GetPixelIndex(int32_t x, int32_t y) const
{
    if (dib.get() == nullptr || head.biClrUsed == 0)
        return 0;
    if (!IsInside(x, y)) {
        if (info.transIndex >= 0)
            return static_cast<uint8_t>(info.transIndex);
        return info.pixels[0];
    }
    return BlindGetPixelIndex(x, y);
}

uint8_t CRasterImage::BlindGetPixelIndex(int32_t x, int32_t y) const
{
    const uint8_t *row = info.pixels + static_cast<size_t>(y) * info.effWidth;
    switch (head.biBitCount) {
    case 8:
        return row[x];
    case 4: {
        const uint8_t byte = row[x >> 1];
        return (x & 1) != 0 ? byte & 0x0F : byte >> 4;
    }
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    default:
        return 0;
    }
}

void CRasterImage::SetPixelIndex(int32_t x, int32_t y, uint8_t index)
{
    if (dib.get() == nullptr || head.biClrUsed == 0 || !IsInside(x, y))
        return;
    BlindSetPixelIndex(x, y, index);
}

void CRasterImage::BlindSetPixelIndex(int32_t x, int32_t y, uint8_t index)
{
    uint8_t *row = info.pixels + static_cast<size_t>(y) * info.effWidth;
    switch (head.biBitCount) {
    case 8:
        row[x] = index;
        break;
    case 4: {
        uint8_t &byte = row[x >> 1];
        if ((x & 1) != 0)
            byte = static_cast<uint8_t>((byte & 0xF0) | (index & 0x0F));
        else
            byte = static_cast<uint8_t>((byte & 0x0F) | ((index & 0x0F) << 4));
        break;
    }
    case 1: {
        uint8_t &byte = row[x >> 3];
        const uint8_t mask = static_cast<uint8_t>(0x80 >> (x & 7));
        byte = (index & 1) != 0 ? static_cast<uint8_t>(byte | mask) : static_cast<uint8_t>(byte & ~mask);
        break;
    }
    default:
        break;
    }
}

tagRGBQUAD CRasterImage::GetPixelColor(int32_t x, int32_t y, bool withAlpha) const
{
    if (dib.get() == nullptr || !IsInside(x, y)) {
        if (info.transIndex >= 0)
            return head.biBitCount < 24 ? GetTransColor() : info.transColor;
        if (dib.get() == nullptr)
            return info.transColor;
        x = 0;
        y = 0;
    }
    tagRGBQUAD c = BlindGetPixelColor(x, y, false);
    if (head.biBitCount == 24)
        c.rgbReserved = info.transColor.rgbReserved;
    if (withAlpha && alpha.get() != nullptr)
        c.rgbReserved = BlindAlphaGet(x, y);
    return c;
}

tagRGBQUAD CRasterImage::BlindGetPixelColor(int32_t x, int32_t y, bool withAlpha) const
{
    tagRGBQUAD c;
    if (head.biClrUsed != 0) {
        c = GetPaletteColor(BlindGetPixelIndex(x, y));
    } else {
        const uint8_t *p = info.pixels + static_cast<size_t>(y) * info.effWidth + static_cast<size_t>(x) * 3;
        c.rgbBlue = p[0];
        c.rgbGreen = p[1];
        c.rgbRed = p[2];
        c.rgbReserved = 0;
    }
    if (withAlpha && alpha.get() != nullptr)
        c.rgbReserved = BlindAlphaGet(x, y);
    return c;
}

void CRasterImage::SetPixelColor(int32_t x, int32_t y, tagRGBQUAD c, bool withAlpha)
{
    if (dib.get() == nullptr || !IsInside(x, y))
        return;
    BlindSetPixelColor(x, y, c, withAlpha);
}

void CRasterImage::SetPixelColor(int32_t x, int32_t y, uint32_t rgbWord)
{
    SetPixelColor(x, y, RGBtoRGBQUAD(rgbWord), false);
}

void CRasterImage::BlindSetPixelColor(int32_t x, int32_t y, tagRGBQUAD c, bool withAlpha)
{
    if (head.biClrUsed != 0) {
        BlindSetPixelIndex(x, y, GetNearestIndex(c));
    } else {
        uint8_t *p = info.pixels + static_cast<size_t>(y) * info.effWidth + static_cast<size_t>(x) * 3;
        p[0] = c.rgbBlue;
        p[1] = c.rgbGreen;
        p[2] = c.rgbRed;
    }
    if (withAlpha)
        AlphaSet(x, y, c.rgbReserved);
}
