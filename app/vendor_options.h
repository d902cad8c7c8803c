#pragma once

#include "printers/driver_table.h"

#include <pappl/pappl.h>

// The settings IPP has no attribute for, offered as vendor attributes: each
// option the driver's language takes, with its supported values and default
// (NAME-supported, NAME-default). A job's values are read in job_request.cpp.
void AddVendorAttributes(const tagDriverInfo &driver, pappl_pr_driver_data_t &data, ipp_t *attributes);
