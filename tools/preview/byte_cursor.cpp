#include "preview/byte_cursor.h"

#include <cstdio>
#include <cstring>

std::string DecodeError::Message() const
{
    return "offset " + std::to_string(offset) + ": expected " + expected;
}

std::string HexByte(uint8_t value)
{
    char text[8];
    std::snprintf(text, sizeof(text), "0x%02X", value);
    return text;
}

ByteCursor::ByteCursor(const uint8_t *data, size_t size, DecodeError &error, size_t base)
    : data(data), size(data != nullptr ? size : 0), base(base), error(&error)
{
}

bool ByteCursor::Fail(std::string expected) const
{
    return FailAt(Offset(), std::move(expected));
}

bool ByteCursor::FailAt(size_t offset, std::string expected) const
{
    // The first failure is the one that explains the stream; later ones are
    // consequences of it.
    if (!error->failed) {
        error->failed = true;
        error->offset = offset;
        error->expected = std::move(expected);
    }
    return false;
}

bool ByteCursor::Need(size_t count, std::string_view what) const
{
    if (count <= Remaining())
        return true;
    std::string text(what);
    if (Remaining() == 0)
        text += ", found the end of the stream";
    else
        text += ", but only " + std::to_string(Remaining()) + " of the " + std::to_string(count) +
                " bytes it needs remain";
    return Fail(std::move(text));
}

bool ByteCursor::Peek(size_t ahead, uint8_t &value) const
{
    if (ahead >= Remaining())
        return false;
    value = data[pos + ahead];
    return true;
}

bool ByteCursor::StartsWith(std::string_view bytes) const
{
    return bytes.size() <= Remaining() && std::memcmp(data + pos, bytes.data(), bytes.size()) == 0;
}

bool ByteCursor::ReadU8(uint8_t &value, std::string_view what)
{
    if (!Need(1, what))
        return false;
    value = data[pos++];
    return true;
}

bool ByteCursor::ReadLe16(uint16_t &value, std::string_view what)
{
    if (!Need(2, what))
        return false;
    value = static_cast<uint16_t>(data[pos] | (data[pos + 1] << 8));
    pos += 2;
    return true;
}

bool ByteCursor::ReadBe16(uint16_t &value, std::string_view what)
{
    if (!Need(2, what))
        return false;
    value = static_cast<uint16_t>((data[pos] << 8) | data[pos + 1]);
    pos += 2;
    return true;
}

bool ByteCursor::ReadLe32(uint32_t &value, std::string_view what)
{
    if (!Need(4, what))
        return false;
    value = static_cast<uint32_t>(data[pos]) | (static_cast<uint32_t>(data[pos + 1]) << 8) |
            (static_cast<uint32_t>(data[pos + 2]) << 16) | (static_cast<uint32_t>(data[pos + 3]) << 24);
    pos += 4;
    return true;
}

bool ByteCursor::ReadBe32(uint32_t &value, std::string_view what)
{
    if (!Need(4, what))
        return false;
    value = (static_cast<uint32_t>(data[pos]) << 24) | (static_cast<uint32_t>(data[pos + 1]) << 16) |
            (static_cast<uint32_t>(data[pos + 2]) << 8) | static_cast<uint32_t>(data[pos + 3]);
    pos += 4;
    return true;
}

bool ByteCursor::ReadBytes(size_t count, const uint8_t *&bytes, std::string_view what)
{
    if (!Need(count, what))
        return false;
    bytes = data + pos;
    pos += count;
    return true;
}

bool ByteCursor::Skip(size_t count, std::string_view what)
{
    if (!Need(count, what))
        return false;
    pos += count;
    return true;
}

bool ByteCursor::Expect(std::string_view bytes, std::string_view what)
{
    if (!Need(bytes.size(), what))
        return false;
    if (std::memcmp(data + pos, bytes.data(), bytes.size()) != 0) {
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (data[pos + i] != static_cast<uint8_t>(bytes[i]))
                return FailAt(Offset() + i, std::string(what) + ", found " + HexByte(data[pos + i]));
        }
    }
    pos += bytes.size();
    return true;
}

bool ByteCursor::Split(size_t count, ByteCursor &part, std::string_view what)
{
    if (!Need(count, what))
        return false;
    part = ByteCursor(data + pos, count, *error, Offset());
    pos += count;
    return true;
}
