#pragma once

#include "image/raster_image.h"
#include "image/pixel_rows.h"

#include <climits>
#include <cmath>

namespace raster_target {

// Gives target the information, depth, type and palette of src at a new
// size. On failure src carries the reason, as if it had failed itself.
inline bool Prepare(CRasterImage &src, CRasterImage &target, uint32_t width, uint32_t height)
{
    target.CopyInfo(src);
    if (target.Create(width, height, src.GetBpp(), src.GetType()) == nullptr) {
        src.SetLastError(target.GetLastError());
        return false;
    }
    target.SetPalette(src.GetPalette(), 256);
    return true;
}

// The image's rows as a plane for the row helpers.
inline pixel_rows::Plane PlaneOf(const CRasterImage &image)
{
    pixel_rows::Plane plane;
    plane.bits = image.GetBits(0);
    plane.stride = image.GetEffWidth();
    plane.width = image.GetWidth();
    plane.height = image.GetHeight();
    plane.bpp = image.GetBpp();
    return plane;
}

// The alpha plane as an 8-bit plane (rows without padding).
inline pixel_rows::Plane AlphaPlaneOf(const CRasterImage &image)
{
    pixel_rows::Plane plane;
    plane.bits = image.AlphaGetPointer();
    plane.stride = image.GetWidth();
    plane.width = image.GetWidth();
    plane.height = image.GetHeight();
    plane.bpp = 8;
    return plane;
}

// Percentage of done out of total without overflow.
inline int32_t Percent(uint64_t done, uint64_t total)
{
    return total == 0 ? 0 : static_cast<int32_t>(done * 100 / total);
}

// Truncation toward zero, saturating where a plain cast would be undefined.
inline int32_t TruncToInt(double v)
{
    if (!(v > static_cast<double>(INT_MIN)))
        return v != v ? 0 : INT_MIN;
    if (!(v < static_cast<double>(INT_MAX)))
        return INT_MAX;
    return static_cast<int32_t>(v);
}

}  // namespace raster_target
