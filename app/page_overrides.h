#pragma once

#include "app/driver_table.h"
#include "app/job_settings.h"

#include <pappl/pappl.h>

#include <string>
#include <vector>

// IPP "overrides": settings for some pages of a job. Each collection names
// its pages (and documents: a job here has one) and the attributes that
// change for them.

// The member attributes this driver honours in an override.
std::vector<std::string> OverridableAttributes(const DriverRow &row);

// Applies every override that covers `page` (counted from 1) to the
// request. False when none covers the page. Members the driver does not
// honour are listed in `ignored`.
bool ApplyOverrides(const DriverRow &row, ipp_attribute_t *overrides, unsigned page, JobRequest &request,
                    std::vector<std::string> &ignored);
