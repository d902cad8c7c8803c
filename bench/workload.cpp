// Writes the raster workloads of the whole-filter benchmark, deterministically,
// with libcups: no large files need to live in the repository.
//
//   bench_workload KIND OUTPUT [PAGES]
//
// KIND: label (812 x 1218 grey), a4grey (2480 x 3508 grey), narrow (384 x 543
// grey, pocket printer width), receipt (576 x 20000 one bit, blank tail),
// a4colour (2480 x 3508 RGB), a4mono (2480 x 3508 one bit), and a4pgm, which
// writes the a4grey page as a binary PGM file for other tools.
#include <cups/raster.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Shape {
    unsigned width;
    unsigned height;
    unsigned bitsPerPixel;
    unsigned dpi;
};

// Smooth shading, texture and a little noise: the kind of content that makes
// a dither work for its living. Seeded, so every run writes the same bytes.
class PhotoPattern {
public:
    explicit PhotoPattern(uint32_t seed) : state(seed * 2654435761u + 1) {}

    uint8_t Level(unsigned x, unsigned y, unsigned width, unsigned height)
    {
        const double fx = static_cast<double>(x) / width;
        const double fy = static_cast<double>(y) / height;
        double v = 128.0 + 90.0 * std::sin(6.0 * fx + 2.0 * fy) * std::cos(4.0 * fy - fx);
        v += 25.0 * std::sin(x * 0.05) * std::sin(y * 0.07);
        v += static_cast<double>(Next() % 21) - 10.0;
        return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
    }

private:
    uint32_t Next()
    {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    uint32_t state;
};

void FillLine(const std::string &kind, const Shape &shape, unsigned y, unsigned page, PhotoPattern &pattern,
              std::vector<uint8_t> &line)
{
    const unsigned w = shape.width;
    if (shape.bitsPerPixel == 8) {
        for (unsigned x = 0; x < w; ++x)
            line[x] = pattern.Level(x, y + page * 17, w, shape.height);
    } else if (shape.bitsPerPixel == 24) {
        for (unsigned x = 0; x < w; ++x) {
            const uint8_t g = pattern.Level(x, y, w, shape.height);
            line[3 * x] = g;
            line[3 * x + 1] = static_cast<uint8_t>(255 - g / 2);
            line[3 * x + 2] = static_cast<uint8_t>((x + y) & 0xFF);
        }
    } else {
        // One bit per dot, 0 = black: text-like bars, and for the receipt a
        // blank quarter at the bottom for the bottom crop to remove.
        std::fill(line.begin(), line.end(), 0xFF);
        const bool blankTail = kind == "receipt" && y >= shape.height * 3 / 4;
        if (!blankTail && (y / 12) % 3 != 2) {
            for (unsigned x = 16; x + 16 < w; ++x) {
                if (((x / 9) + (y / 12)) % 5 != 0 && (x * 7 + y * 3) % 11 < 6)
                    line[x / 8] = static_cast<uint8_t>(line[x / 8] & ~(0x80u >> (x % 8)));
            }
        }
    }
}

bool ShapeFor(const std::string &kind, Shape &shape)
{
    if (kind == "label")
        shape = {812, 1218, 8, 203};
    else if (kind == "a4grey" || kind == "a4pgm")
        shape = {2480, 3508, 8, 300};
    else if (kind == "narrow")
        shape = {384, 543, 8, 203};
    else if (kind == "receipt")
        shape = {576, 20000, 1, 203};
    else if (kind == "a4colour")
        shape = {2480, 3508, 24, 300};
    else if (kind == "a4mono")
        shape = {2480, 3508, 1, 300};
    else
        return false;
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s KIND OUTPUT [PAGES]\n", argv[0]);
        return 2;
    }
    const std::string kind = argv[1];
    const unsigned pages = argc > 3 ? static_cast<unsigned>(std::atoi(argv[3])) : 1;
    Shape shape{};
    if (!ShapeFor(kind, shape)) {
        std::fprintf(stderr, "unknown workload %s\n", kind.c_str());
        return 2;
    }
    const unsigned bytesPerLine = (shape.width * shape.bitsPerPixel + 7) / 8;
    std::vector<uint8_t> line(bytesPerLine);

    if (kind == "a4pgm") {
        FILE *out = std::fopen(argv[2], "wb");
        if (out == nullptr)
            return 1;
        std::fprintf(out, "P5\n%u %u\n255\n", shape.width, shape.height);
        PhotoPattern pattern(1);
        for (unsigned y = 0; y < shape.height; ++y) {
            FillLine(kind, shape, y, 0, pattern, line);
            std::fwrite(line.data(), 1, line.size(), out);
        }
        return std::fclose(out) == 0 ? 0 : 1;
    }

    const int fd = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return 1;
    cups_raster_t *ras = cupsRasterOpen(fd, CUPS_RASTER_WRITE);
    for (unsigned page = 0; page < pages; ++page) {
        cups_page_header2_t header;
        std::memset(&header, 0, sizeof(header));
        header.HWResolution[0] = header.HWResolution[1] = shape.dpi;
        header.PageSize[0] = shape.width * 72 / shape.dpi;
        header.PageSize[1] = shape.height * 72 / shape.dpi;
        header.NumCopies = 1;
        header.cupsWidth = shape.width;
        header.cupsHeight = shape.height;
        header.cupsBitsPerPixel = shape.bitsPerPixel;
        header.cupsBitsPerColor = shape.bitsPerPixel == 24 ? 8 : shape.bitsPerPixel;
        header.cupsBytesPerLine = bytesPerLine;
        header.cupsColorOrder = CUPS_ORDER_CHUNKED;
        header.cupsColorSpace = shape.bitsPerPixel == 24 ? CUPS_CSPACE_RGB : CUPS_CSPACE_W;
        header.cupsNumColors = shape.bitsPerPixel == 24 ? 3 : 1;
        cupsRasterWriteHeader2(ras, &header);
        // The A4 pages are the same page every time (the ratio against other
        // tools uses one of them); labels vary from page to page.
        PhotoPattern pattern(kind == "label" ? page + 1 : 1);
        for (unsigned y = 0; y < shape.height; ++y) {
            FillLine(kind, shape, y, kind == "label" ? page : 0, pattern, line);
            cupsRasterWritePixels(ras, line.data(), bytesPerLine);
        }
    }
    cupsRasterClose(ras);
    return close(fd) == 0 ? 0 : 1;
}
