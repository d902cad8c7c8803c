#pragma once

#include "app/job_settings.h"

#include <pappl/pappl.h>

#include <string>

// Every value the application takes from IPP for a job is read here: the
// job's attributes and media-col as PAPPL hands them over, the vendor
// attributes (the job's, else the printer's defaults) and the members of
// IPP overrides. Each integer is checked against what the driver supports
// before anything computes with it; a value outside is refused, with a
// message naming the attribute and the supported range.

// The job's own values. False, with the message, when one is refused.
bool ReadJobRequest(const tagDriverInfo &driver, const pappl_pr_options_t &options, ipp_t *printerAttributes,
                    JobRequest &request, std::string &error);

enum class MemberResult {
    Applied,
    Ignored,  // an attribute the driver does not take in an override
    Refused,  // a value outside what the driver supports; error says why
};

// One member of an override collection, applied to the request.
MemberResult ApplyOverrideMember(const tagDriverInfo &driver, ipp_attribute_t *member, JobRequest &request,
                                 std::string &error);
