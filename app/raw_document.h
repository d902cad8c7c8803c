#pragma once

#include <pappl/pappl.h>

#include <cstddef>

// PAPPL's callback for a document in the printer's own language: its bytes
// go to the printer unchanged, and show on the preview page.
bool PrintRawDocument(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device);

// The type of a document sent as application/octet-stream that PAPPL does
// not know: the raw type of the printer language its first bytes start, or
// null. PAPPL then takes it only on printers of that language.
const char *RecogniseRawDocument(const unsigned char *header, size_t size, void *context);
