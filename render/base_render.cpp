#include "render/base_render.h"

#include <cstdarg>
#include <cstdio>
#include <syslog.h>

namespace {

// Messages and log lines are short; a longer one is cut here, never the
// printer's bytes.
constexpr size_t kLineRoom = 8192;

}  // namespace

bool CBaseRender::OnBeginBmp()
{
    if (header == nullptr) {
        AddLog("header == NULL");
        return true;
    }
    if (!initialized) {
        initialized = true;
        if (!OnInit())
            return false;
    }
    return AdjustImage();
}

bool CBaseRender::WriteSpool(const void *data, int length)
{
    if (failed)
        return false;
    if (length <= 0 || data == nullptr || output == nullptr)
        return true;
    if (!output->Write(data, static_cast<size_t>(length))) {
        // The output has said why; the stream is cut, and anything sent on
        // would reach the printer out of place.
        failed = true;
        return false;
    }
    return true;
}

void CBaseRender::Emit(Channel channel, const char *format, va_list args)
{
    if (output == nullptr)
        return;
    char line[kLineRoom];
    std::vsnprintf(line, sizeof(line), format, args);
    if (channel == Channel::Log)
        output->Log(LOG_DEBUG, line);
    else
        output->Message(IJobOutput::Level::Error, line);
}

void CBaseRender::AddLog(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    Emit(Channel::Log, format, args);
    va_end(args);
}

void CBaseRender::ReportError(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    Emit(Channel::Error, format, args);
    va_end(args);
}

bool CBaseRender::Fail(const char *format, ...)
{
    failed = true;
    va_list args;
    va_start(args, format);
    Emit(Channel::Error, format, args);
    va_end(args);
    return false;
}

bool CBaseRender::BufferIntact(const CMyBuffer &buffer)
{
    if (buffer.RanOutOfMemory())
        return Fail("Not enough memory to print this job.");
    if (!buffer.IsIntact())
        return Fail("The page is larger than the printer command buffer holds (%d bytes); it is not printed.",
                    buffer.GetMaxBufferSize());
    return true;
}

bool CBaseRender::SpoolBuffer(const CMyBuffer &buffer)
{
    if (failed)
        return false;
    return BufferIntact(buffer) && WriteSpool(buffer.GetBuffer(), buffer.GetBufferLength());
}
