#include "test_jpeg.h"

#include <cstddef>
#include <cstdio>
#include <jpeglib.h>

#include <stdexcept>

void TestJpeg::Write(const std::string &path) const
{
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        throw std::runtime_error("cannot write " + path);
    jpeg_compress_struct jpeg{};
    jpeg_error_mgr errors{};
    jpeg.err = jpeg_std_error(&errors);
    jpeg_create_compress(&jpeg);
    jpeg_stdio_dest(&jpeg, file);
    jpeg.image_width = width;
    jpeg.image_height = height;
    jpeg.input_components = static_cast<int>(samples.size());
    jpeg.in_color_space = samples.size() == 1 ? JCS_GRAYSCALE : samples.size() == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&jpeg);
    jpeg_set_quality(&jpeg, 100, TRUE);
    jpeg.write_JFIF_header = samples.size() != 4;
    jpeg.density_unit = static_cast<UINT8>(densityUnit);
    jpeg.X_density = xDensity;
    jpeg.Y_density = yDensity;
    if (progressive)
        jpeg_simple_progression(&jpeg);
    jpeg_start_compress(&jpeg, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(width) * samples.size());
    for (size_t i = 0; i < row.size(); ++i)
        row[i] = samples[i % samples.size()];
    while (jpeg.next_scanline < jpeg.image_height) {
        JSAMPROW line = row.data();
        jpeg_write_scanlines(&jpeg, &line, 1);
    }
    jpeg_finish_compress(&jpeg);
    jpeg_destroy_compress(&jpeg);
    std::fclose(file);
}
