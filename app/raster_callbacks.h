#pragma once

#include <pappl/pappl.h>

#include <cstdint>

// PAPPL's raster callbacks: each job runs through the engine, page by page
// and line by line, with its settings mapped from the job's IPP attributes.
bool StartRasterJob(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device);
bool StartRasterPage(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device, unsigned page);
bool WriteRasterLine(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device, unsigned y,
                     const unsigned char *line);
// Starts a page of 8-bit grey (255 white, rows of `width` bytes) laid out
// on the loaded media, in place of StartRasterPage and its lines; ppi: its
// pixels per inch, 0 when not known. EndRasterPage ends it.
bool StartLaidOutPage(pappl_job_t *job, pappl_device_t *device, unsigned page, const uint8_t *pixels, uint32_t width,
                      uint32_t height, uint32_t ppi);
bool EndRasterPage(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device, unsigned page);
bool EndRasterJob(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device);
