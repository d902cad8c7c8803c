#include "filter/filter_output.h"

#include "filter/system_log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <syslog.h>
#include <unistd.h>

// The scheduler's message function of libcups: prefix, colon, blank, the
// localised message and a line end.
extern "C" int _cupsLangPrintFilter(FILE *fp, const char *prefix, const char *message, ...)
    __attribute__((format(printf, 3, 4)));

bool CFilterOutput::Write(const void *data, size_t length)
{
    const char *bytes = static_cast<const char *>(data);
    while (length > 0) {
        const ssize_t written = write(1, bytes, length);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                // A non-blocking output that is full: wait until it takes more.
                pollfd out{1, POLLOUT, 0};
                poll(&out, 1, -1);
                continue;
            }
            const int error = errno;
            SysLog(LOG_ERR, "WriteSpool: write failed: %s", std::strerror(error));
            _cupsLangPrintFilter(stderr, "ERROR", "The printer data could not be written: %s.", std::strerror(error));
            return false;
        }
        bytes += written;
        length -= static_cast<size_t>(written);
    }
    std::fflush(stdout);
    return true;
}

void CFilterOutput::Message(Level level, const char *text)
{
    _cupsLangPrintFilter(stderr, level == Level::Error ? "ERROR" : "INFO", "%s", text);
}

void CFilterOutput::Log(int priority, const char *text)
{
    SysLog(priority, "%s", text);
}
