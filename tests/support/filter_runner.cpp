#include "support/filter_runner.h"

#include "support/temp_dir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

bool FilterResult::HasLog(const std::string &text) const
{
    for (const SysLogLine &line : syslog)
        if (line.text == text)
            return true;
    return false;
}

bool FilterResult::HasLog(int priority, const std::string &text) const
{
    for (const SysLogLine &line : syslog)
        if (line.priority == priority && line.text == text)
            return true;
    return false;
}

std::vector<std::string> FilterResult::ErrLines() const
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < err.size()) {
        size_t end = err.find('\n', start);
        if (end == std::string::npos)
            end = err.size();
        lines.push_back(err.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

namespace {

std::vector<SysLogLine> ParseCapture(const std::string &bytes)
{
    std::vector<SysLogLine> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\x1e', start);
        if (end == std::string::npos)
            end = bytes.size();
        const std::string record = bytes.substr(start, end - start);
        const size_t bar = record.find('|');
        if (bar != std::string::npos)
            lines.push_back({std::atoi(record.substr(0, bar).c_str()), record.substr(bar + 1)});
        start = end + 1;
    }
    return lines;
}

}  // namespace

FilterResult RunFilter(const FilterInvocation &invocation)
{
    ScopedTempDir scratch;
    const std::string capture = scratch.File("syslog");

    std::vector<std::string> args = invocation.args;
    if (args.empty()) {
        args = {"1", "tester", "test job", "1", invocation.options};
        if (invocation.rasterFile)
            args.push_back(*invocation.rasterFile);
    }

    int outPipe[2];
    int errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0)
        throw std::runtime_error("pipe failed");

    const pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        const int in = open(invocation.stdinPath ? invocation.stdinPath->c_str() : "/dev/null", O_RDONLY);
        if (in < 0)
            _exit(127);
        dup2(in, 0);
        if (invocation.stdoutPath) {
            const int out = open(invocation.stdoutPath->c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out < 0)
                _exit(127);
            dup2(out, 1);
        } else {
            dup2(outPipe[1], 1);
            if (invocation.nonBlockingStdout)
                fcntl(1, F_SETFL, fcntl(1, F_GETFL) | O_NONBLOCK);
        }
        dup2(errPipe[1], 2);
        close(outPipe[0]);
        close(errPipe[0]);
        if (invocation.ppdPath)
            setenv("PPD", invocation.ppdPath->c_str(), 1);
        else
            unsetenv("PPD");
        setenv("LD_PRELOAD", DOTWEAVE_SYSLOG_SHIM_PATH, 1);
        setenv("DOTWEAVE_SYSLOG_CAPTURE", capture.c_str(), 1);
        // A sanitizer runtime wants to be first; the shim only replaces syslog.
        setenv("ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=1", 1);
        std::vector<char *> argv;
        argv.push_back(const_cast<char *>("dotweave"));
        for (std::string &arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        execv(DOTWEAVE_FILTER_PATH, argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);

    FilterResult result;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    char chunk[65536];
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0)
                continue;
            if (i == 0 && invocation.stdoutReadPauseMs > 0)
                usleep(static_cast<useconds_t>(invocation.stdoutReadPauseMs) * 1000);
            const ssize_t n = read(fds[i].fd, chunk, sizeof(chunk));
            if (n > 0) {
                (i == 0 ? result.out : result.err).append(chunk, static_cast<size_t>(n));
                if (i == 1 && invocation.watcher)
                    invocation.watcher(child, result.err);
            }
            const bool enough = i == 0 && result.out.size() >= invocation.stdoutCloseAfter;
            if (n == 0 || (n < 0 && errno != EINTR) || enough) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        result.exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.termSignal = WTERMSIG(status);
    result.syslog = ParseCapture(ReadFileBytes(capture));
    return result;
}

FilterResult RunFilterOn(const std::string &ppdPath, const std::string &rasterPath, const std::string &options)
{
    FilterInvocation invocation;
    invocation.ppdPath = ppdPath;
    invocation.stdinPath = rasterPath;
    invocation.options = options;
    return RunFilter(invocation);
}
