#pragma once

#include <pappl/pappl.h>

#include <vector>

// The drivers as PAPPL lists them, one per printer description.
std::vector<pappl_pr_driver_t> PapplDrivers();

// Describes a driver's printer to PAPPL: media, resolution, darkness,
// speed, the vendor attributes and the raster callbacks. Refuses a device
// address that does not reach a printer (a disk as a serial line, a folder
// outside the job-file folder), so no printer is made on it.
bool DescribeDriver(pappl_system_t *system, const char *driverName, const char *deviceUri, const char *deviceId,
                    pappl_pr_driver_data_t *data, ipp_t **attributes, void *context);

// While the server loads its saved printers, a device address that is
// refused now (saved by an earlier version, or its folder moved) loads with
// a warning instead: the device refuses to open with the reason, and the
// printer and its jobs are kept for the administrator to mend.
void SetLoadingSavedPrinters(bool loading);

// Picks a driver for a printer found on USB from its IEEE-1284 device ID.
const char *MatchDriver(const char *deviceInfo, const char *deviceUri, const char *deviceId, void *context);

// Sets up a newly created printer: its supplies, preview page and the login
// in front of its web page's buttons.
void SetUpPrinter(pappl_printer_t *printer, void *context);

// Active jobs a printer holds while the AppSocket listeners are on.
inline constexpr int kMaxActiveJobsWithRawSocket = 1000;
// Sets the printer's limit of active jobs for the server's options (for
// printers loaded from the saved state, which keeps an earlier limit).
void LimitActiveJobs(pappl_printer_t *printer, void *context);
