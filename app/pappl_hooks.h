#pragma once

#include <pappl/pappl.h>

#include <mutex>
#include <string>

// dotweave-app's own definitions of a few functions PAPPL 1.3 calls through
// its symbol table, each working around a fault of that version
// (docs/pappl-notes.md): the job start guard (PAPPL's job functions), the
// attribute search lock (libcups's attribute search), the raster page
// header check (libcups's header reading), the media collection guard and
// the check of the control socket's clients (PAPPL's authorization).
// The executable exports them, so PAPPL's calls reach them instead of its
// own. Built only against PAPPL 1.3.

// Whether libpappl's calls reach every one of them; false, with the reason,
// when the program would run with PAPPL's faults (it then must not start).
bool PapplHooksBound(std::string &why);

// Held while one of a printer's jobs runs, from its start to its very end.
std::mutex &JobStartLock(pappl_printer_t *printer);

// Held while a search of an attribute list runs.
std::recursive_mutex &AttributeSearchLock();
