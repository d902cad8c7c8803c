#pragma once

#include "app/job_settings.h"

#include <pappl/pappl.h>

#include <string>
#include <vector>

// IPP "overrides": settings for some pages of a job. Each collection names
// its pages (and documents: a job here has one) and the attributes that
// change for them.

// The member attributes this driver honours in an override.
std::vector<std::string> OverridableAttributes(const tagDriverInfo &driver);

struct OverrideResult {
    bool covered = false;              // an override covers the page
    std::vector<std::string> ignored;  // members the driver does not honour
    std::string refused;               // why a value cannot be printed; empty when none
};

// Applies every override that covers `page` (counted from 1) to the
// request. Page 0 applies every override, whatever its pages: a check of
// them all before the job prints.
OverrideResult ApplyOverrides(const tagDriverInfo &driver, ipp_attribute_t *overrides, unsigned page,
                              JobRequest &request);
