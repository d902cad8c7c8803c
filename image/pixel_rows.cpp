#include "image/pixel_rows.h"

#include <array>
#include <cstring>
#include <vector>

namespace pixel_rows {

namespace {

constexpr uint32_t kMaxBitChunk = 512;  // a multiple of 8
constexpr uint32_t kMaxByteChunk = 64;

constexpr std::array<uint8_t, 256> MakeBitReversal()
{
    std::array<uint8_t, 256> table{};
    for (unsigned v = 0; v < 256; ++v) {
        unsigned r = 0;
        for (unsigned bit = 0; bit < 8; ++bit)
            if (v & (1u << bit))
                r |= 0x80u >> bit;
        table[v] = static_cast<uint8_t>(r);
    }
    return table;
}

constexpr std::array<uint8_t, 256> kBitReversal = MakeBitReversal();

// A byte with its pixels in reverse order.
inline uint8_t ReverseUnits(uint8_t v, uint32_t bpp)
{
    return bpp == 1 ? kBitReversal[v] : static_cast<uint8_t>((v << 4) | (v >> 4));
}

// Transposes an 8 x 8 bit matrix held row 0 in the high byte, column 0 in
// the high bit of each byte: afterwards byte j (from the high end) holds
// column j, row 0 in its high bit.
inline uint64_t Transpose8x8(uint64_t x)
{
    uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
    x = x ^ t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
    x = x ^ t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
    x = x ^ t ^ (t << 28);
    return x;
}

// Source row that feeds target column x.
inline uint32_t SourceRow(const Plane &src, bool turn90, uint32_t x)
{
    return turn90 ? x : src.height - 1 - x;
}

// Target row that source column c lands in.
inline uint32_t TargetRow(const Plane &src, bool turn90, uint32_t c)
{
    return turn90 ? src.width - 1 - c : c;
}

void TurnBandBits(const Plane &src, const Plane &dst, bool turn90, uint32_t x0, uint32_t x1)
{
    const size_t srcBytes = DataBytes(src.width, 1);
    std::vector<uint8_t> zeros;
    // Eight source rows per target byte; rows past the image read as zero
    // so the target's tail bits stay clear.
    const uint8_t *rows[kMaxBitChunk];
    const uint32_t firstByte = x0 / 8;
    const uint32_t byteCount = static_cast<uint32_t>((static_cast<uint64_t>(x1) + 7) / 8) - firstByte;
    for (uint32_t i = 0; i < byteCount * 8; ++i) {
        const uint64_t x = static_cast<uint64_t>(x0) + i;
        if (x < x1 && x < src.height) {
            rows[i] = src.bits + SourceRow(src, turn90, static_cast<uint32_t>(x)) * src.stride;
        } else {
            if (zeros.empty())
                zeros.assign(srcBytes, 0);
            rows[i] = zeros.data();
        }
    }

    for (size_t cb = 0; cb < srcBytes; ++cb) {
        const uint32_t firstColumn = static_cast<uint32_t>(cb * 8);
        const uint32_t columns = src.width - firstColumn < 8 ? src.width - firstColumn : 8;
        for (uint32_t b = 0; b < byteCount; ++b) {
            const uint8_t *const *r = rows + b * 8;
            uint64_t x = (static_cast<uint64_t>(r[0][cb]) << 56) | (static_cast<uint64_t>(r[1][cb]) << 48) |
                         (static_cast<uint64_t>(r[2][cb]) << 40) | (static_cast<uint64_t>(r[3][cb]) << 32) |
                         (static_cast<uint64_t>(r[4][cb]) << 24) | (static_cast<uint64_t>(r[5][cb]) << 16) |
                         (static_cast<uint64_t>(r[6][cb]) << 8) | static_cast<uint64_t>(r[7][cb]);
            x = Transpose8x8(x);
            uint8_t *column = dst.bits + firstByte + b;
            for (uint32_t j = 0; j < columns; ++j)
                column[TargetRow(src, turn90, firstColumn + j) * dst.stride] =
                    static_cast<uint8_t>(x >> (56 - 8 * j));
        }
    }
}

void TurnBandNibbles(const Plane &src, const Plane &dst, bool turn90, uint32_t x0, uint32_t x1)
{
    for (uint32_t c = 0; c < src.width; ++c) {
        uint8_t *target = dst.bits + TargetRow(src, turn90, c) * dst.stride;
        const size_t byte = c / 2;
        const unsigned shift = (c & 1) ? 0 : 4;
        for (uint32_t x = x0; x < x1; ++x) {
            const uint8_t v = (src.bits[SourceRow(src, turn90, x) * src.stride + byte] >> shift) & 0x0F;
            target[x / 2] = static_cast<uint8_t>(target[x / 2] | (v << ((x & 1) ? 0 : 4)));
        }
    }
}

template <size_t PixelBytes>
void TurnBandBytes(const Plane &src, const Plane &dst, bool turn90, uint32_t x0, uint32_t x1)
{
    const uint8_t *rows[kMaxByteChunk];
    const uint32_t count = x1 - x0;
    for (uint32_t i = 0; i < count; ++i)
        rows[i] = src.bits + SourceRow(src, turn90, x0 + i) * src.stride;
    for (uint32_t c = 0; c < src.width; ++c) {
        uint8_t *target = dst.bits + TargetRow(src, turn90, c) * dst.stride + static_cast<size_t>(x0) * PixelBytes;
        const size_t offset = static_cast<size_t>(c) * PixelBytes;
        for (uint32_t i = 0; i < count; ++i)
            std::memcpy(target + i * PixelBytes, rows[i] + offset, PixelBytes);
    }
}

}  // namespace

void ReversePixels(const uint8_t *src, uint8_t *dst, uint32_t width, uint32_t bpp)
{
    if (width == 0)
        return;
    if (bpp == 8) {
        for (uint32_t j = 0; j < width; ++j)
            dst[j] = src[width - 1 - j];
        return;
    }
    if (bpp == 24) {
        const uint8_t *from = src + static_cast<size_t>(width - 1) * 3;
        for (uint32_t j = 0; j < width; ++j, from -= 3) {
            dst[3 * static_cast<size_t>(j)] = from[0];
            dst[3 * static_cast<size_t>(j) + 1] = from[1];
            dst[3 * static_cast<size_t>(j) + 2] = from[2];
        }
        return;
    }
    // Reversing the whole bytes puts the row's padding bits in front; a
    // shift by their count moves the pixels back to the left edge.
    const size_t n = DataBytes(width, bpp);
    const unsigned shift = static_cast<unsigned>(n * 8 - static_cast<size_t>(width) * bpp);
    if (shift == 0) {
        for (size_t k = 0; k < n; ++k)
            dst[k] = ReverseUnits(src[n - 1 - k], bpp);
        return;
    }
    unsigned current = ReverseUnits(src[n - 1], bpp);
    for (size_t k = 0; k + 1 < n; ++k) {
        const unsigned next = ReverseUnits(src[n - 2 - k], bpp);
        dst[k] = static_cast<uint8_t>((current << shift) | (next >> (8 - shift)));
        current = next;
    }
    dst[n - 1] = static_cast<uint8_t>(current << shift);
}

void ExtractPixels(const uint8_t *src, uint8_t *dst, uint32_t first, uint32_t count, uint32_t bpp)
{
    if (count == 0)
        return;
    if (bpp >= 8) {
        std::memcpy(dst, src + static_cast<size_t>(first) * (bpp / 8), static_cast<size_t>(count) * (bpp / 8));
        return;
    }
    const size_t firstBit = static_cast<size_t>(first) * bpp;
    const size_t bits = static_cast<size_t>(count) * bpp;
    const uint8_t *from = src + firstBit / 8;
    const unsigned shift = static_cast<unsigned>(firstBit % 8);
    const size_t n = (bits + 7) / 8;
    // Last source byte that holds a wanted pixel; nothing past it is read.
    const size_t lastFrom = (firstBit + bits - 1) / 8 - firstBit / 8;
    if (shift == 0) {
        std::memcpy(dst, from, n);
    } else {
        for (size_t k = 0; k < n; ++k) {
            const unsigned next = k + 1 <= lastFrom ? from[k + 1] : 0;
            dst[k] = static_cast<uint8_t>((from[k] << shift) | (next >> (8 - shift)));
        }
    }
    const unsigned tail = static_cast<unsigned>(bits - (n - 1) * 8);
    dst[n - 1] = static_cast<uint8_t>(dst[n - 1] & (0xFF00u >> tail));
}

uint32_t TurnBandWidth(uint32_t bpp)
{
    return bpp == 1 ? kMaxBitChunk : kMaxByteChunk;
}

void TurnBand(const Plane &src, const Plane &dst, bool turn90, uint32_t x0, uint32_t x1)
{
    if (x1 > src.height)
        x1 = src.height;
    // The workers keep one row pointer per target column of a chunk.
    const uint32_t chunk = src.bpp == 1 ? kMaxBitChunk : kMaxByteChunk;
    while (x0 < x1) {
        const uint32_t end = x1 - x0 > chunk ? x0 + chunk : x1;
        switch (src.bpp) {
        case 1: TurnBandBits(src, dst, turn90, x0, end); break;
        case 4: TurnBandNibbles(src, dst, turn90, x0, end); break;
        case 8: TurnBandBytes<1>(src, dst, turn90, x0, end); break;
        default: TurnBandBytes<3>(src, dst, turn90, x0, end); break;
        }
        x0 = end;
    }
}

}  // namespace pixel_rows
