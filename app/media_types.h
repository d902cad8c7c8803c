#pragma once

#include "app/driver_table.h"

#include <pappl/pappl.h>

#include <optional>
#include <span>
#include <string>

// The media kinds of a printer family. IPP's media-type names the kind;
// for plain labels media-tracking tells gaps from black marks. Together they
// give the PPD's zeMediaTracking choice.
struct MediaTypeRow {
    const char *type;    // media-type keyword
    const char *choice;  // zeMediaTracking choice; null: chosen by media-tracking
};

std::span<const MediaTypeRow> MediaTypes(EPrinterClass set);
const char *DefaultMediaType(EPrinterClass set);
pappl_media_tracking_t DefaultTracking(EPrinterClass set);
pappl_media_tracking_t SupportedTracking(EPrinterClass set);

// The zeMediaTracking choice for a media type and tracking; empty when the
// family has no such type or does not support that tracking.
std::optional<std::string> TrackingChoice(EPrinterClass set, const std::string &type, pappl_media_tracking_t tracking);
