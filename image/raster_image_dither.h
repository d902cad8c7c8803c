#pragma once

// The row walks behind CRasterImage::Dither. Each reads the 8-bit grey image
// row by row, writes the one-bit rows of bitmap (same size), keeps the grey
// image's progress field up to date and stops at the first row that finds
// its escape field set.
#include "image/raster_image.h"

#include <cstdint>

// Methods 0, 2, 3, 4, 5 and 6 (any other number is 0): spreads each pixel's
// error into the grey image itself.
void DiffuseRows(int32_t method, CRasterImage &grey, CRasterImage &bitmap);

// Methods 1, 7, 8 and 9; the grey image is left as it is.
void OrderedRows(int32_t method, CRasterImage &grey, CRasterImage &bitmap);

// The automatic half-tone: pixels near an edge between ink and paper, and
// blank paper and solid ink themselves, are thresholded at level; all others
// are diffused with the Floyd-Steinberg kernel among themselves only.
void AutoHalftoneRows(uint8_t level, CRasterImage &grey, CRasterImage &bitmap);
