#pragma once

#include "printers/driver_table.h"

#include <span>

// The MIME type of each printer language's own command stream. PAPPL sends
// the pictures it is given to a printer's raw type through dotweave's
// document filters, and lists the type among the formats a printer takes.
const char *RawFormat(EPrinterLanguage language);
// Every language's raw type, once each.
std::span<const char *const> RawFormats();
