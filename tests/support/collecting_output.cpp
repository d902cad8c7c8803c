#include "support/collecting_output.h"

bool CollectingOutput::Write(const void *data, size_t length)
{
    if (length > writeLimit - bytes.size()) {
        messages += "ERROR: The printer data could not be written.\n";
        return false;
    }
    bytes.append(static_cast<const char *>(data), length);
    return true;
}

void CollectingOutput::Message(Level level, const char *text)
{
    messages += level == Level::Error ? "ERROR: " : "INFO: ";
    messages += text;
    messages += '\n';
}

void CollectingOutput::Log(int priority, const char *text)
{
    logs.emplace_back(priority, text);
}
