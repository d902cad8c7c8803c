#include "image/raster_image.h"
#include "image/raster_image_target.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using raster_target::Percent;
using raster_target::TruncToInt;

namespace {

// A rotated corner of the image.
struct CPoint2F {
    float x = 0.0f;
    float y = 0.0f;
};

enum class Turn { None, By90, By270 };

}  // namespace

// Turns by a whole number of quarter turns other than a half turn. Every
// target pixel has a source pixel, so the result is exact and built from
// rows and bit blocks directly.
static bool TurnQuarters(CRasterImage &image, Turn turn, CRasterImage *destination)
{
    const uint32_t width = image.GetWidth();
    const uint32_t height = image.GetHeight();
    const bool sideways = turn != Turn::None;
    CRasterImage target(0);
    if (!raster_target::Prepare(image, target, sideways ? height : width, sideways ? width : height))
        return false;
    if (image.AlphaIsValid() && !target.AlphaCreate())
        return false;

    const pixel_rows::Plane src = raster_target::PlaneOf(image);
    const pixel_rows::Plane dst = raster_target::PlaneOf(target);
    if (!sideways) {
        for (uint32_t y = 0; y < height; ++y)
            pixel_rows::ExtractPixels(src.bits + y * src.stride, dst.bits + y * dst.stride, 0, width, src.bpp);
        if (image.AlphaIsValid())
            std::memcpy(target.AlphaGetPointer(), image.AlphaGetPointer(), static_cast<size_t>(width) * height);
    } else {
        const bool turn90 = turn == Turn::By90;
        const uint32_t band = pixel_rows::TurnBandWidth(src.bpp);
        for (uint32_t x0 = 0; x0 < height; x0 += std::min(band, height - x0)) {
            image.SetProgress(Percent(x0, height));
            if (image.GetEscape() != 0)
                break;
            const uint32_t x1 = x0 + std::min(band, height - x0);
            pixel_rows::TurnBand(src, dst, turn90, x0, x1);
            if (image.AlphaIsValid())
                pixel_rows::TurnBand(raster_target::AlphaPlaneOf(image), raster_target::AlphaPlaneOf(target), turn90,
                                     x0, x1);
        }
    }
    return (destination != nullptr ? *destination : image).Transfer(target, true);
}

// Any other angle: every target pixel is looked up in the source, which
// answers with the accessors' outside values where the turned area leaves
// the image.
static bool RotateFree(CRasterImage &image, double angle, CRasterImage *destination)
{
    const double radians = -angle * 1.5707963267948966 / 90;
    const double c = std::cos(radians);
    const double s = std::sin(radians);

    const double width = static_cast<int32_t>(image.GetWidth());
    const double height = static_cast<int32_t>(image.GetHeight());
    CPoint2F corners[4];
    const double px[4] = {0, width, 0, width};
    const double py[4] = {0, 0, height, height};
    for (int i = 1; i < 4; ++i) {
        corners[i].x = static_cast<float>(px[i] * c - py[i] * s);
        corners[i].y = static_cast<float>(px[i] * s + py[i] * c);
    }
    float minX = corners[0].x, maxX = corners[0].x, minY = corners[0].y, maxY = corners[0].y;
    for (const CPoint2F &p : corners) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    const int32_t newWidth = TruncToInt(std::floor(maxX + 0.5f - minX));
    const int32_t newHeight = TruncToInt(std::floor(maxY + 0.5f - minY));

    CRasterImage target(0);
    if (!raster_target::Prepare(image, target, static_cast<uint32_t>(std::max(newWidth, 0)),
                                static_cast<uint32_t>(std::max(newHeight, 0))))
        return false;
    const bool withAlpha = image.AlphaIsValid();
    if (withAlpha) {
        if (!target.AlphaCreate())
            return false;
        target.AlphaClear();
    }
    const bool indexed = image.GetBpp() < 24;

    const int64_t firstX = TruncToInt(minX), lastX = TruncToInt(maxX);
    const int64_t firstY = TruncToInt(minY), lastY = TruncToInt(maxY);
    int64_t Y = 0;
    for (int64_t y = firstY; y <= lastY; ++y, ++Y) {
        image.SetProgress(Percent(static_cast<uint64_t>(Y), static_cast<uint64_t>(newHeight)));
        if (image.GetEscape() != 0)
            break;
        int64_t X = 0;
        for (int64_t x = firstX; x <= lastX; ++x, ++X) {
            const double fx = static_cast<double>(x);
            const double fy = static_cast<double>(y);
            const int32_t oldX = TruncToInt(fx * c + fy * s + 0.5);
            const int32_t oldY = TruncToInt(fy * c - fx * s + 0.5);
            // X and Y stop at most one step past the target, which the
            // accessors ignore.
            const int32_t tx = static_cast<int32_t>(X);
            const int32_t ty = static_cast<int32_t>(Y);
            if (indexed)
                target.SetPixelIndex(tx, ty, image.GetPixelIndex(oldX, oldY));
            else
                target.SetPixelColor(tx, ty, image.GetPixelColor(oldX, oldY, true), false);
            if (withAlpha)
                target.AlphaSet(tx, ty, image.AlphaGet(oldX, oldY));
        }
    }
    return (destination != nullptr ? *destination : image).Transfer(target, true);
}

bool CRasterImage::Rotate(float angle, CRasterImage *destination)
{
    if (!IsValid())
        return false;
    const double degrees = angle;
    if (std::fmod(degrees, 180.0) == 0.0 && std::fmod(degrees, 360.0) != 0.0)
        return Rotate180(destination);
    if (!std::isfinite(degrees))
        return false;
    if (destination == nullptr && IsGhost())
        return false;
    // Whole quarter turns are exact; a full turn is an exact copy.
    const double rest = std::fmod(degrees, 360.0);
    if (rest == 0.0)
        return TurnQuarters(*this, Turn::None, destination);
    if (rest == 90.0 || rest == -270.0)
        return TurnQuarters(*this, Turn::By90, destination);
    if (rest == 270.0 || rest == -90.0)
        return TurnQuarters(*this, Turn::By270, destination);
    return RotateFree(*this, degrees, destination);
}

bool CRasterImage::Rotate180(CRasterImage *destination)
{
    if (!IsValid())
        return false;
    if (destination == nullptr && IsGhost())
        return false;
    const uint32_t width = GetWidth();
    const uint32_t height = GetHeight();
    CRasterImage target(0);
    if (!raster_target::Prepare(*this, target, width, height))
        return false;
    if (AlphaIsValid() && !target.AlphaCreate())
        return false;

    const pixel_rows::Plane src = raster_target::PlaneOf(*this);
    const pixel_rows::Plane dst = raster_target::PlaneOf(target);
    for (uint32_t y = 0; y < height; ++y) {
        SetProgress(Percent(y, height));
        pixel_rows::ReversePixels(src.bits + y * src.stride, dst.bits + (height - 1 - y) * dst.stride, width,
                                  src.bpp);
    }
    if (AlphaIsValid()) {
        const pixel_rows::Plane from = raster_target::AlphaPlaneOf(*this);
        const pixel_rows::Plane to = raster_target::AlphaPlaneOf(target);
        for (uint32_t y = 0; y < height; ++y)
            pixel_rows::ReversePixels(from.bits + y * from.stride, to.bits + (height - 1 - y) * to.stride, width, 8);
    }
    return (destination != nullptr ? *destination : *this).Transfer(target, true);
}
