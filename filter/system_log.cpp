#include "filter/system_log.h"

#include <cstdio>
#include <syslog.h>

namespace {
SystemLogTap g_tap = nullptr;
}

void SetSystemLogTap(SystemLogTap tap)
{
    g_tap = tap;
}

void VSysLog(int priority, const char *format, va_list args)
{
    if (g_tap != nullptr) {
        char line[8192];
        std::vsnprintf(line, sizeof(line), format, args);
        g_tap(priority, line);
        return;
    }
    vsyslog(priority, format, args);
}

void SysLog(int priority, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    VSysLog(priority, format, args);
    va_end(args);
}
