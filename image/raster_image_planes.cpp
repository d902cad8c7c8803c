// The alpha plane and the selection plane: one byte per pixel, rows without
// padding.
#include "image/raster_image.h"

#include <algorithm>
#include <cstring>

void CRasterImage::AlphaClear()
{
    AlphaSet(static_cast<uint8_t>(0));
}

void CRasterImage::AlphaSet(uint8_t level)
{
    if (alpha.get() != nullptr)
        std::memset(alpha.get(), level, PlaneSize());
}

uint8_t CRasterImage::AlphaGet(int32_t x, int32_t y) const
{
    if (alpha.get() == nullptr || !IsInside(x, y))
        return 0;
    return BlindAlphaGet(x, y);
}

uint8_t CRasterImage::BlindAlphaGet(int32_t x, int32_t y) const
{
    return alpha.get()[static_cast<size_t>(y) * GetWidth() + static_cast<size_t>(x)];
}

bool CRasterImage::AlphaCopy(const CRasterImage &src)
{
    if (&src == this)
        return alpha.get() != nullptr;
    if (src.alpha.get() == nullptr || src.GetWidth() != GetWidth() || src.GetHeight() != GetHeight())
        return false;
    if (alpha.get() == nullptr && !alpha.Allocate(PlaneSize()))
        return false;
    std::memcpy(alpha.get(), src.alpha.get(), PlaneSize());
    info.alphaMax = src.info.alphaMax;
    return true;
}

bool CRasterImage::AlphaSet(CRasterImage &grey)
{
    if (&grey == this || !grey.IsValid() || grey.GetBpp() != 8 || grey.GetWidth() != GetWidth() ||
        grey.GetHeight() != GetHeight() || !grey.IsGrayScale())
        return false;
    if (alpha.get() == nullptr && !alpha.Allocate(PlaneSize()))
        return false;
    const uint32_t width = GetWidth();
    for (uint32_t y = 0; y < GetHeight(); ++y)
        std::memcpy(alpha.get() + static_cast<size_t>(y) * width, grey.GetBits(y), width);
    return true;
}

bool CRasterImage::AlphaMirror()
{
    if (alpha.get() == nullptr)
        return false;
    const uint32_t width = GetWidth();
    for (uint32_t y = 0; y < GetHeight(); ++y) {
        uint8_t *row = alpha.get() + static_cast<size_t>(y) * width;
        std::reverse(row, row + width);
    }
    return true;
}

bool CRasterImage::AlphaSplit(CRasterImage *dst) const
{
    if (alpha.get() == nullptr || dst == nullptr || dst == this)
        return false;
    CRasterImage plane(GetWidth(), GetHeight(), 8, 0);
    if (!plane.IsValid())
        return false;
    plane.SetGrayPalette();
    const uint32_t width = GetWidth();
    for (uint32_t y = 0; y < GetHeight(); ++y)
        std::memcpy(plane.GetBits(y), alpha.get() + static_cast<size_t>(y) * width, width);
    return dst->Transfer(plane, true);
}

bool CRasterImage::SelectionCreate()
{
    if (dib.get() == nullptr)
        return false;
    if (selection.get() == nullptr && !selection.Allocate(PlaneSize()))
        return false;
    std::memset(selection.get(), 255, PlaneSize());
    info.selectionBox.left = 0;
    info.selectionBox.top = head.biHeight;
    info.selectionBox.right = head.biWidth;
    info.selectionBox.bottom = 0;
    return true;
}

bool CRasterImage::SelectionDelete()
{
    if (info.ghost == nullptr)
        selection.Reset();
    info.selectionBox.left = head.biWidth;
    info.selectionBox.top = 0;
    info.selectionBox.right = 0;
    info.selectionBox.bottom = head.biHeight;
    return true;
}

bool CRasterImage::BlindSelectionIsInside(int32_t x, int32_t y) const
{
    if (selection.get() == nullptr)
        return true;
    return selection.get()[static_cast<size_t>(y) * GetWidth() + static_cast<size_t>(x)] != 0;
}

bool CRasterImage::SelectionCopy(const CRasterImage &src)
{
    if (&src == this)
        return selection.get() != nullptr;
    if (src.selection.get() == nullptr || src.GetWidth() != GetWidth() || src.GetHeight() != GetHeight())
        return false;
    if (selection.get() == nullptr && !selection.Allocate(PlaneSize()))
        return false;
    std::memcpy(selection.get(), src.selection.get(), PlaneSize());
    info.selectionBox = src.info.selectionBox;
    return true;
}

bool CRasterImage::SelectionMirror()
{
    if (selection.get() == nullptr)
        return false;
    const uint32_t width = GetWidth();
    for (uint32_t y = 0; y < GetHeight(); ++y) {
        uint8_t *row = selection.get() + static_cast<size_t>(y) * width;
        std::reverse(row, row + width);
    }
    // 64-bit on the way: the box may have been set to anything.
    const int64_t left = info.selectionBox.left;
    info.selectionBox.left = static_cast<int32_t>(int64_t{head.biWidth} - info.selectionBox.right);
    info.selectionBox.right = static_cast<int32_t>(int64_t{head.biWidth} - left);
    return true;
}
