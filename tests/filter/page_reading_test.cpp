// Pages are read many lines to a call straight into the page image; every
// stored row must still hold exactly its own line, however the stream was
// written and wherever it ends.
#include "filter/cups_instance.h"
#include "support/raster_writer.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Stream {
    int fd;
    cups_raster_t *ras;
    explicit Stream(const std::string &path)
        : fd(open(path.c_str(), O_RDONLY)), ras(cupsRasterOpen(fd, CUPS_RASTER_READ))
    {
    }
    ~Stream()
    {
        cupsRasterClose(ras);
        close(fd);
    }
};

// The lines libcups delivers when read one by one: the plain reading the
// many-lines reading must match.
std::vector<std::vector<uint8_t>> LinesReadOneByOne(const std::string &path)
{
    Stream stream(path);
    cups_page_header2_t header;
    std::vector<std::vector<uint8_t>> lines;
    if (!cupsRasterReadHeader2(stream.ras, &header))
        return lines;
    std::vector<uint8_t> line(header.cupsBytesPerLine);
    for (unsigned y = 0; y < header.cupsHeight; ++y) {
        if (cupsRasterReadPixels(stream.ras, line.data(), header.cupsBytesPerLine) == 0)
            break;
        lines.push_back(line);
    }
    return lines;
}

// Reads the first page of the file into an image and checks each row
// against the delivered lines: line bytes, then white; undelivered rows white.
void ExpectRowsMatch(const std::string &path, const std::vector<std::vector<uint8_t>> &delivered,
                     const std::string &what)
{
    Stream stream(path);
    cups_page_header2_t header;
    ASSERT_TRUE(cupsRasterReadHeader2(stream.ras, &header)) << what;
    CRasterImage image;
    ASSERT_TRUE(ReadPageIntoImage(stream.ras, header, image)) << what;
    const size_t effWidth = image.GetEffWidth();
    std::vector<uint8_t> expected(effWidth);
    for (unsigned y = 0; y < header.cupsHeight; ++y) {
        std::fill(expected.begin(), expected.end(), 0xFF);
        if (y < delivered.size())
            std::copy(delivered[y].begin(), delivered[y].end(), expected.begin());
        ASSERT_EQ(std::memcmp(image.GetBits(y), expected.data(), effWidth), 0) << what << ", row " << y;
    }
}

struct Shape {
    unsigned width, height, bpp;
};

TEST(PageReading, EveryRowHoldsItsOwnLineForAnyLayoutModeAndEnd)
{
    // Heights span several reads of 64 KiB; widths give lines that fill their
    // stored rows and lines that leave a tail.
    const Shape shapes[] = {{40, 30000, 1}, {9, 30000, 4}, {32, 5000, 8}, {30, 5000, 8}, {7, 7000, 24}, {128, 600, 24}};
    const cups_mode_t modes[] = {CUPS_RASTER_WRITE, CUPS_RASTER_WRITE_COMPRESSED};
    ScopedTempDir dir;
    for (const Shape &shape : shapes) {
        for (cups_mode_t mode : modes) {
            for (unsigned cut : {~0u, shape.height / 2 + 3, 1u, 0u}) {
                RasterPage page = MakeRandomRasterPage(shape.width, shape.height, shape.bpp, shape.width + cut);
                page.linesToWrite = cut;
                const std::string what = std::to_string(shape.width) + "x" + std::to_string(shape.height) + "x" +
                                         std::to_string(shape.bpp) + " mode " + std::to_string(mode) + " lines " +
                                         std::to_string(cut);
                const std::string path = dir.File("page.ras");
                WriteRasterFile(path, {page}, mode);
                const auto delivered = LinesReadOneByOne(path);
                if (cut == ~0u) {
                    ASSERT_EQ(delivered.size(), shape.height) << what;
                }
                ExpectRowsMatch(path, delivered, what);
            }
        }
    }
}

TEST(PageReading, StreamEndingInsideALineKeepsWhatArrivedAndWhitensTheRest)
{
    ScopedTempDir dir;
    const std::string path = dir.File("page.ras");
    const RasterPage page = MakeRandomRasterPage(40, 20000, 1, 5);  // 5-byte lines in 8-byte rows
    WriteRasterFile(path, {page});
    const std::string bytes = ReadFileBytes(path);
    // 13 whole lines and 2 bytes of the 14th are left after the header.
    const size_t dataStart = bytes.size() - static_cast<size_t>(page.BytesPerLine()) * page.height;
    WriteFileBytes(path, bytes.substr(0, dataStart + 13 * 5 + 2));

    Stream stream(path);
    cups_page_header2_t header;
    ASSERT_TRUE(cupsRasterReadHeader2(stream.ras, &header));
    CRasterImage image;
    ASSERT_TRUE(ReadPageIntoImage(stream.ras, header, image));
    for (unsigned y = 0; y < 13; ++y) {
        ASSERT_EQ(std::memcmp(image.GetBits(y), page.Row(y), 5), 0) << y;
        EXPECT_EQ(image.GetBits(y)[5] & image.GetBits(y)[6] & image.GetBits(y)[7], 0xFF) << y;
    }
    const uint8_t partial[8] = {page.Row(13)[0], page.Row(13)[1], 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(std::memcmp(image.GetBits(13), partial, 8), 0);
    const std::vector<uint8_t> white(8, 0xFF);
    for (unsigned y = 14; y < page.height; ++y)
        ASSERT_EQ(std::memcmp(image.GetBits(y), white.data(), 8), 0) << y;
}

TEST(PageReading, ReadLinesWhitensWhatTheStreamNeverDelivered)
{
    ScopedTempDir dir;
    const std::string path = dir.File("page.ras");
    RasterPage page = MakeRandomRasterPage(32, 5000, 8, 9);
    page.linesToWrite = 4000;
    WriteRasterFile(path, {page});

    Stream stream(path);
    cups_page_header2_t header;
    ASSERT_TRUE(cupsRasterReadHeader2(stream.ras, &header));
    std::vector<uint8_t> target(32u * 5000, 0x00);
    EXPECT_FALSE(ReadLines(stream.ras, target.data(), 32, 5000));
    EXPECT_EQ(std::memcmp(target.data(), page.data.data(), 32u * 4000), 0);
    for (size_t i = 32u * 4000; i < target.size(); ++i)
        ASSERT_EQ(target[i], 0xFF) << i;
}

}  // namespace
