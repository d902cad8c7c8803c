#pragma once

#include <pappl/pappl.h>

class GreyPicture;

// Prints a picture document: laid out on the loaded media (see MediaFit),
// then every copy page by page through the raster callbacks, as any other
// job. False, with the job's message set, when the job did not print.
bool PrintPicture(pappl_job_t *job, pappl_device_t *device, const GreyPicture &picture);
