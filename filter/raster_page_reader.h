#pragma once

#include "image/raster_image.h"
#include "render/page_assembler.h"

#include <cups/raster.h>

#include <cstdint>

// Reading the pages of a CUPS raster stream, many lines to a call.

// Reads `lines` lines of `lineBytes` bytes each into `target`. False when the
// stream ends first: what it delivered is in place and the rest of the
// target is white (0xFF).
bool ReadLines(cups_raster_t *ras, uint8_t *target, uint32_t lineBytes, uint32_t lines);

// Reads the lines of a begun page into its image; lines the stream never
// delivered are white.
void ReadPageLines(cups_raster_t *ras, CPageAssembler &page);

// Reads a page that RefusePage accepts into `image`, one stored row per line
// as CreateFromArray would build it; lines the stream never delivered are
// white. False, with nothing read, when the image cannot be created.
bool ReadPageIntoImage(cups_raster_t *ras, const cups_page_header2_t &header, CRasterImage &image);

// Reads and drops the lines of a page that is not printed, so the next page
// header is read where it starts. The header of a refused page may claim
// lines of any length: they are read in pieces, never into a buffer of the
// claimed size.
void SkipPageLines(cups_raster_t *ras, const cups_page_header2_t &header);
