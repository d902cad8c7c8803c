#pragma once

#include "app/page_tally.h"

#include <pappl/pappl.h>

// What a job printed, said at its end: its impressions count the pages that
// reached the printer; a job that sent none has failed, one that sent some
// says which it left out, and a raster job PAPPL stopped reading says why.
// `pagesBegun`: the pages the engine counted; `finished`: the engine ended
// the job without a failure of its own (it has said why). False when the job
// has failed.
bool ReportJobEnd(pappl_job_t *job, const PageTally &tally, int pagesBegun, bool finished);
