#pragma once

#include <pappl/pappl.h>

// How PAPPL turns each kind of document into a printer's bytes. PNG and
// JPEG pictures are read and laid out by dotweave; PWG and Apple raster go
// straight to the raster callbacks (PAPPL reads them as they arrive).
// Registered for each printer language's raw type, which every driver
// names as its format: PAPPL looks for a filter to the driver's format
// first, before its own ones to raster.
void AddDocumentFilters(pappl_system_t *system);

// Whether a spooled document of this type reaches dotweave on a printer
// whose driver names driverFormat: a picture, or the printer's raw type.
bool HasDocumentFilter(const char *format, const char *driverFormat);

