#include "preview/text_lines.h"

#include <cstdint>

namespace {

// Longer lines are not commands any of these printers take.
constexpr size_t kMaxLine = 1024;

}  // namespace

bool ReadTextLine(ByteCursor &cursor, std::string &line, bool &crlf, std::string_view what)
{
    line.clear();
    const size_t start = cursor.Offset();
    for (size_t i = 0; i <= kMaxLine; ++i) {
        uint8_t byte = 0;
        if (!cursor.Peek(i, byte))
            return cursor.FailAt(start + i, "the end of the " + std::string(what) + " line (CR LF), found the end of the stream");
        if (byte == '\n') {
            crlf = !line.empty() && line.back() == '\r';
            if (crlf)
                line.pop_back();
            return cursor.Skip(i + 1, what);
        }
        const bool crBeforeLf = byte == '\r' && cursor.Peek(i + 1, byte) && byte == '\n';
        if (!crBeforeLf && (byte < 0x20 || byte > 0x7E))
            return cursor.FailAt(start + i, "text in a " + std::string(what) + " line, found byte " + HexByte(byte));
        if (crBeforeLf)
            byte = '\r';
        line.push_back(static_cast<char>(byte));
    }
    return cursor.FailAt(start, "a " + std::string(what) + " line ending in CR LF within " + std::to_string(kMaxLine) + " bytes");
}

std::vector<std::string> SplitWords(std::string_view line, std::string_view separators)
{
    std::vector<std::string> words;
    size_t pos = 0;
    while (pos < line.size()) {
        const size_t end = line.find_first_of(separators, pos);
        const size_t stop = end == std::string_view::npos ? line.size() : end;
        if (stop > pos)
            words.emplace_back(line.substr(pos, stop - pos));
        pos = stop + 1;
    }
    return words;
}

bool ParseInt32(std::string_view text, int32_t &value)
{
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative)
        ++i;
    if (i == text.size() || text.size() - i > 10)
        return false;
    int64_t number = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        number = number * 10 + (text[i] - '0');
    }
    if (negative)
        number = -number;
    if (number < INT32_MIN || number > INT32_MAX)
        return false;
    value = static_cast<int32_t>(number);
    return true;
}

bool ReadNumberField(ByteCursor &cursor, char separator, int32_t &value, std::string_view what)
{
    const size_t start = cursor.Offset();
    std::string text;
    for (size_t i = 0; i <= 11; ++i) {
        uint8_t byte = 0;
        if (!cursor.Peek(i, byte))
            break;
        if (byte == static_cast<uint8_t>(separator)) {
            if (!ParseInt32(text, value))
                break;
            return cursor.Skip(i + 1, what);
        }
        text.push_back(static_cast<char>(byte));
    }
    return cursor.FailAt(start, std::string(what) + " (a decimal number followed by '" + separator + "')");
}
