#include "support/sigterm_runner.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

SigtermRun RunFilterWithSigterm(const std::string &ppdPath, const std::string &rasterPath,
                                std::chrono::microseconds delay, bool slowReader)
{
    int outPipe[2];
    int errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0)
        throw std::runtime_error("pipe failed");
    const auto start = std::chrono::steady_clock::now();
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
        int timeout = -1;
        if (!sent) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                start + delay - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                kill(child, SIGTERM);
                sent = true;
            } else {
                timeout = static_cast<int>(left.count());
            }
        }
        if (poll(fds, 2, sent ? -1 : timeout) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0)
                continue;
            const size_t want = (i == 0 && slowReader) ? 4096 : sizeof(chunk);
            const ssize_t n = read(fds[i].fd, chunk, want);
            if (n > 0) {
                (i == 0 ? run.out : run.err).append(chunk, static_cast<size_t>(n));
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
    rusage usage{};
    while (wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    run.peakRssKb = usage.ru_maxrss;
    if (WIFEXITED(status))
        run.exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        run.exitStatus = -1, run.termSignal = WTERMSIG(status);
    return run;
}
