#pragma once

#include <pappl/pappl.h>

#include <string>

// Saves PAPPL's state to `path` whole or not at all. PAPPL 1.3.1 empties the
// file first and writes it as it goes, right after the request that changed
// something: a server killed in between (a crash, a kill, a power cut) came
// back with no printers. The state goes to a file beside it, renamed over
// the old one once complete.
bool SaveStateFile(pappl_system_t *system, const std::string &path);
