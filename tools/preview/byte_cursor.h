#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Where a stream stopped making sense and what should have been there.
struct DecodeError {
    bool failed = false;
    size_t offset = 0;
    std::string expected;

    // "offset N: expected ..."
    std::string Message() const;
};

// The only way the decoders read their input: every read checks the bytes
// left first, and the first failure is recorded with its absolute offset.
class ByteCursor {
public:
    // base is the absolute offset of data[0] in the whole stream.
    ByteCursor(const uint8_t *data, size_t size, DecodeError &error, size_t base = 0);

    size_t Offset() const { return base + pos; }
    size_t Remaining() const { return size - pos; }
    bool AtEnd() const { return pos == size; }
    DecodeError &Error() const { return *error; }

    // Looks ahead without moving; false past the end.
    bool Peek(size_t ahead, uint8_t &value) const;
    bool StartsWith(std::string_view bytes) const;

    bool ReadU8(uint8_t &value, std::string_view what);
    bool ReadLe16(uint16_t &value, std::string_view what);
    bool ReadBe16(uint16_t &value, std::string_view what);
    bool ReadLe32(uint32_t &value, std::string_view what);
    bool ReadBe32(uint32_t &value, std::string_view what);
    // Hands out a view of the next count bytes and moves past them.
    bool ReadBytes(size_t count, const uint8_t *&bytes, std::string_view what);
    bool Skip(size_t count, std::string_view what);
    // Consumes exactly these bytes or fails naming them.
    bool Expect(std::string_view bytes, std::string_view what);

    // A cursor over the next count bytes (moving this one past them), whose
    // errors still name offsets in the whole stream.
    bool Split(size_t count, ByteCursor &part, std::string_view what);

    // Records "expected <what>" at the current offset (or the given one) and
    // returns false, so a decoder can write `return cursor.Fail(...)`.
    bool Fail(std::string expected) const;
    bool FailAt(size_t offset, std::string expected) const;

private:
    bool Need(size_t count, std::string_view what) const;

    const uint8_t *data;
    size_t size;
    size_t pos = 0;
    size_t base;
    DecodeError *error;
};

// "0x1B" style text for messages.
std::string HexByte(uint8_t value);
