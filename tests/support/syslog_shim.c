/* Preloaded into the filter by tests: appends every system-log line, with
 * its priority, to the file named by DOTWEAVE_SYSLOG_CAPTURE. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <syslog.h>
#include <unistd.h>

static void capture(int priority, const char *format, va_list args)
{
    const char *path = getenv("DOTWEAVE_SYSLOG_CAPTURE");
    if (path == NULL)
        return;
    char line[8192];
    int head = snprintf(line, sizeof(line), "%d|", priority & LOG_PRIMASK);
    vsnprintf(line + head, sizeof(line) - (size_t)head - 1, format, args);
    size_t n = strlen(line);
    line[n++] = '\x1e'; /* record separator: lines may hold their own newlines */
    int fd = open(path, O_WRONLY | O_APPEND | O_CREAT, 0600);
    if (fd >= 0) {
        ssize_t ignored = write(fd, line, n);
        (void)ignored;
        close(fd);
    }
}

void vsyslog(int priority, const char *format, va_list args)
{
    capture(priority, format, args);
}

void syslog(int priority, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    capture(priority, format, args);
    va_end(args);
}

void __syslog_chk(int priority, int flag, const char *format, ...)
{
    (void)flag;
    va_list args;
    va_start(args, format);
    capture(priority, format, args);
    va_end(args);
}

void __vsyslog_chk(int priority, int flag, const char *format, va_list args)
{
    (void)flag;
    capture(priority, format, args);
}
