// Page-sized timings of grey conversion, threshold, every dithering method
// and the automatic half-tone, in nanoseconds per pixel.
#include "image/raster_image.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

namespace {

// An A4 page at 300 dpi.
constexpr uint32_t kPageWidth = 2480;
constexpr uint32_t kPageHeight = 3508;

// A deterministic photo-like level: smooth gradients, a sinusoidal texture
// and a little noise from a fixed linear congruential sequence.
uint8_t PhotoLevel(uint32_t x, uint32_t y, uint32_t &seed)
{
    seed = seed * 1664525u + 1013904223u;
    const double gradient = 255.0 * (0.6 * x / kPageWidth + 0.4 * y / kPageHeight);
    const double texture = 40.0 * std::sin(x * 0.031) * std::cos(y * 0.017) + 25.0 * std::sin((x + y) * 0.11);
    const double noise = static_cast<double>(seed >> 28) - 7.5;
    const double level = gradient + texture + noise;
    return static_cast<uint8_t>(level < 0.0 ? 0.0 : level > 255.0 ? 255.0 : level);
}

const CRasterImage &GreyPage()
{
    static CRasterImage image(kPageWidth, kPageHeight, 8, 0);
    static const bool made = [] {
        image.SetGrayPalette();
        uint32_t seed = 12345;
        for (uint32_t y = 0; y < kPageHeight; ++y) {
            uint8_t *row = image.GetBits(y);
            for (uint32_t x = 0; x < kPageWidth; ++x)
                row[x] = PhotoLevel(x, y, seed);
        }
        return true;
    }();
    (void)made;
    return image;
}

const CRasterImage &ColourPage()
{
    static CRasterImage image(kPageWidth, kPageHeight, 24, 0);
    static const bool made = [] {
        const CRasterImage &grey = GreyPage();
        for (uint32_t y = 0; y < kPageHeight; ++y) {
            const uint8_t *src = grey.GetBits(y);
            uint8_t *dst = image.GetBits(y);
            for (uint32_t x = 0; x < kPageWidth; ++x) {
                dst[3 * x] = src[x];
                dst[3 * x + 1] = static_cast<uint8_t>(src[x] ^ (x & 31));
                dst[3 * x + 2] = static_cast<uint8_t>(255 - src[x]);
            }
        }
        return true;
    }();
    (void)made;
    return image;
}

template <class Operation>
void RunOnPage(benchmark::State &state, const CRasterImage &page, Operation operation)
{
    for (auto _ : state) {
        state.PauseTiming();
        CRasterImage work(page, true, false, false);
        state.ResumeTiming();
        benchmark::DoNotOptimize(operation(work));
        state.PauseTiming();
        work.Destroy();  // freeing the page is not part of the operation
        state.ResumeTiming();
    }
    const double pixels = static_cast<double>(kPageWidth) * kPageHeight;
    state.counters["per_pixel"] =
        benchmark::Counter(pixels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_GrayScale24(benchmark::State &state)
{
    RunOnPage(state, ColourPage(), [](CRasterImage &image) { return image.GrayScale(); });
}

void BM_Threshold(benchmark::State &state)
{
    RunOnPage(state, GreyPage(), [](CRasterImage &image) { return image.Threshold(128); });
}

void BM_Dither(benchmark::State &state)
{
    const int32_t method = static_cast<int32_t>(state.range(0));
    RunOnPage(state, GreyPage(), [method](CRasterImage &image) { return image.Dither(method); });
}

void BM_AutoHalftone(benchmark::State &state)
{
    RunOnPage(state, GreyPage(), [](CRasterImage &image) { return image.AutoHalftone(175); });
}

}  // namespace

BENCHMARK(BM_GrayScale24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Threshold)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Dither)->DenseRange(0, 9)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AutoHalftone)->Unit(benchmark::kMillisecond);
