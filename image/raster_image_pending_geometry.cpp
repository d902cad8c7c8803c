// Placeholders for image operations still to be written; each is removed
// from here when its real implementation lands.
#include "image/raster_image.h"

bool CRasterImage::Resample(int32_t, int32_t, int32_t, CRasterImage *) { return false; }
float CRasterImage::KernelBSpline(float) { return 0.0f; }
bool CRasterImage::Rotate(float, CRasterImage *) { return false; }
bool CRasterImage::Rotate180(CRasterImage *) { return false; }
bool CRasterImage::Mirror(bool, bool) { return false; }
bool CRasterImage::Crop(int32_t, int32_t, int32_t, int32_t, CRasterImage *) { return false; }
bool CRasterImage::Crop(const tagRECT &, CRasterImage *) { return false; }
