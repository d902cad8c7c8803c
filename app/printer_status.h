#pragma once

#include <pappl/pappl.h>

// What each printer reports of itself (paper out, cover open, a jam, its
// battery), asked in its own language through the device it prints
// through: before and after each job, and when a client asks for the
// printer's attributes, at most once every few seconds. A job does not wait
// for a printer until it has once answered. A printer that does not answer
// a few times running is not asked again until its device address changes
// or the server restarts; its jobs print as before.

// Whether printers are asked at all (server setting status-queries).
void EnableStatusQueries(bool enabled);

// The printer's supplies: the paper roll, and the battery at a level in
// percent (-1: none reported).
void SetPrinterSupplies(pappl_printer_t *printer, int batteryPercent);

// PAPPL's status callback, for an idle printer.
bool RefreshPrinterStatus(pappl_printer_t *printer);

// Before a job: while the printer reports paper out, its cover open or a
// jam, the job waits with the reason shown; false when it was cancelled
// while waiting.
bool WaitUntilPrinterCanPrint(pappl_job_t *job, pappl_device_t *device);

// After a job: false, with the reason on the job and the printer, when the
// printer now reports a condition in which pages may not have printed.
bool CheckPrinterAfterJob(pappl_job_t *job, pappl_device_t *device);

// Forgets a deleted printer.
void ForgetPrinterStatus(pappl_printer_t *printer);
