#include "test_png.h"

#include <png.h>

#include <cstdio>
#include <stdexcept>

namespace {

int Channels(int colourType)
{
    switch (colourType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 1;
    }
}

}  // namespace

TestPng TestPng::Filled(uint32_t width, uint32_t height, int colourType, int bitDepth, std::vector<uint16_t> samples)
{
    TestPng png;
    png.width = width;
    png.height = height;
    png.colourType = colourType;
    png.bitDepth = bitDepth;
    const size_t bitsPerPixel = static_cast<size_t>(Channels(colourType)) * bitDepth;
    const size_t rowBytes = (width * bitsPerPixel + 7) / 8;
    png.rows.assign(rowBytes * height, 0);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t *row = png.rows.data() + y * rowBytes;
        size_t bit = 0;
        for (uint32_t x = 0; x < width; ++x) {
            for (uint16_t sample : samples) {
                if (bitDepth == 16) {
                    row[bit / 8] = static_cast<uint8_t>(sample >> 8);
                    row[bit / 8 + 1] = static_cast<uint8_t>(sample);
                } else {
                    row[bit / 8] |= static_cast<uint8_t>(sample << (8 - bitDepth - bit % 8));
                }
                bit += bitDepth;
            }
        }
    }
    return png;
}

void TestPng::Write(const std::string &path) const
{
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        throw std::runtime_error("cannot write " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        throw std::runtime_error("libpng failed writing " + path);
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, bitDepth, colourType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty())
        png_set_PLTE(png, info, reinterpret_cast<png_const_colorp>(palette.data()),
                     static_cast<int>(palette.size() / 3));
    if (!paletteAlpha.empty())
        png_set_tRNS(png, info, paletteAlpha.data(), static_cast<int>(paletteAlpha.size()), nullptr);
    if (ppi != 0) {
        const auto perMetre = static_cast<png_uint_32>(ppi / 0.0254 + 0.5);
        png_set_pHYs(png, info, perMetre, perMetre, PNG_RESOLUTION_METER);
    }
    png_write_info(png, info);
    const size_t rowBytes = rows.size() / height;
    std::vector<png_bytep> pointers(height);
    for (uint32_t y = 0; y < height; ++y)
        pointers[y] = const_cast<png_bytep>(rows.data() + y * rowBytes);
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}
