// The printer application's picture readers on arbitrary files (PNG by its
// signature, anything else as JPEG), then every picture read laid out on a
// tall and a wide page in every orientation and scaling, every line
// rendered. Besides the sanitizers: a picture read has its pixels, within
// the limits.
#include "app/jpeg_image.h"
#include "app/picture_layout.h"
#include "app/png_image.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The server's own limits are larger; these keep one input's memory small
// while still taking the thinnest pictures whole.
const GreyPicture::Limits kLimits{16384, 16384, size_t{1} << 22};

void LayOut(const GreyPicture &picture)
{
    const PageFrame pages[] = {{48, 64, 3, 2, 3, 2, 203, 203}, {64, 40, 0, 0, 0, 0, 300, 203}};
    const ipp_orient_t orientations[] = {IPP_ORIENT_NONE, IPP_ORIENT_PORTRAIT, IPP_ORIENT_LANDSCAPE,
                                         IPP_ORIENT_REVERSE_LANDSCAPE, IPP_ORIENT_REVERSE_PORTRAIT};
    const pappl_scaling_t scalings[] = {PAPPL_SCALING_AUTO, PAPPL_SCALING_AUTO_FIT, PAPPL_SCALING_FIT,
                                        PAPPL_SCALING_FILL, PAPPL_SCALING_NONE};
    const uint32_t ppi = picture.XPpi() == picture.YPpi() ? picture.XPpi() : 0;
    std::vector<uint8_t> line;
    for (const PageFrame &page : pages) {
        line.assign(page.width, 0);
        for (ipp_orient_t orientation : orientations)
            for (pappl_scaling_t scaling : scalings) {
                const auto layout =
                    PictureLayout::For(picture.Width(), picture.Height(), ppi, page, orientation, scaling);
                if (!layout || layout->width < 1 || layout->height < 1)
                    std::abort();
                const PictureLines lines(picture, *layout, page.width);
                for (uint32_t y = 0; y < page.height; ++y)
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
