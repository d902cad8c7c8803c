#include "filter/filter_output.h"

#include "filter/system_log.h"
#include "render/write_whole.h"

#include <cstdio>
#include <cstring>
#include <syslog.h>

// The scheduler's message function of libcups: prefix, colon, blank, the
// localised message and a line end.
extern "C" int _cupsLangPrintFilter(FILE *fp, const char *prefix, const char *message, ...)
    __attribute__((format(printf, 3, 4)));

bool CFilterOutput::Write(const void *data, size_t length)
{
    if (const int error = WriteWhole(1, data, length); error != 0) {
        SysLog(LOG_ERR, "WriteSpool: write failed: %s", std::strerror(error));
        _cupsLangPrintFilter(stderr, "ERROR", "The printer data could not be written: %s.", std::strerror(error));
        return false;
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
