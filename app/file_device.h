#pragma once

#include <optional>
#include <string>

// A device that writes each time it is opened to a new file in a folder:
// "jobfile:/var/tmp/labels" gives /var/tmp/labels/job-00001.prn, then
// job-00002.prn. A file is written as NAME.part and renamed when the
// device closes, so a file with the final name is complete. For trying
// the application without a printer, and for tests.
std::optional<std::string> ParseJobFileUri(const char *uri);

void AddJobFileScheme();
