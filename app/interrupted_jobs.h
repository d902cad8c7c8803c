#pragma once

#include <pappl/pappl.h>

#include <string>

// Jobs that were printing when the server stopped without ending them (a
// crash, a kill, a power cut). PAPPL 1.3.1 reloads such a job from its state
// file as pending, and runs it again when the next job arrives: a job that
// crashed the server crashes it again, and under the service's
// Restart=on-failure that is a loop. Where the state was saved while the job
// printed, it reloads it as processing, and the job stays so for good.
//
// A small file beside the state file names the jobs being printed. At
// start-up each job it names that has not ended is held, with a message, so
// that nothing prints unasked and nothing is lost: a Release-Job prints it,
// a Cancel-Job drops it.
class InterruptedJobs {
public:
    // Holds the jobs the file at `path` names, then keeps the file up to
    // date through the system's event callback. Call once, after the state
    // is loaded and before the system runs.
    static void Watch(pappl_system_t *system, const std::string &path);
    // A job starts printing: a job that was held here says it is printed
    // again.
    static void Starting(pappl_job_t *job);
};
