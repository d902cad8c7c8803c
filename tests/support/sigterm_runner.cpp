#include "support/sigterm_runner.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <ctime>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The process's peak resident memory so far, from its own memory map: the
// figure a wait reports would also count the test process's memory at fork.
long PeakRssKb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return 0;
}

}  // namespace

SigtermRun RunFilterWithSigterm(const std::string &ppdPath, const std::string &rasterPath,
                                const std::string &trigger, std::chrono::microseconds delay, bool slowReader)
{
    int outPipe[2];
    int errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0)
        throw std::runtime_error("pipe failed");
    auto start = std::chrono::steady_clock::now();
    bool triggered = trigger.empty();
    const pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        const int in = open(rasterPath.c_str(), O_RDONLY);
        if (in < 0)
            _exit(127);
        dup2(in, 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        close(outPipe[0]);
        close(errPipe[0]);
        setenv("PPD", ppdPath.c_str(), 1);
        // The shim drops the log lines: no capture file is named.
        setenv("LD_PRELOAD", DOTWEAVE_SYSLOG_SHIM_PATH, 1);
        unsetenv("DOTWEAVE_SYSLOG_CAPTURE");
        setenv("ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=1", 1);
        char name[] = "dotweave", job[] = "1", user[] = "tester", title[] = "job", copies[] = "1", options[] = "";
        char *argv[] = {name, job, user, title, copies, options, nullptr};
        execv(DOTWEAVE_FILTER_PATH, argv);
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);

    SigtermRun run;
    bool sent = false;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    char chunk[65536];
    while (open > 0) {
        // Wait for output, or until the signal is due.
        timespec wait{};
        timespec *timeout = nullptr;
        if (!triggered) {
            wait.tv_nsec = 200000;
            timeout = &wait;
        } else if (!sent) {
            const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
                start + delay - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                kill(child, SIGTERM);
                sent = true;
            } else {
                wait.tv_sec = static_cast<time_t>(left.count() / 1000000000);
                wait.tv_nsec = static_cast<long>(left.count() % 1000000000);
                timeout = &wait;
            }
        }
        if (ppoll(fds, 2, timeout, nullptr) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0)
                continue;
            const size_t want = (i == 0 && slowReader) ? 4096 : sizeof(chunk);
            const ssize_t n = read(fds[i].fd, chunk, want);
            if (n > 0) {
                (i == 0 ? run.out : run.err).append(chunk, static_cast<size_t>(n));
                if (i == 1)
                    run.peakRssKb = std::max(run.peakRssKb, PeakRssKb(child));
                if (!triggered && run.err.find(trigger) != std::string::npos) {
                    triggered = true;
                    start = std::chrono::steady_clock::now();
                }
                if (i == 0 && slowReader)
                    usleep(100);
            } else if (n == 0 || (n < 0 && errno != EINTR)) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    if (!sent)
        kill(child, SIGTERM);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        run.exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        run.exitStatus = -1, run.termSignal = WTERMSIG(status);
    return run;
}
