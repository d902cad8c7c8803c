#pragma once

#include <pappl/pappl.h>

#include <optional>
#include <string>

// A device that writes each job to a new file in a folder:
// "jobfile:/var/tmp/labels" gives /var/tmp/labels/job-00001.prn, then
// job-00002.prn. A file is written as NAME.part and renamed when its job
// ends, so a file with the final name is complete. For trying the
// application without a printer, and for tests.
std::optional<std::string> ParseJobFileUri(const char *uri);

// The one folder, with the folders below it, that job files may be written
// to, chosen by whoever starts the server; empty (the default): none.
void SetJobFileFolder(const std::string &folder);

// Why a job-file device may not write into the folder (outside the job-file
// folder, through "..", not an existing folder); empty when it may.
std::string JobFileFolderProblem(const std::string &folder);

void AddJobFileScheme();

// Ends the current file of a job-file device; the next byte written starts
// the next file. PAPPL keeps a device open from one queued job to the next,
// so only the job knows where its bytes end. Does nothing for other devices.
void EndJobFile(pappl_printer_t *printer, pappl_device_t *device);
