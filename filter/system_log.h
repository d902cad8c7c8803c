#pragma once

#include <cstdarg>

// System-log output of the filter. Lines go to syslog; tests may install a
// tap that receives each formatted line instead.
void SysLog(int priority, const char *format, ...) __attribute__((format(printf, 2, 3)));
void VSysLog(int priority, const char *format, va_list args);

using SystemLogTap = void (*)(int priority, const char *line);
void SetSystemLogTap(SystemLogTap tap);
