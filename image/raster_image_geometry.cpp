#include "image/raster_image.h"
#include "image/raster_image_target.h"

#include <algorithm>
#include <cstring>
#include <utility>

using raster_target::Percent;

bool CRasterImage::Mirror(bool mirrorSelection, bool mirrorAlpha)
{
    if (!IsValid())
        return false;
    // A ghost cannot take the result, and its copy would share the very
    // rows being reversed.
    if (IsGhost())
        return false;
    CRasterImage target(*this, false, true, true);
    if (!target.IsValid())
        return false;

    const pixel_rows::Plane src = raster_target::PlaneOf(*this);
    const pixel_rows::Plane dst = raster_target::PlaneOf(target);
    for (uint32_t y = 0; y < src.height; ++y)
        pixel_rows::ReversePixels(src.bits + y * src.stride, dst.bits + y * dst.stride, src.width, src.bpp);
    if (mirrorSelection)
        target.SelectionMirror();
    if (mirrorAlpha)
        target.AlphaMirror();
    return Transfer(target, true);
}

bool CRasterImage::Crop(int32_t left, int32_t top, int32_t right, int32_t bottom, CRasterImage *destination)
{
    if (!IsValid())
        return false;
    if (destination == nullptr && IsGhost())
        return false;
    const int32_t width = head.biWidth;
    const int32_t height = head.biHeight;
    // Vertical bounds count from the last row, as in a bottom-up bitmap.
    int32_t startX = std::max(0, std::min(left, width));
    int32_t endX = std::max(0, std::min(right, width));
    int32_t startY = height - std::max(0, std::min(top, height));
    int32_t endY = height - std::max(0, std::min(bottom, height));
    if (startX == endX || startY == endY)
        return false;
    if (startX > endX)
        std::swap(startX, endX);
    if (startY > endY)
        std::swap(startY, endY);

    const uint32_t newWidth = static_cast<uint32_t>(endX - startX);
    const uint32_t newHeight = static_cast<uint32_t>(endY - startY);
    CRasterImage target(0);
    target.CopyInfo(*this);
    if (target.Create(newWidth, newHeight, GetBpp(), GetType()) == nullptr) {
        SetLastError(target.GetLastError());
        return false;
    }
    target.SetPalette(GetPalette(), GetNumColors());
    target.info.transIndex = info.transIndex;
    target.info.transColor = info.transColor;

    const pixel_rows::Plane src = raster_target::PlaneOf(*this);
    const pixel_rows::Plane dst = raster_target::PlaneOf(target);
    for (uint32_t y = 0; y < newHeight; ++y) {
        SetProgress(Percent(y, newHeight));
        pixel_rows::ExtractPixels(src.bits + (static_cast<size_t>(startY) + y) * src.stride, dst.bits + y * dst.stride,
                                  static_cast<uint32_t>(startX), newWidth, src.bpp);
    }
    if (AlphaIsValid()) {
        if (!target.AlphaCreate())
            return false;
        const uint8_t *from = AlphaGetPointer() + static_cast<size_t>(startY) * GetWidth() + startX;
        uint8_t *to = target.AlphaGetPointer();
        for (uint32_t y = 0; y < newHeight; ++y, from += GetWidth(), to += newWidth)
            std::memcpy(to, from, newWidth);
    }
    return (destination != nullptr ? *destination : *this).Transfer(target, true);
}

bool CRasterImage::Crop(const tagRECT &rect, CRasterImage *destination)
{
    return Crop(rect.left, rect.top, rect.right, rect.bottom, destination);
}
