// Placeholders for image operations still to be written; each is removed
// from here when its real implementation lands.
#include "image/raster_image.h"

bool CRasterImage::Dither(int32_t) { return false; }
