#pragma once

#include <cstddef>
#include <map>
#include <mutex>
#include <string>

// The bytes each printer received in its last job, kept so the web
// interface can show what the printer burned. Thread-safe.
class LastJobs {
public:
    // Jobs past this size are not kept: a preview of them would not fit a page.
    static constexpr size_t kMaxBytes = 32u << 20;

    struct Job {
        int id = 0;
        std::string bytes;
        bool tooLarge = false;
    };

    static LastJobs &Instance();

    void Put(int printerId, Job job);
    bool Get(int printerId, Job &job) const;
    void Forget(int printerId);

private:
    mutable std::mutex mutex;
    std::map<int, Job> jobs;
};
