#include "support/printer_streams.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace std::literals;

namespace {

class Cursor {
public:
    explicit Cursor(const std::string &s) : data(s) {}

    size_t Left() const { return data.size() - at; }
    size_t At() const { return at; }
    bool AtEnd() const { return at == data.size(); }
    bool Starts(std::string_view prefix) const { return std::string_view(data).substr(at).starts_with(prefix); }
    uint8_t Peek(size_t offset = 0) const { return static_cast<uint8_t>(data[at + offset]); }
    bool Take(std::string_view prefix)
    {
        if (!Starts(prefix))
            return false;
        at += prefix.size();
        return true;
    }
    bool Skip(uint64_t count)
    {
        if (count > Left())
            return false;
        at += static_cast<size_t>(count);
        return true;
    }
    // A text line up to CR LF, which is consumed; false when none ends.
    bool Line(std::string &line)
    {
        const size_t end = data.find("\r\n", at);
        if (end == std::string::npos)
            return false;
        line = data.substr(at, end - at);
        at = end + 2;
        return true;
    }
    // A decimal number followed by the separator, both consumed.
    bool Number(char separator, long &value)
    {
        const size_t end = data.find(separator, at);
        if (end == std::string::npos || end == at || end - at > 11)
            return false;
        char *stop = nullptr;
        const std::string text = data.substr(at, end - at);
        value = std::strtol(text.c_str(), &stop, 10);
        if (*stop != '\0')
            return false;
        at = end + 1;
        return true;
    }

private:
    const std::string &data;
    size_t at = 0;
};

StreamCheck Fail(StreamCheck check, const std::string &what, size_t at)
{
    check.whole = false;
    check.problem = what + " at byte " + std::to_string(at);
    return check;
}

uint32_t Le16(const Cursor &c, size_t offset)
{
    return c.Peek(offset) | (static_cast<uint32_t>(c.Peek(offset + 1)) << 8);
}

}  // namespace

StreamCheck CheckTsplStream(const std::string &stream)
{
    StreamCheck check;
    Cursor c(stream);
    while (!c.AtEnd()) {
        const size_t start = c.At();
        if (!c.Starts("SIZE "))
            return Fail(check, "page does not start with SIZE", start);
        std::string line;
        for (;;) {
            if (c.Take("BITMAP ")) {
                long x, y, width, height, mode, length;
                if (!c.Number(',', x) || !c.Number(',', y) || !c.Number(',', width) || !c.Number(',', height) ||
                    !c.Number(',', mode) || width < 0 || height < 0)
                    return Fail(check, "BITMAP header cut short", c.At());
                if (mode == 3) {
                    if (!c.Number(',', length))
                        return Fail(check, "BITMAP length cut short", c.At());
                } else {
                    length = width * height;
                }
                if (!c.Skip(static_cast<uint64_t>(length)) || !c.Take("\r\n"))
                    return Fail(check, "BITMAP data cut short", c.At());
                if (!c.Take("PRINT 1,1\r\n"))
                    return Fail(check, "page does not end with PRINT", c.At());
                ++check.pages;
                break;
            }
            if (!c.Line(line))
                return Fail(check, "command line cut short", c.At());
        }
    }
    check.whole = true;
    return check;
}

StreamCheck CheckEscPosStream(const std::string &stream)
{
    StreamCheck check;
    Cursor c(stream);
    bool bitmapSinceInit = true;
    while (!c.AtEnd()) {
        const size_t at = c.At();
        if (c.Take("\x1b\x40\x00"sv)) {
            if (!bitmapSinceInit)
                return Fail(check, "page without a bitmap", at);
            bitmapSinceInit = false;
        } else if (c.Take("\x1b\x61\x01"sv) || c.Take("\x1b\x70\x00\xff\xff"sv) || c.Take("\x1d\x56\x30"sv) ||
                   c.Take("\x1d\x56\x31"sv)) {
        } else if (c.Starts("\x1b\x4a"sv)) {
            if (!c.Skip(3))
                return Fail(check, "feed cut short", at);
        } else if (c.Starts("\x1d\x76\x30"sv)) {
            if (c.Left() < 8)
                return Fail(check, "raster command cut short", at);
            const uint64_t length = static_cast<uint64_t>(Le16(c, 4)) * Le16(c, 6);
            if (!c.Skip(8) || !c.Skip(length))
                return Fail(check, "raster data cut short", at);
            bitmapSinceInit = true;
            ++check.pages;
        } else {
            return Fail(check, "unknown or cut command", at);
        }
    }
    if (!bitmapSinceInit)
        return Fail(check, "stream ends inside a page", c.At());
    check.whole = true;
    return check;
}

StreamCheck CheckCpclStream(const std::string &stream)
{
    StreamCheck check;
    Cursor c(stream);
    std::string line;
    while (!c.AtEnd()) {
        size_t at = c.At();
        if (!c.Line(line) || line.rfind("! ", 0) != 0)
            return Fail(check, "label does not start with its header line", at);
        at = c.At();
        if (!c.Line(line) || line.rfind("PAGE-WIDTH ", 0) != 0)
            return Fail(check, "PAGE-WIDTH missing or cut", at);
        at = c.At();
        long width, height, x;
        if (!c.Take("CG ") || !c.Number(' ', width) || !c.Number(' ', height) || !c.Number(' ', x) ||
            !c.Line(line) || line != "0" || width < 0 || height < 0)
            return Fail(check, "CG line missing or cut", at);
        (void)x;
        if (!c.Skip(static_cast<uint64_t>(width) * static_cast<uint64_t>(height)))
            return Fail(check, "CG data cut short", c.At());
        c.Take("FORM\r\n");
        if (!c.Take("PRINT\r\n"))
            return Fail(check, "label does not end with PRINT", c.At());
        ++check.pages;
    }
    check.whole = true;
    return check;
}

StreamCheck CheckPaperangStream(const std::string &stream, int tailCommand)
{
    StreamCheck check;
    Cursor c(stream);
    // 0: between pages, 1: begun, 2: tree sent, 3: ended, waiting for the tail.
    int state = 0;
    while (!c.AtEnd()) {
        const size_t at = c.At();
        if (c.Left() < 4 || c.Peek(0) != 0xA5 || c.Peek(1) != 0x01)
            return Fail(check, "frame start missing or cut", at);
        const uint32_t length = Le16(c, 2);
        if (c.Left() < 4 + length + 5 || c.Peek(4 + length + 4) != 0x5A)
            return Fail(check, "frame cut short", at);
        if (length < 5 || c.Peek(4) != 0x05 || c.Peek(6) != 0x03 || Le16(c, 7) + 5 != length)
            return Fail(check, "malformed packet", at);
        const int command = c.Peek(5);
        c.Skip(4 + length + 5);
        if (state == 3 && command == tailCommand) {
            state = 0;
            ++check.pages;
            continue;
        }
        if (state == 3)
            return Fail(check, "page tail missing", at);
        switch (command) {
        case 0x19:
            if (state != 0)
                return Fail(check, "page begun inside a page", at);
            state = 1;
            break;
        case 0x1C:
            if (state != 1)
                return Fail(check, "tree out of place", at);
            state = 2;
            break;
        case 0x1B:
            if (state != 2)
                return Fail(check, "band out of place", at);
            break;
        case 0x1A:
            if (state != 2)
                return Fail(check, "end out of place", at);
            state = 3;
            if (tailCommand == 0) {
                state = 0;
                ++check.pages;
            }
            break;
        default:
            return Fail(check, "unexpected command", at);
        }
    }
    if (state != 0)
        return Fail(check, "stream ends inside a page", c.At());
    check.whole = true;
    return check;
}

StreamCheck CheckPeriPageStream(const std::string &stream)
{
    StreamCheck check;
    Cursor c(stream);
    bool pageOpen = false;
    while (!c.AtEnd()) {
        const size_t at = c.At();
        if (c.Take("\x10\xff\xfe\x01"sv)) {
            if (pageOpen)
                return Fail(check, "page begun inside a page", at);
            pageOpen = true;
            continue;
        }
        if (!pageOpen)
            return Fail(check, "command outside a page", at);
        if (c.Take("\x10\xff\xfe\x45"sv)) {
            pageOpen = false;
            ++check.pages;
        } else if (c.Starts("\x10\xff\x10\x03"sv) || c.Starts("\x10\xff\x10\x00"sv)) {
            if (!c.Skip(5))
                return Fail(check, "setting cut short", at);
        } else if (c.Take("\x1b\x40\x00"sv) || c.Take("\x1b\x61\x01"sv) || c.Take("\x1d\x0c"sv) ||
                   c.Take("\x10\x50"sv)) {
        } else if (c.Starts("\x1b\x4a"sv)) {
            if (!c.Skip(3))
                return Fail(check, "feed cut short", at);
        } else if (c.Starts("\x1d\x76\x30"sv)) {
            if (c.Left() < 8)
                return Fail(check, "raster command cut short", at);
            const uint64_t length = static_cast<uint64_t>(Le16(c, 4)) * Le16(c, 6);
            if (!c.Skip(8) || !c.Skip(length))
                return Fail(check, "raster data cut short", at);
        } else if (c.Starts("\x1f\x00"sv)) {
            if (c.Left() < 10)
                return Fail(check, "compressed bitmap header cut short", at);
            const uint64_t length = (static_cast<uint64_t>(c.Peek(6)) << 24) | (c.Peek(7) << 16) |
                                    (c.Peek(8) << 8) | c.Peek(9);
            if (!c.Skip(10) || !c.Skip(length))
                return Fail(check, "compressed bitmap cut short", at);
        } else {
            return Fail(check, "unknown or cut command", at);
        }
    }
    if (pageOpen)
        return Fail(check, "stream ends inside a page", c.At());
    check.whole = true;
    return check;
}

StreamCheck CheckStreamOfModel(int modelNumber, const std::string &stream)
{
    switch (modelNumber) {
    case 20: return CheckTsplStream(stream);
    case 21: return CheckEscPosStream(stream);
    case 22: return CheckCpclStream(stream);
    case 23: return CheckPaperangStream(stream, 0x16);
    case 24: return CheckPeriPageStream(stream);
    default: return StreamCheck{};
    }
}
