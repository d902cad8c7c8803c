#pragma once

#include <cstddef>
#include <cstdint>

// Byte-level work on packed pixel rows of 1, 4, 8 or 24 bits per pixel, the
// leftmost pixel in the high bits of its byte. The geometry operations of
// CRasterImage run on these instead of the per-pixel accessors: a page is
// turned, mirrored or cut a whole byte (or 8 x 8 bit block) at a time.
namespace pixel_rows {

// Bytes that hold the pixels of a row of the given width (no padding).
inline size_t DataBytes(uint32_t width, uint32_t bpp)
{
    return (static_cast<size_t>(width) * bpp + 7) / 8;
}

// Writes the pixels of src in reverse order to dst: DataBytes(width, bpp)
// bytes, the bits after the last pixel zero. src and dst must not overlap.
void ReversePixels(const uint8_t *src, uint8_t *dst, uint32_t width, uint32_t bpp);

// Writes pixels first ... first + count - 1 of src to the start of dst:
// DataBytes(count, bpp) bytes, the bits after the last pixel zero. Reads no
// byte of src past the one holding pixel first + count - 1.
void ExtractPixels(const uint8_t *src, uint8_t *dst, uint32_t first, uint32_t count, uint32_t bpp);

// A block of rows as stored: row y starts at bits + y * stride.
struct Plane {
    uint8_t *bits = nullptr;
    size_t stride = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bpp = 0;
};

// Quarter turn of src into dst (dst is src.height wide and src.width high,
// same depth, rows cleared beforehand). Turn90: target (X, Y) takes source
// (w - 1 - Y, X); otherwise (turn by 270) target (X, Y) takes source
// (Y, h - 1 - X). Only target columns x0 ... x1 - 1 are written, so a caller
// can go band by band; x0 and x1 must be multiples of 8 (x1 may also be the
// target width), as one-bit targets are written a whole byte at a time.
void TurnBand(const Plane &src, const Plane &dst, bool turn90, uint32_t x0, uint32_t x1);

// Target columns per band: a band takes about as long as a few thousand rows
// of a row-wise operation, so progress and escape are handled per band.
uint32_t TurnBandWidth(uint32_t bpp);

}  // namespace pixel_rows
