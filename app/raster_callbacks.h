#pragma once

#include <pappl/pappl.h>

// PAPPL's raster callbacks: each job runs through the engine, page by page
// and line by line, with its settings mapped from the job's IPP attributes.
bool StartRasterJob(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device);
bool StartRasterPage(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device, unsigned page);
bool WriteRasterLine(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device, unsigned y,
                     const unsigned char *line);
bool EndRasterPage(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device, unsigned page);
bool EndRasterJob(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device);
