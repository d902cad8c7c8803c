#include "app/last_jobs.h"

#include <utility>

LastJobs &LastJobs::Instance()
{
    static LastJobs instance;
    return instance;
}

void LastJobs::Put(int printerId, Job job)
{
    std::lock_guard<std::mutex> lock(mutex);
    jobs[printerId] = std::move(job);
}

bool LastJobs::Get(int printerId, Job &job) const
{
    std::lock_guard<std::mutex> lock(mutex);
    const auto found = jobs.find(printerId);
    if (found == jobs.end())
        return false;
    job = found->second;
    return true;
}

void LastJobs::Forget(int printerId)
{
    std::lock_guard<std::mutex> lock(mutex);
    jobs.erase(printerId);
}
