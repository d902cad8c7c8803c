#pragma once

#include <pappl/pappl.h>

// One web page per printer, linked from PAPPL's printer pages, that shows
// the last job's pages as pictures of the dots the printer received,
// decoded from the bytes sent with the preview tool's decoders.
void AddPreviewPage(pappl_printer_t *printer);
// Identify-Printer's "display" action: the page shows the message.
void DisplayMessage(pappl_printer_t *printer, const char *message);
// For a deleted printer: forgets its message and last job (PAPPL removes the
// page itself).
void RemovePreviewPage(pappl_printer_t *printer);
