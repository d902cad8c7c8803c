// Placeholders for image operations still to be written; each is removed
// from here when its real implementation lands.
#include "image/raster_image.h"

bool CRasterImage::GrayScale() { return false; }
bool CRasterImage::Light(int32_t, int32_t) { return false; }
bool CRasterImage::Lut(const uint8_t *) { return false; }
bool CRasterImage::Threshold(uint8_t) { return false; }
bool CRasterImage::Dither(int32_t) { return false; }
