#pragma once

// Straightforward pixel-by-pixel versions of the tone and dithering
// operations, written through the accessors; the fast row loops of the image
// library must give exactly their results.
#include "image/raster_image.h"

#include <cstdint>

namespace reference {

uint8_t Grey(tagRGBQUAD c);
bool GrayScale(CRasterImage &image);
bool Threshold(CRasterImage &image, uint8_t level);
bool Dither(CRasterImage &image, int32_t method);

}  // namespace reference
