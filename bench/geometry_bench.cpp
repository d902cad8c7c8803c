// Turning, mirroring and cropping an A4 page at 300 dpi, the sizes the
// filter sees for every label or sheet.
#include "image/raster_image.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

namespace {

constexpr uint32_t kPageWidth = 2480;
constexpr uint32_t kPageHeight = 3508;
constexpr uint32_t kMargin = 120;

// A deterministic page: white margins around a busy, text-like middle.
void MakePage(CRasterImage &page, uint32_t bpp)
{
    page.Create(kPageWidth, kPageHeight, bpp, 0);
    page.SetGrayPalette();
    uint32_t state = 12345;
    for (uint32_t y = 0; y < kPageHeight; ++y) {
        uint8_t *row = page.GetBits(y);
        std::memset(row, 0xFF, page.GetEffWidth());
        if (y < kMargin || y >= kPageHeight - kMargin)
            continue;
        for (uint32_t x = kMargin; x < kPageWidth - kMargin; ++x) {
            state = state * 1103515245u + 12345u;
            const bool ink = ((x / 9 + y / 13) % 5 == 0) || (state >> 28) == 0;
            if (bpp == 1) {
                if (ink)
                    row[x / 8] = static_cast<uint8_t>(row[x / 8] & ~(0x80u >> (x % 8)));
            } else {
                row[x] = ink ? static_cast<uint8_t>((x * 7 + y * 3) & 0x7F) : static_cast<uint8_t>(0xC0 | (state >> 26));
            }
        }
    }
}

void SetPixelRate(benchmark::State &state)
{
    state.counters["per_pixel"] = benchmark::Counter(static_cast<double>(kPageWidth) * kPageHeight,
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

void BM_Rotate90OneBitPage(benchmark::State &state)
{
    CRasterImage page;
    MakePage(page, 1);
    CRasterImage turned;
    for (auto _ : state) {
        page.Rotate(90, &turned);
        benchmark::DoNotOptimize(turned.GetBits(0));
    }
    SetPixelRate(state);
}
BENCHMARK(BM_Rotate90OneBitPage)->Unit(benchmark::kMillisecond);

void BM_Rotate270OneBitPage(benchmark::State &state)
{
    CRasterImage page;
    MakePage(page, 1);
    CRasterImage turned;
    for (auto _ : state) {
        page.Rotate(270, &turned);
        benchmark::DoNotOptimize(turned.GetBits(0));
    }
    SetPixelRate(state);
}
BENCHMARK(BM_Rotate270OneBitPage)->Unit(benchmark::kMillisecond);

void BM_Rotate180OneBitPage(benchmark::State &state)
{
    CRasterImage page;
    MakePage(page, 1);
    CRasterImage turned;
    for (auto _ : state) {
        page.Rotate180(&turned);
        benchmark::DoNotOptimize(turned.GetBits(0));
    }
    SetPixelRate(state);
}
BENCHMARK(BM_Rotate180OneBitPage)->Unit(benchmark::kMillisecond);

void BM_Rotate90GreyPage(benchmark::State &state)
{
    CRasterImage page;
    MakePage(page, 8);
    CRasterImage turned;
    for (auto _ : state) {
        page.Rotate(90, &turned);
        benchmark::DoNotOptimize(turned.GetBits(0));
    }
    SetPixelRate(state);
}
BENCHMARK(BM_Rotate90GreyPage)->Unit(benchmark::kMillisecond);

// The white-edge crop of page preparation: the margins come off.
void BM_CropOneBitPage(benchmark::State &state)
{
    CRasterImage page;
    MakePage(page, 1);
    CRasterImage cut;
    for (auto _ : state) {
        page.Crop(kMargin + 3, kMargin, kPageWidth - kMargin, kPageHeight - kMargin, &cut);
        benchmark::DoNotOptimize(cut.GetBits(0));
    }
    SetPixelRate(state);
}
BENCHMARK(BM_CropOneBitPage)->Unit(benchmark::kMillisecond);

void BM_MirrorOneBitPage(benchmark::State &state)
{
    CRasterImage page;
    MakePage(page, 1);
    for (auto _ : state) {
        page.Mirror(false, true);
        benchmark::DoNotOptimize(page.GetBits(0));
    }
    SetPixelRate(state);
}
BENCHMARK(BM_MirrorOneBitPage)->Unit(benchmark::kMillisecond);

void BM_MirrorGreyPage(benchmark::State &state)
{
    CRasterImage page;
    MakePage(page, 8);
    for (auto _ : state) {
        page.Mirror(false, true);
        benchmark::DoNotOptimize(page.GetBits(0));
    }
    SetPixelRate(state);
}
BENCHMARK(BM_MirrorGreyPage)->Unit(benchmark::kMillisecond);

}  // namespace
