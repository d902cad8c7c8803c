#include "support/raster_writer.h"

#include <cstring>
#include <fcntl.h>
#include <random>
#include <stdexcept>
#include <unistd.h>

RasterPage MakeRasterPage(unsigned width, unsigned height, unsigned bitsPerPixel, uint8_t fill, unsigned dpi)
{
    RasterPage page;
    page.width = width;
    page.height = height;
    page.bitsPerPixel = bitsPerPixel;
    page.dpiX = dpi;
    page.dpiY = dpi;
    page.colorSpace = bitsPerPixel >= 24 ? CUPS_CSPACE_RGB : CUPS_CSPACE_W;
    page.data.assign(static_cast<size_t>(page.BytesPerLine()) * height, fill);
    return page;
}

RasterPage MakeRandomRasterPage(unsigned width, unsigned height, unsigned bitsPerPixel, uint32_t seed,
                                unsigned dpi)
{
    RasterPage page = MakeRasterPage(width, height, bitsPerPixel, 0, dpi);
    std::mt19937 random(seed);
    for (uint8_t &byte : page.data)
        byte = static_cast<uint8_t>(random() >> 24);
    return page;
}

RasterPage WithPaddedLines(const RasterPage &page, unsigned padding, uint32_t seed)
{
    RasterPage padded = page;
    padded.padding = page.padding + padding;
    padded.data.clear();
    std::mt19937 random(seed);
    for (unsigned y = 0; y < page.height; ++y) {
        padded.data.insert(padded.data.end(), page.Row(y), page.Row(y) + page.BytesPerLine());
        for (unsigned i = 0; i < padding; ++i)
            padded.data.push_back(static_cast<uint8_t>(random() >> 24));
    }
    return padded;
}

void FillRasterHeader(const RasterPage &page, cups_page_header2_t &header)
{
    std::memset(&header, 0, sizeof(header));
    std::strcpy(header.MediaClass, "PwgRaster");
    header.HWResolution[0] = page.dpiX;
    header.HWResolution[1] = page.dpiY;
    header.PageSize[0] = page.dpiX ? page.width * 72 / page.dpiX : 0;
    header.PageSize[1] = page.dpiY ? page.height * 72 / page.dpiY : 0;
    header.ImagingBoundingBox[2] = header.PageSize[0];
    header.ImagingBoundingBox[3] = header.PageSize[1];
    header.NumCopies = 1;
    header.cupsWidth = page.width;
    header.cupsHeight = page.height;
    header.cupsBitsPerPixel = page.bitsPerPixel;
    switch (page.bitsPerPixel) {
    case 24: header.cupsBitsPerColor = 8; break;
    case 32: header.cupsBitsPerColor = 8; break;
    case 16: header.cupsBitsPerColor = 16; break;
    default: header.cupsBitsPerColor = page.bitsPerPixel; break;
    }
    header.cupsBytesPerLine = page.BytesPerLine();
    header.cupsColorOrder = CUPS_ORDER_CHUNKED;
    header.cupsColorSpace = page.colorSpace;
    if (page.bitsPerPixel == 32)
        header.cupsColorSpace = CUPS_CSPACE_RGBA;
    header.cupsNumColors = page.bitsPerPixel >= 24 ? (page.bitsPerPixel == 32 ? 4 : 3) : 1;
}

void WriteRasterFile(const std::string &path, const std::vector<RasterPage> &pages, cups_mode_t mode)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot create " + path);
    cups_raster_t *ras = cupsRasterOpen(fd, mode);
    if (ras == nullptr) {
        close(fd);
        throw std::runtime_error("cupsRasterOpen failed");
    }
    for (const RasterPage &page : pages) {
        cups_page_header2_t header;
        FillRasterHeader(page, header);
        if (!cupsRasterWriteHeader2(ras, &header))
            throw std::runtime_error("cupsRasterWriteHeader2 failed");
        const unsigned lines = page.linesToWrite < page.height ? page.linesToWrite : page.height;
        for (unsigned y = 0; y < lines; ++y) {
            if (cupsRasterWritePixels(ras, const_cast<unsigned char *>(page.Row(y)), page.BytesPerLine()) == 0)
                throw std::runtime_error("cupsRasterWritePixels failed");
        }
    }
    cupsRasterClose(ras);
    close(fd);
}
