// Error diffusion: six kernels that spread each pixel's error into the
// pixels of the grey image not yet visited, in one pass.
#include "image/raster_image_dither.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {


struct Tap {
    int dx;
    int dy;
    int weight;
};

// Taps in the order the error is spread; only the order between pixels
// matters, since one pixel's taps all land on different neighbours.
struct FloydSteinberg {
    static constexpr int kDivisor = 16;
    static constexpr std::array<Tap, 4> kTaps{{{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}}};
};
struct Burkes {
    static constexpr int kDivisor = 32;
    static constexpr std::array<Tap, 7> kTaps{
        {{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2}}};
};
struct Stucki {
    static constexpr int kDivisor = 42;
    static constexpr std::array<Tap, 12> kTaps{{{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4},
                                                {2, 1, 2}, {-2, 2, 1}, {-1, 2, 2}, {0, 2, 4}, {1, 2, 2}, {2, 2, 1}}};
};
struct JarvisJudiceNinke {
    static constexpr int kDivisor = 48;
    static constexpr std::array<Tap, 12> kTaps{{{1, 0, 7}, {2, 0, 5}, {-2, 1, 3}, {-1, 1, 5}, {0, 1, 7}, {1, 1, 5},
                                                {2, 1, 3}, {-2, 2, 1}, {-1, 2, 3}, {0, 2, 5}, {1, 2, 3}, {2, 2, 1}}};
};
struct Sierra {
    static constexpr int kDivisor = 32;
    static constexpr std::array<Tap, 10> kTaps{{{1, 0, 5}, {2, 0, 3}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 5}, {1, 1, 4},
                                                {2, 1, 2}, {-1, 2, 2}, {0, 2, 3}, {1, 2, 2}}};
};
struct StevensonArce {
    static constexpr int kDivisor = 200;
    static constexpr std::array<Tap, 12> kTaps{{{2, 0, 32}, {-3, 1, 12}, {-1, 1, 26}, {1, 1, 30}, {3, 1, 16},
                                                {-2, 2, 12}, {0, 2, 26}, {2, 2, 12}, {-3, 3, 5}, {-1, 3, 12},
                                                {1, 3, 12}, {3, 3, 5}}};
};

template <class K>
constexpr int ReachLeft()
{
    int reach = 0;
    for (const Tap &t : K::kTaps)
        reach = -t.dx > reach ? -t.dx : reach;
    return reach;
}

template <class K>
constexpr int ReachRight()
{
    int reach = 0;
    for (const Tap &t : K::kTaps)
        reach = t.dx > reach ? t.dx : reach;
    return reach;
}

template <class K>
constexpr int ReachDown()
{
    int reach = 0;
    for (const Tap &t : K::kTaps)
        reach = t.dy > reach ? t.dy : reach;
    return reach;
}

// Every neighbour's share of the error for every level: the error is the
// level (black) or the level minus 255 (white), each share truncated toward
// zero on its own.
template <class K>
struct ShareTable {
    std::array<std::array<int16_t, K::kTaps.size()>, 256> shares;

    ShareTable()
    {
        for (int level = 0; level < 256; ++level) {
            const int error = level > 128 ? level - 255 : level;
            for (size_t k = 0; k < K::kTaps.size(); ++k)
                shares[level][k] = static_cast<int16_t>((error * K::kTaps[k].weight) / K::kDivisor);
        }
    }
};

#if defined(__SSE2__)
// The same shares as bytes, one 8-byte group per row below and level, byte i
// for the column i - ReachLeft: the positive shares in add, the magnitudes
// of the negative ones in sub.
template <class K>
struct VectorShares {
    uint64_t add[256][3];
    uint64_t sub[256][3];

    VectorShares()
    {
        const ShareTable<K> table;
        for (int level = 0; level < 256; ++level) {
            uint8_t up[3][8] = {}, down[3][8] = {};
            for (size_t k = 0; k < K::kTaps.size(); ++k) {
                const Tap tap = K::kTaps[k];
                if (tap.dy == 0)
                    continue;
                const int share = table.shares[level][k];
                const size_t column = static_cast<size_t>(tap.dx + ReachLeft<K>());
                (share >= 0 ? up : down)[tap.dy - 1][column] = static_cast<uint8_t>(share >= 0 ? share : -share);
            }
            for (int r = 0; r < 3; ++r) {
                std::memcpy(&add[level][r], up[r], 8);
                std::memcpy(&sub[level][r], down[r], 8);
            }
        }
    }
};
#endif

// a when the condition holds, else b, without a branch: black and white
// are equally likely, so a branch would be mispredicted half the time.
// Compilers turn the plain conditional into a branch here, hence the mask.
[[gnu::always_inline]] inline int Select(bool condition, int a, int b)
{
    const int mask = -static_cast<int>(condition);
    return b ^ ((a ^ b) & mask);
}

inline uint8_t Clamped(int v)
{
    v = v < 0 ? 0 : v;
    return static_cast<uint8_t>(v > 255 ? 255 : v);
}

// Calls f(integral_constant<I>) for I = 0 ... N - 1, unrolled at compile time.
template <size_t N, class F>
[[gnu::always_inline]] inline void Unroll(F &&f)
{
    [&]<size_t... I>(std::index_sequence<I...>) { (f(std::integral_constant<size_t, I>{}), ...); }(
        std::make_index_sequence<N>{});
}

// Index of the current-row tap dx places to the right, or -1.
template <class K>
constexpr int CurrentRowTap(int dx)
{
    for (size_t k = 0; k < K::kTaps.size(); ++k)
        if (K::kTaps[k].dy == 0 && K::kTaps[k].dx == dx)
            return static_cast<int>(k);
    return -1;
}

// The walk along one row. The current row's levels travel in registers: the
// level of pixel x + 1 (with the error it has received so far) is known when
// pixel x is done, which keeps the one long dependency of the walk out of
// memory. The rows below are updated in memory at the edge columns, where
// neighbours may lie outside the image, and through a sliding window of
// registers in between, where every neighbour is inside: each byte below is
// then loaded once, receives all its shares, and is stored once.
template <class K, int RowsBelow>
class RowWalk {
public:
    RowWalk(uint8_t *const *rows, ptrdiff_t width, const ShareTable<K> &table, uint8_t *bits)
        : row{rows[0], rows[1], rows[2], rows[3]}, width(width), table(table), bits(bits)
    {
    }

    void Run()
    {
        Carry c{row[0][0], width > 1 ? row[0][1] : 0, 0};
        const ptrdiff_t innerFrom = kLeft < width ? kLeft : width;
        const ptrdiff_t innerTo = width - kRight > innerFrom ? width - kRight : innerFrom;
        Edge(c, 0, innerFrom);
        ptrdiff_t x = innerFrom;
#if defined(__SSE2__)
        // Register blocks start on a whole output byte past the left edge.
        constexpr ptrdiff_t kFirstBlock = 8;
        if constexpr (RowsBelow > 0) {
            if (kFirstBlock - kLeft + 16 <= width) {
                Inner(c, x, kFirstBlock);
                x = Vector(c, kFirstBlock);
            }
        }
#endif
        Inner(c, x, innerTo > x ? innerTo : x);
        Edge(c, innerTo > x ? innerTo : x, width);
        if ((width & 7) != 0)
            bits[width >> 3] = static_cast<uint8_t>(c.acc << (8 - (width & 7)));
    }

private:
    static constexpr ptrdiff_t kLeft = ReachLeft<K>();
    static constexpr ptrdiff_t kRight = ReachRight<K>();
    static constexpr int kTapCount = static_cast<int>(K::kTaps.size());
    static constexpr int kOne = CurrentRowTap<K>(1);
    static constexpr int kTwo = CurrentRowTap<K>(2);
    static constexpr size_t kSpan = static_cast<size_t>(kLeft + kRight + 1);

    // The levels of pixels x and x + 1 of the current row, with the error
    // they have received so far, and the output bits of the row's last byte.
    struct Carry {
        int current;
        int next;
        unsigned acc;
    };

    // Moves the carried levels on past pixel x; returns pixel x's shares.
    template <bool AheadInside = false>
    [[gnu::always_inline]] const int16_t *Step(Carry &c, const uint8_t *currentRow, ptrdiff_t x) const
    {
        const int level = c.current;
        const int16_t *shares = table.shares[level].data();
        // Pixel x + 2 has received nothing yet; read it only when it exists.
        const int ahead = AheadInside || x + 2 < width ? currentRow[x + 2] : 0;
        c.current = kOne >= 0 ? RightShare(level, c.next) : c.next;
        c.next = kTwo >= 0 ? Clamped(ahead + shares[kTwo < 0 ? 0 : kTwo]) : ahead;
        return shares;
    }

    // The level of the right neighbour once it has its share of this pixel's
    // error. This is the walk's one serial dependency, so it is computed
    // rather than looked up: both outcomes at once, each clamped on the only
    // side it can leave the range, and the sign of the error picks one
    // without a branch.
    [[gnu::always_inline]] static int RightShare(int level, int neighbour)
    {
        constexpr unsigned weight = static_cast<unsigned>(K::kTaps[kOne < 0 ? 0 : kOne].weight);
        constexpr unsigned divisor = static_cast<unsigned>(K::kDivisor);
        const unsigned lv = static_cast<unsigned>(level);
        const int gain = static_cast<int>((lv * weight) / divisor);
        const int loss = static_cast<int>(((255u - lv) * weight) / divisor);
        const int raised = neighbour + gain > 255 ? 255 : neighbour + gain;
        const int lowered = neighbour - loss < 0 ? 0 : neighbour - loss;
        return Select(level > 128, lowered, raised);
    }

    [[gnu::always_inline]] void Bit(Carry &c, ptrdiff_t x) const
    {
        c.acc = (c.acc << 1) | static_cast<unsigned>(c.current > 128);
        if ((x & 7) == 7)
            bits[x >> 3] = static_cast<uint8_t>(c.acc);
    }

    // Columns where a neighbour may lie outside the image.
    void Edge(Carry &c, ptrdiff_t from, ptrdiff_t to) const
    {
        uint8_t *const currentRow = row[0];
        for (ptrdiff_t x = from; x < to; ++x) {
            Bit(c, x);
            const int16_t *shares = Step(c, currentRow, x);
            Unroll<kTapCount>([&](auto k) {
                constexpr Tap tap = K::kTaps[k];
                if constexpr (tap.dy >= 1 && tap.dy <= RowsBelow) {
                    const ptrdiff_t nx = x + tap.dx;
                    if (nx >= 0 && nx < width) {
                        uint8_t &p = row[tap.dy][nx];
                        p = Clamped(p + shares[k]);
                    }
                }
            });
        }
    }

#if defined(__SSE2__)
    // Blocks of 8 pixels, one output byte, with each row below held in one
    // 16-byte register that covers every column the block's shares reach.
    // Saturating byte arithmetic clamps exactly: one pixel's shares all have
    // the sign of its error, so each byte gets either a saturating add or a
    // saturating subtract, the other being 0. Returns where the scalar walk
    // resumes.
    ptrdiff_t Vector(Carry &carry, ptrdiff_t start) const
    {
        static_assert(kLeft + 7 + kRight < 16, "a block's reach must fit one register");
        static const VectorShares<K> vshares;
        Carry c = carry;
        const uint8_t *const currentRow = row[0];
        uint8_t *const below[3] = {row[1], row[2], row[3]};
        __m128i window[3];
        Unroll<RowsBelow>([&](auto r) {
            window[r] = _mm_loadu_si128(reinterpret_cast<const __m128i *>(below[r] + start - kLeft));
        });
        ptrdiff_t b = start;
        for (;;) {
            unsigned byte = 0;
            Unroll<8>([&](auto j) {
                const int level = c.current;
                byte = (byte << 1) | static_cast<unsigned>(level > 128);
                Step<true>(c, currentRow, b + static_cast<ptrdiff_t>(j));
                // The byte shift must be an immediate at every optimisation
                // level: a constant, not the lambda parameter itself.
                constexpr int shift = decltype(j)::value;
                Unroll<RowsBelow>([&](auto r) {
                    const __m128i add = _mm_slli_si128(
                        _mm_loadl_epi64(reinterpret_cast<const __m128i *>(&vshares.add[level][r])), shift);
                    const __m128i sub = _mm_slli_si128(
                        _mm_loadl_epi64(reinterpret_cast<const __m128i *>(&vshares.sub[level][r])), shift);
                    window[r] = _mm_subs_epu8(_mm_adds_epu8(window[r], add), sub);
                });
            });
            bits[b >> 3] = static_cast<uint8_t>(byte);
            // The 8 columns left of the next block get nothing more.
            Unroll<RowsBelow>([&](auto r) {
                _mm_storel_epi64(reinterpret_cast<__m128i *>(below[r] + b - kLeft), window[r]);
                window[r] = _mm_srli_si128(window[r], 8);
            });
            b += 8;
            if (b - kLeft + 16 > width)
                break;
            Unroll<RowsBelow>([&](auto r) {
                const __m128i more = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(below[r] + b - kLeft + 8));
                window[r] = _mm_or_si128(window[r], _mm_slli_si128(more, 8));
            });
        }
        Unroll<RowsBelow>([&](auto r) {
            _mm_storel_epi64(reinterpret_cast<__m128i *>(below[r] + b - kLeft), window[r]);
        });
        carry = c;
        return b;
    }
#endif

    // Columns where every neighbour is inside the image, without vector
    // registers: each row below runs through a sliding window of registers,
    // so that each of its bytes is loaded once, receives all its shares and
    // is stored once.
    void Inner(Carry &carry, ptrdiff_t from, ptrdiff_t to) const
    {
        if (from >= to)
            return;
        Carry c = carry;
        const uint8_t *const currentRow = row[0];
        uint8_t *const below[3] = {row[1], row[2], row[3]};
        // window[r][i] holds the byte at column x - kLeft + i of row r + 1.
        int window[3][kSpan] = {};
        Unroll<RowsBelow>([&](auto r) {
            for (size_t i = 0; i + 1 < kSpan; ++i)
                window[r][i] = below[r][from - kLeft + static_cast<ptrdiff_t>(i)];
        });
        for (ptrdiff_t x = from; x < to; ++x) {
            Bit(c, x);
            const int16_t *shares = Step(c, currentRow, x);
            Unroll<RowsBelow>([&](auto r) {
                window[r][kSpan - 1] = below[r][x + kRight];
                Unroll<kTapCount>([&](auto k) {
                    constexpr Tap tap = K::kTaps[k];
                    if constexpr (tap.dy == static_cast<int>(r) + 1) {
                        int &v = window[r][static_cast<size_t>(tap.dx + kLeft)];
                        v = Clamped(v + shares[k]);
                    }
                });
                below[r][x - kLeft] = static_cast<uint8_t>(window[r][0]);
                Unroll<kSpan - 1>([&](auto i) { window[r][i] = window[r][i + 1]; });
            });
        }
        Unroll<RowsBelow>([&](auto r) {
            for (size_t i = 0; i + 1 < kSpan; ++i)
                below[r][to - kLeft + static_cast<ptrdiff_t>(i)] = static_cast<uint8_t>(window[r][i]);
        });
        carry = c;
    }

    uint8_t *const row[4];
    const ptrdiff_t width;
    const ShareTable<K> &table;
    uint8_t *const bits;
};

template <class K, int RowsBelow>
void DiffuseRow(uint8_t *const *rows, ptrdiff_t width, const ShareTable<K> &table, uint8_t *bits)
{
    RowWalk<K, RowsBelow>(rows, width, table, bits).Run();
}

template <class K, size_t... Below>
void DiffuseRowBelow(int rowsBelow, uint8_t *const *rows, ptrdiff_t width, const ShareTable<K> &table,
                     uint8_t *bits, std::index_sequence<Below...>)
{
    ((rowsBelow == static_cast<int>(Below) ? DiffuseRow<K, static_cast<int>(Below)>(rows, width, table, bits)
                                           : void()),
     ...);
}

// One pass over the grey image, left to right in every row, spreading each
// pixel's error into the pixels not yet visited.
template <class K>
void Diffuse(CRasterImage &grey, CRasterImage &bitmap)
{
    static const ShareTable<K> table;
    constexpr int down = ReachDown<K>();
    const uint32_t height = grey.GetHeight();
    const ptrdiff_t width = static_cast<ptrdiff_t>(grey.GetWidth());
    for (uint32_t y = 0; y < height; ++y) {
        grey.SetProgress(static_cast<int32_t>(int64_t{y} * 100 / height));
        if (grey.GetEscape() != 0)
            return;
        uint8_t *rows[4] = {grey.GetBits(y), nullptr, nullptr, nullptr};
        const uint32_t left = height - 1 - y;
        const int rowsBelow = left < static_cast<uint32_t>(down) ? static_cast<int>(left) : down;
        for (int d = 1; d <= rowsBelow; ++d)
            rows[d] = grey.GetBits(y + static_cast<uint32_t>(d));
        DiffuseRowBelow<K>(rowsBelow, rows, width, table, bitmap.GetBits(y), std::make_index_sequence<down + 1>{});
    }
}

}  // namespace

void DiffuseRows(int32_t method, CRasterImage &grey, CRasterImage &bitmap)
{
    switch (method) {
    case 2: Diffuse<Burkes>(grey, bitmap); break;
    case 3: Diffuse<Stucki>(grey, bitmap); break;
    case 4: Diffuse<JarvisJudiceNinke>(grey, bitmap); break;
    case 5: Diffuse<Sierra>(grey, bitmap); break;
    case 6: Diffuse<StevensonArce>(grey, bitmap); break;
    default: Diffuse<FloydSteinberg>(grey, bitmap); break;
    }
}
