// The automatic half-tone. A dither breaks a bar because the bar's rims are
// grey (a renderer or a scaled label image leaves the edge columns part
// covered) and error diffusion turns each grey column into scattered dots.
// So every pixel near an edge between ink and paper is thresholded, as is
// blank paper and solid ink; the rest (photos, gradients, grey fills) is
// diffused. Thresholded pixels neither give nor take error, so no picture's
// error leaks into the text beside it, nor the other way.
#include "image/raster_image_dither.h"
#include "image/raster_image_rows.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// A pixel is near an edge when the window of (2 kReach + 1) pixels square
// around it holds both ink (level at most kInk) and paper (at least kPaper).
// Two dots on each side cover the grey rims of bars resampled by any factor
// and the strokes of small anti-aliased text; a photo seldom spans nearly
// black to nearly white within four dots.
constexpr int kReach = 2;
constexpr uint8_t kInk = 64;
constexpr uint8_t kPaper = 192;
constexpr size_t kWindowRows = 2 * kReach + 1;
constexpr size_t kVector = 16;

// Lowest and highest level in each pixel's row window: the row is copied
// with its end pixels repeated, so that the window needs no bounds.
void RowExtremes(const uint8_t *row, size_t width, std::vector<uint8_t> &padded, uint8_t *low, uint8_t *high)
{
    std::memset(padded.data(), row[0], kReach);
    std::memcpy(padded.data() + kReach, row, width);
    std::memset(padded.data() + kReach + width, row[width - 1], padded.size() - kReach - width);
    const uint8_t *p = padded.data();
    size_t x = 0;
#if defined(__SSE2__)
    // Whole blocks of 16; the padding covers the last block's overhang.
    for (; x < width; x += kVector) {
        __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + x));
        __m128i hi = lo;
        for (size_t d = 1; d <= 2 * kReach; ++d) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + x + d));
            lo = _mm_min_epu8(lo, v);
            hi = _mm_max_epu8(hi, v);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i *>(low + x), lo);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(high + x), hi);
    }
#endif
    for (; x < width; ++x) {
        uint8_t lo = p[x], hi = p[x];
        for (size_t d = 1; d <= 2 * kReach; ++d) {
            lo = std::min(lo, p[x + d]);
            hi = std::max(hi, p[x + d]);
        }
        low[x] = lo;
        high[x] = hi;
    }
}

#if defined(__SSE2__)
// Sixteen byte flags (0 or 0xFF) as two bytes of one bit per pixel, the
// first pixel in the high bit.
inline void PackFlags(__m128i flags, uint8_t *bits)
{
    static constexpr auto kReversed = [] {
        std::array<uint8_t, 256> table{};
        for (unsigned i = 0; i < 256; ++i)
            for (unsigned b = 0; b < 8; ++b)
                table[i] |= static_cast<uint8_t>(((i >> b) & 1u) << (7 - b));
        return table;
    }();
    const unsigned word = static_cast<unsigned>(_mm_movemask_epi8(flags));
    bits[0] = kReversed[word & 0xFF];
    bits[1] = kReversed[word >> 8];
}
#endif

// One row of the first pass. Its mask bit is 1 for a pixel to threshold:
// the window's rows (lows and highs, from the ring) hold both ink and
// paper, or the pixel is blank paper or solid ink itself. Its threshold bit
// is 1 (white) for a level above `level`; both as the bitmap lays out rows.
void ClassifyRow(const uint8_t *row, size_t width, const std::vector<const uint8_t *> &lows,
                 const std::vector<const uint8_t *> &highs, uint8_t level, uint8_t *hard, uint8_t *mask,
                 uint8_t *thresholded)
{
    size_t x = 0;
#if defined(__SSE2__)
    const __m128i ink = _mm_set1_epi8(static_cast<char>(kInk));
    const __m128i paper = _mm_set1_epi8(static_cast<char>(kPaper));
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi8(static_cast<char>(0xFF));
    // Unsigned "above level" as a signed comparison with both sides moved down by 128.
    const __m128i bias = _mm_set1_epi8(static_cast<char>(0x80));
    const __m128i limit = _mm_set1_epi8(static_cast<char>(level ^ 0x80));
    for (; x + kVector <= width; x += kVector) {
        __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i *>(lows[0] + x));
        __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i *>(highs[0] + x));
        for (size_t r = 1; r < lows.size(); ++r) {
            lo = _mm_min_epu8(lo, _mm_loadu_si128(reinterpret_cast<const __m128i *>(lows[r] + x)));
            hi = _mm_max_epu8(hi, _mm_loadu_si128(reinterpret_cast<const __m128i *>(highs[r] + x)));
        }
        const __m128i hasInk = _mm_cmpeq_epi8(_mm_min_epu8(lo, ink), lo);
        const __m128i hasPaper = _mm_cmpeq_epi8(_mm_max_epu8(hi, paper), hi);
        const __m128i levels = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + x));
        const __m128i extreme = _mm_or_si128(_mm_cmpeq_epi8(levels, zero), _mm_cmpeq_epi8(levels, full));
        PackFlags(_mm_or_si128(_mm_and_si128(hasInk, hasPaper), extreme), mask + x / 8);
        PackFlags(_mm_cmpgt_epi8(_mm_xor_si128(levels, bias), limit), thresholded + x / 8);
    }
#endif
    for (size_t i = x; i < width; ++i) {
        uint8_t lo = lows[0][i], hi = highs[0][i];
        for (size_t r = 1; r < lows.size(); ++r) {
            lo = std::min(lo, lows[r][i]);
            hi = std::max(hi, highs[r][i]);
        }
        const bool edge = lo <= kInk && hi >= kPaper;
        hard[i - x] = edge || row[i] == 0 || row[i] == 255 ? 0xFF : 0;
    }
    if (x < width) {
        uint8_t thresholds[rasterrows::kPatternWidth];
        std::memset(thresholds, level, sizeof(thresholds));
        const uint8_t zeros[rasterrows::kPatternWidth] = {};
        const uint32_t rest = static_cast<uint32_t>(width - x);
        rasterrows::PackAbove(hard, rest, zeros, mask + x / 8);
        rasterrows::PackAbove(row + x, rest, thresholds, thresholded + x / 8);
    }
}

inline uint8_t Clamped(int v)
{
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Floyd-Steinberg shares of the error of each level, as method 1 spreads
// them to the row below: left 3, middle 5, right 1 (of 16), each truncated
// toward zero. Also as bytes for saturating vector arithmetic: the positive
// shares in add, the magnitudes of negative ones in sub, byte i for the
// column x - 1 + i. One pixel's shares all have the sign of its error, so a
// saturating add and then subtract, one of them 0, clamps exactly as the
// scalar walk does.
struct BelowShares {
    int16_t share[256][3];
    uint64_t add[256];
    uint64_t sub[256];

    BelowShares()
    {
        for (int level = 0; level < 256; ++level) {
            const int error = level > 128 ? level - 255 : level;
            const int weights[3] = {3, 5, 1};
            add[level] = sub[level] = 0;
            for (int i = 0; i < 3; ++i) {
                const int s = error * weights[i] / 16;
                share[level][i] = static_cast<int16_t>(s);
                (s >= 0 ? add : sub)[level] |= static_cast<uint64_t>(s >= 0 ? s : -s) << (8 * i);
            }
        }
    }
};

// The right neighbour's level once it has its 7/16 of the error: the walk's
// one serial dependency, so both outcomes are computed and the sign of the
// error picks one through a mask (a branch would be mispredicted half the
// time, black and white being equally likely).
inline int RightLevel(int level, int neighbour)
{
    const unsigned lv = static_cast<unsigned>(level);
    const int raised = std::min(255, neighbour + static_cast<int>((lv * 7u) / 16u));
    const int lowered = std::max(0, neighbour - static_cast<int>(((255u - lv) * 7u) / 16u));
    const int white = -static_cast<int>(level > 128);
    return raised ^ ((raised ^ lowered) & white);
}

// The diffused pixels of one row, in walk order. The levels of the row carry
// what the rows above sent them; the row below (or a scratch row under the
// last one) receives this row's error. Error reaching a thresholded pixel is
// dropped there, since those pixels never spread any.
class DiffusedRow {
public:
    DiffusedRow(uint8_t *row, uint8_t *below, size_t width) : row(row), below(below), width(width) {}

    void Run(const uint8_t *maskRow, uint8_t *bits)
    {
        current = row[0];
        const size_t bytes = (width + 7) / 8;
        for (size_t byte = 0; byte < bytes;) {
            const unsigned hard = maskRow[byte];
            if (hard == 0xFF) {
                const size_t next = byte * 8 + 8;
                current = next < width ? row[next] : 0;
                ++byte;
                continue;
            }
#if defined(__SSE2__)
            if (hard == 0 && Inside(byte)) {
                byte = Diffused(maskRow, bits, byte);
                continue;
            }
#endif
            const unsigned diffused = Mixed(byte * 8, hard);
            bits[byte] = static_cast<uint8_t>((bits[byte] & hard) | (diffused & ~hard));
            ++byte;
        }
    }

private:
    static inline const BelowShares shares{};

#if defined(__SSE2__)
    // Whether a 16-byte window of the row below, from one column left of
    // the byte, lies inside the row.
    bool Inside(size_t byte) const { return byte > 0 && byte * 8 + 15 < width; }

    // A run of bytes whose pixels are all diffused and whose windows lie
    // inside the row. The row below passes through one register: each of
    // its bytes is loaded once, receives all its shares and is stored once.
    // Returns the byte after the run.
    size_t Diffused(const uint8_t *maskRow, uint8_t *bits, size_t byte)
    {
        uint8_t *window = below + byte * 8 - 1;
        __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i *>(window));
        for (;;) {
            bits[byte] = static_cast<uint8_t>(EightPixels(byte * 8, w, std::make_index_sequence<8>{}));
            // The first 8 columns get nothing more.
            _mm_storel_epi64(reinterpret_cast<__m128i *>(window), w);
            w = _mm_srli_si128(w, 8);
            window += 8;
            ++byte;
            if (!Inside(byte) || maskRow[byte] != 0)
                break;
            const __m128i more = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(window + 8));
            w = _mm_or_si128(w, _mm_slli_si128(more, 8));
        }
        _mm_storel_epi64(reinterpret_cast<__m128i *>(window), w);
        return byte;
    }

    template <size_t... J>
    [[gnu::always_inline]] unsigned EightPixels(size_t x0, __m128i &w, std::index_sequence<J...>)
    {
        unsigned diffused = 0;
        (Pixel<J>(x0, w, diffused), ...);
        return diffused;
    }

    template <size_t J>
    [[gnu::always_inline]] void Pixel(size_t x0, __m128i &w, unsigned &diffused)
    {
        const int level = current;
        diffused = (diffused << 1) | static_cast<unsigned>(level > 128);
        current = RightLevel(level, row[x0 + J + 1]);
        const __m128i add = _mm_slli_si128(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(&shares.add[level])),
                                           static_cast<int>(J));
        const __m128i sub = _mm_slli_si128(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(&shares.sub[level])),
                                           static_cast<int>(J));
        w = _mm_subs_epu8(_mm_adds_epu8(w, add), sub);
    }
#endif

    // Any byte: thresholded pixels skipped, neighbours outside the image too.
    unsigned Mixed(size_t x0, unsigned hard)
    {
        unsigned diffused = 0;
        const size_t end = std::min(width, x0 + 8);
        for (size_t x = x0; x < end; ++x) {
            const int next = x + 1 < width ? row[x + 1] : 0;
            const unsigned bit = 0x80u >> (x - x0);
            if ((hard & bit) != 0) {
                current = next;
                continue;
            }
            const int level = current;
            diffused |= level > 128 ? bit : 0;
            current = RightLevel(level, next);
            const int16_t *s = shares.share[level];
            if (x > 0)
                below[x - 1] = Clamped(below[x - 1] + s[0]);
            below[x] = Clamped(below[x] + s[1]);
            if (x + 1 < width)
                below[x + 1] = Clamped(below[x + 1] + s[2]);
        }
        return diffused;
    }

    uint8_t *const row;
    uint8_t *const below;
    const size_t width;
    int current = 0;  // the level of the pixel being walked, with its error so far
};

// Classification runs one row ahead of the diffusion, while the rows it
// reads are still as they came: diffusing row y changes row y + 1 only, and
// row y + 1 is classified just before that (its window's lower rows then
// already have their extremes in the ring).
class AutoHalftoneWalk {
public:
    AutoHalftoneWalk(uint8_t level, CRasterImage &grey, CRasterImage &bitmap)
        : grey(grey), bitmap(bitmap), width(grey.GetWidth()), height(grey.GetHeight()),
          rounded((width + kVector - 1) / kVector * kVector), padded(rounded + 2 * kReach),
          extremes(2 * kWindowRows * rounded), hard(width), masks(2 * bitmap.GetEffWidth()), scratch(width),
          level(level)
    {
    }

    void Run()
    {
        Classify(0);
        for (uint32_t y = 0; y < height; ++y) {
            grey.SetProgress(static_cast<int32_t>(int64_t{y} * 100 / height));
            if (grey.GetEscape() != 0)
                return;
            if (y + 1 < height)
                Classify(y + 1);
            uint8_t *below = y + 1 < height ? grey.GetBits(y + 1) : scratch.data();
            DiffusedRow(grey.GetBits(y), below, width).Run(Mask(y), bitmap.GetBits(y));
        }
    }

private:
    uint8_t *Low(uint32_t r) { return extremes.data() + (r % kWindowRows) * rounded; }
    uint8_t *High(uint32_t r) { return extremes.data() + (kWindowRows + r % kWindowRows) * rounded; }
    uint8_t *Mask(uint32_t r) { return masks.data() + (r % 2) * bitmap.GetEffWidth(); }

    // Row y's threshold bits into the bitmap, and its mask (1 = thresholded).
    void Classify(uint32_t y)
    {
        const uint32_t first = y > kReach ? y - kReach : 0;
        const uint32_t last = std::min<uint32_t>(height - 1, y + kReach);
        for (; ready <= last; ++ready)
            RowExtremes(grey.GetBits(ready), width, padded, Low(ready), High(ready));
        lows.clear();
        highs.clear();
        for (uint32_t r = first; r <= last; ++r) {
            lows.push_back(Low(r));
            highs.push_back(High(r));
        }
        ClassifyRow(grey.GetBits(y), width, lows, highs, level, hard.data(), Mask(y), bitmap.GetBits(y));
    }

    CRasterImage &grey;
    CRasterImage &bitmap;
    const size_t width;
    const uint32_t height;
    const size_t rounded;
    std::vector<uint8_t> padded;
    std::vector<uint8_t> extremes;  // kWindowRows rows of lows, then as many of highs
    std::vector<uint8_t> hard;      // flags of the pixels past the last whole vector
    std::vector<uint8_t> masks;     // rows y and y + 1
    std::vector<uint8_t> scratch;   // the row below the last one
    std::vector<const uint8_t *> lows, highs;
    const uint8_t level;
    uint32_t ready = 0;             // rows whose extremes are in the ring
};

}  // namespace

void AutoHalftoneRows(uint8_t level, CRasterImage &grey, CRasterImage &bitmap)
{
    if (grey.GetWidth() == 0 || grey.GetHeight() == 0)
        return;
    AutoHalftoneWalk(level, grey, bitmap).Run();
}
