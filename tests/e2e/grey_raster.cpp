// Writes an 8-bit grey PGM image as a one-page CUPS raster stream (8-bit
// grey, 0 = black, the W colour space the filter expects) through libcups:
//   dotweave_grey_raster IN.pgm OUT.ras [DPI]
#include "support/raster_writer.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <string>

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s IN.pgm OUT.ras [DPI]\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::string magic;
    unsigned width = 0, height = 0, maxValue = 0;
    in >> magic >> width >> height >> maxValue;
    in.get();  // the one white-space byte before the pixels
    if (!in || magic != "P5" || maxValue != 255 || width == 0 || height == 0 || width > 20000 || height > 20000) {
        std::fprintf(stderr, "%s: not an 8-bit binary PGM image\n", argv[1]);
        return 1;
    }
    const unsigned dpi = argc > 3 ? static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)) : 203;
    RasterPage page = MakeRasterPage(width, height, 8, 0xFF, dpi);
    if (!in.read(reinterpret_cast<char *>(page.data.data()), static_cast<std::streamsize>(page.data.size()))) {
        std::fprintf(stderr, "%s: the image ends early\n", argv[1]);
        return 1;
    }
    try {
        WriteRasterFile(argv[2], {page});
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s: %s\n", argv[2], e.what());
        return 1;
    }
    return 0;
}
