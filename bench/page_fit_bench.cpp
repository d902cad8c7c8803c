// Laying a client's A4 page (203 dpi, 8-bit grey) out on the loaded media:
// finding its content, then every line of a 50x30 mm label (turned, shrunk
// about six times) and of a 100x150 mm label (upright, about halved).
#include "render/page_layout.h"
#include "render/page_resampler.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

constexpr uint32_t kWidth = 1680;
constexpr uint32_t kHeight = 2376;

std::vector<uint8_t> MakePage()
{
    std::vector<uint8_t> page(size_t{kWidth} * kHeight, 255);
    uint32_t state = 12345;
    for (uint32_t y = 64; y < kHeight - 64; ++y)
        for (uint32_t x = 64; x < kWidth - 64; ++x) {
            state = state * 1103515245u + 12345u;
            const bool ink = ((x / 9 + y / 13) % 5 == 0) || (state >> 28) == 0;
            page[size_t{y} * kWidth + x] = ink ? static_cast<uint8_t>((x * 7 + y * 3) & 0x7F) : 255;
        }
    return page;
}

void LayOut(benchmark::State &state, uint32_t mediaWidth, uint32_t mediaHeight)
{
    const std::vector<uint8_t> page = MakePage();
    tagLayoutMedia media;
    media.width = mediaWidth;
    media.height = mediaHeight;
    media.xDpi = media.yDpi = 203;
    std::vector<uint8_t> line(mediaWidth);
    for (auto _ : state) {
        const tagPageBox content = ContentBox(page.data(), kWidth, kHeight, kWidth);
        const auto layout = tagPageLayout::For(content, 203, media, std::nullopt, EPageScaling::Auto);
        CPageResampler lines(page.data(), kWidth, *layout, mediaWidth);
        for (uint32_t y = 0; y < layout->mediaHeight; ++y)
            lines.Line(y, line.data());
        benchmark::DoNotOptimize(line.data());
    }
    state.counters["per_page_pixel"] = benchmark::Counter(static_cast<double>(kWidth) * kHeight,
                                                          benchmark::Counter::kIsIterationInvariantRate |
                                                              benchmark::Counter::kInvert);
}

void BM_FitA4On50x30(benchmark::State &state)
{
    LayOut(state, 399, 239);
}
BENCHMARK(BM_FitA4On50x30)->Unit(benchmark::kMillisecond);

void BM_FitA4On100x150(benchmark::State &state)
{
    LayOut(state, 799, 1198);
}
BENCHMARK(BM_FitA4On100x150)->Unit(benchmark::kMillisecond);

}  // namespace
