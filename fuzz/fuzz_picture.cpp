// The printer application's picture readers on arbitrary files (PNG by its
// signature, anything else as JPEG), then every picture read laid out on a
// tall and a wide page in every orientation and scaling, every line
// rendered. Besides the sanitizers: a picture read has its pixels, within
// the limits.
#include "app/jpeg_image.h"
#include "app/png_image.h"
#include "render/page_layout.h"
#include "render/page_resampler.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace {

// The server's own limits are larger; these keep one input's memory small
// while still taking the thinnest pictures whole.
const GreyPicture::Limits kLimits{16384, 16384, size_t{1} << 22};

void LayOut(const GreyPicture &picture)
{
    tagLayoutMedia label{48, 64, 3, 2, 3, 2, 203, 203, false};
    tagLayoutMedia wide{64, 40, 0, 0, 0, 0, 300, 203, false};
    tagLayoutMedia roll{48, 4000, 3, 0, 3, 0, 203, 203, true};
    const std::optional<EPageTurn> turns[] = {std::nullopt, EPageTurn::None, EPageTurn::Left, EPageTurn::Right,
                                              EPageTurn::Half};
    const EPageScaling scalings[] = {EPageScaling::Auto, EPageScaling::AutoFit, EPageScaling::Fit,
                                     EPageScaling::Fill, EPageScaling::None};
    const uint32_t ppi = picture.XPpi() == picture.YPpi() ? picture.XPpi() : 0;
    const tagPageBox content =
        ContentBox(picture.Pixels().data(), picture.Width(), picture.Height(), picture.Width());
    std::vector<uint8_t> line;
    for (const tagLayoutMedia &media : {label, wide, roll}) {
        line.assign(media.width, 0);
        for (const auto &turn : turns)
            for (EPageScaling scaling : scalings) {
                const auto layout = tagPageLayout::For(content, ppi, media, turn, scaling);
                if (!layout || layout->width < 1 || layout->height < 1 || layout->mediaHeight > media.height)
                    std::abort();
                CPageResampler lines(picture.Pixels().data(), picture.Width(), *layout, media.width);
                for (uint32_t y = 0; y < layout->mediaHeight; ++y)
                    lines.Line(y, line.data());
            }
    }
}

template <class Picture>
void ReadAndLayOut(const uint8_t *data, size_t size)
{
    FILE *file = fmemopen(const_cast<uint8_t *>(data), size, "rb");
    if (file == nullptr)
        return;
    Picture picture;
    const bool read = picture.Read(file, kLimits);
    std::fclose(file);
    if (!read) {
        if (picture.Error().empty() || !picture.Pixels().empty())
            std::abort();
        return;
    }
    if (!GreyPicture::Fits(picture.Width(), picture.Height(), kLimits) ||
        picture.Pixels().size() != static_cast<size_t>(picture.Width()) * picture.Height())
        std::abort();
    LayOut(picture);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    if (size >= 4 && std::memcmp(data, "\x89PNG", 4) == 0)
        ReadAndLayOut<PngImage>(data, size);
    else
        ReadAndLayOut<JpegImage>(data, size);
    return 0;
}
