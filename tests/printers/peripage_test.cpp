#include "printers/printer_peripage.h"
#include "printer_test_util.h"
#include "support/collecting_output.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

using namespace printertest;

namespace {

// Settings as a PPD without a "Darkness" option leaves them.
struct Capture : SpoolCapture<CPrinterPeriPage> {
    Capture() { regStruct.iDensity = -1; }
};

const std::string kStart = Bytes({0x10, 0xFF, 0xFE, 0x01});
const std::string kReset = Bytes({0x1B, 0x40, 0x00});
const std::string kCenter = Bytes({0x1B, 0x61, 0x01});
const std::string kNextMark = Bytes({0x1D, 0x0C});
const std::string kCutLine = Bytes({0x10, 0x50});
const std::string kEnd = Bytes({0x10, 0xFF, 0xFE, 0x45});

std::string Media(int m)
{
    return Bytes({0x10, 0xFF, 0x10, 0x03, m});
}

// Inflates raw deflate data (no zlib header or trailer).
std::string InflateRaw(const std::string &data)
{
    z_stream zs{};
    EXPECT_EQ(inflateInit2(&zs, -15), Z_OK);
    std::string out(1 << 20, '\0');
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef *>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&zs, Z_FINISH), Z_STREAM_END);
    out.resize(zs.total_out);
    inflateEnd(&zs);
    return out;
}

uint32_t BigEndian(const std::string &s, size_t at, size_t width)
{
    uint32_t v = 0;
    for (size_t i = 0; i < width; ++i)
        v = (v << 8) | static_cast<uint8_t>(s.at(at + i));
    return v;
}

// A compressed block at the given offset: its width, rows, decompressed
// bitmap, and the offset just past it. The trailer is checked against the
// bitmap's Adler-32.
struct Block {
    uint32_t widthBytes = 0, rows = 0;
    std::string bitmap;
    size_t end = 0;
};

Block ReadBlock(const std::string &out, size_t at)
{
    Block block;
    EXPECT_EQ(out.substr(at, 2), Bytes({0x1F, 0x00}));
    block.widthBytes = BigEndian(out, at + 2, 2);
    block.rows = BigEndian(out, at + 4, 2);
    const uint32_t size = BigEndian(out, at + 6, 4);
    const std::string stream = out.substr(at + 10, size);
    block.bitmap = InflateRaw(stream.substr(0, size - 4));
    const uLong adler = adler32(1, reinterpret_cast<const Bytef *>(block.bitmap.data()),
                                static_cast<uInt>(block.bitmap.size()));
    EXPECT_EQ(BigEndian(stream, size - 4, 4), adler);
    block.end = at + 10 + size;
    return block;
}

std::string FirstBytesOfRows(const std::vector<uint8_t> &rows, unsigned lineBytes, unsigned height, unsigned keep,
                             bool invert)
{
    std::string out;
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < keep; ++x)
            out.push_back(static_cast<char>(invert ? ~rows[y * lineBytes + x] : rows[y * lineBytes + x]));
    return out;
}

}  // namespace

TEST(PeriPageJob, EightDotPageThroughTheFilter)
{
    RasterPage page = MakeRasterPage(8, 1, 1);
    page.data[0] = 0x5A;
    const FilterResult result = RunPrinterJob(24, {}, {page});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, kStart + Media(0x01) + kReset + kCenter +
                              Bytes({0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x01, 0x00, 0xA5}) + kCutLine + kEnd)
        << Hex(result.out);
}

TEST(PeriPageJob, CompressedBitmapThroughTheFilter)
{
    // After inversion: three rows 00 00, then five rows FF 81.
    RasterPage page = MakeRasterPage(16, 8, 1);
    for (unsigned y = 3; y < 8; ++y) {
        page.Row(y)[0] = 0x00;
        page.Row(y)[1] = 0x7E;
    }
    const FilterResult result = RunPrinterJob(24, {Option("ImageCompress", "1", {"0"})}, {page});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const std::string &out = result.out;

    const std::string prefix = kStart + Media(0x01) + kReset + kCenter;
    ASSERT_EQ(out.substr(0, prefix.size()), prefix) << Hex(out);
    const std::string header = Bytes({0x1F, 0x00, 0x00, 0x02, 0x00, 0x08, 0x00, 0x00, 0x00, 0x0D});
    EXPECT_EQ(out.substr(prefix.size(), 10), header) << Hex(out);
    const std::string data = out.substr(prefix.size() + 10, 13);
    EXPECT_EQ(data.substr(9), Bytes({0x2A, 0x8B, 0x07, 0x81}));
    EXPECT_EQ(InflateRaw(data.substr(0, 9)), Bytes({0, 0, 0, 0, 0, 0, 0xFF, 0x81, 0xFF, 0x81, 0xFF, 0x81, 0xFF, 0x81,
                                                    0xFF, 0x81}));
    EXPECT_EQ(out.substr(prefix.size() + 23), kCutLine + kEnd);
}

TEST(PeriPagePage, DensityIsCappedAtFive)
{
    struct Case {
        int density;
        std::string bytes;
    };
    const std::vector<Case> cases = {{9, Bytes({0x10, 0xFF, 0x10, 0x00, 0x05})},
                                     {5, Bytes({0x10, 0xFF, 0x10, 0x00, 0x05})},
                                     {3, Bytes({0x10, 0xFF, 0x10, 0x00, 0x03})},
                                     {0, Bytes({0x10, 0xFF, 0x10, 0x00, 0x00})},
                                     {-1, ""}};
    for (const Case &c : cases) {
        Capture printer;
        LoadPreparedPage(printer, 8, 1, {0xFF}, 203);
        printer.regStruct.iDensity = c.density;
        printer.OnPaintBmp();
        const std::string expected = kStart + Media(0x01) + kReset + c.bytes + kCenter;
        EXPECT_EQ(printer.writes.at(0).substr(0, expected.size()), expected) << c.density;
    }
}

TEST(PeriPagePage, MediaTypeChoosesMediaByteMarkFeedAndCutLine)
{
    struct Case {
        int media;
        std::string mediaCommand, afterBitmap;
    };
    const std::vector<Case> cases = {
        {0, Media(0x01), kCutLine},  {1, Media(0x02), kNextMark}, {2, Media(0x00), kNextMark},
        {3, Media(0x03), kNextMark}, {4, Media(0x01), kCutLine},  {5, Media(0x01), ""},
        {6, Media(0x04), ""},        {7, Media(0x05), ""},        {8, "", ""},
        {-1, "", ""},
    };
    const std::string bitmap = Bytes({0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x01, 0x00, 0x0F});
    for (const Case &c : cases) {
        Capture printer;
        LoadPreparedPage(printer, 8, 1, {0xF0}, 203);
        printer.regStruct.iGap[0] = c.media;
        printer.regStruct.iFeedLength = 10;
        printer.OnPaintBmp();
        // The mark feed comes before the feed after printing, the cut line after it.
        std::string expected = kStart + c.mediaCommand + kReset + kCenter + bitmap;
        if (c.afterBitmap == kNextMark)
            expected += kNextMark;
        expected += Bytes({0x1B, 0x4A, 0x4F});
        if (c.afterBitmap == kCutLine)
            expected += kCutLine;
        expected += kEnd;
        EXPECT_EQ(printer.writes, std::vector<std::string>{expected}) << "media " << c.media;
    }
}

TEST(PeriPagePage, WidePageIsCutToTheHeadOnlyWhenCompressed)
{
    struct Case {
        int dpi;
        bool compress;
        unsigned bytesPerLine;
    };
    const std::vector<Case> cases = {{203, true, 208}, {300, true, 250}, {203, false, 250}, {300, false, 250},
                                     {204, true, 250}, {100, true, 208}};
    const unsigned width = 2000, height = 5, lineBytes = 250;
    const std::vector<uint8_t> rows = RandomRows(width, height, 31);
    for (const Case &c : cases) {
        Capture printer;
        LoadPreparedPage(printer, width, height, rows, c.dpi);
        printer.halftone.ImageCompress = c.compress;
        printer.OnPaintBmp();
        const std::string &out = printer.writes.at(0);
        const size_t at = (kStart + Media(0x01) + kReset + kCenter).size();
        const std::string expectedBitmap = FirstBytesOfRows(rows, lineBytes, height, c.bytesPerLine, true);
        if (c.compress) {
            const Block block = ReadBlock(out, at);
            EXPECT_EQ(block.widthBytes, c.bytesPerLine) << c.dpi;
            EXPECT_EQ(block.rows, height);
            EXPECT_TRUE(block.bitmap == expectedBitmap) << c.dpi;
            EXPECT_EQ(out.substr(block.end), kCutLine + kEnd);
        } else {
            const int mode = c.dpi == 100 ? 3 : 0;
            EXPECT_EQ(out.substr(at, 8), Bytes({0x1D, 0x76, 0x30, mode, 250, 0, height, 0})) << c.dpi;
            EXPECT_TRUE(out.substr(at + 8, expectedBitmap.size()) == expectedBitmap) << c.dpi;
            EXPECT_EQ(out.substr(at + 8 + expectedBitmap.size()), kCutLine + kEnd);
        }
    }
}

TEST(PeriPagePage, HundredDpiRasterUsesModeThree)
{
    Capture printer;
    LoadPreparedPage(printer, 16, 2, {0x00, 0xFF, 0xFF, 0x00}, 100);
    printer.OnPaintBmp();
    EXPECT_EQ(printer.writes.at(0), kStart + Media(0x01) + kReset + kCenter +
                                        Bytes({0x1D, 0x76, 0x30, 0x03, 0x02, 0x00, 0x02, 0x00, 0xFF, 0x00, 0x00, 0xFF}) +
                                        kCutLine + kEnd);
}

TEST(PeriPagePage, CompressedStreamUsesAOneKiBWindow)
{
    // The stream header the printer never gets names the window: 2^(8 + 2) bytes.
    const std::string bitmap = Bytes({0, 0, 0, 0, 0, 0, 0xFF, 0x81, 0xFF, 0x81, 0xFF, 0x81, 0xFF, 0x81, 0xFF, 0x81});
    std::vector<uint8_t> stream;
    ASSERT_TRUE(CPrinterPeriPage::DeflateWindow10(reinterpret_cast<const uint8_t *>(bitmap.data()), bitmap.size(),
                                                  stream));
    ASSERT_EQ(stream.size(), 15u);
    EXPECT_EQ(stream[0], 0x28);
}

TEST(PeriPagePage, FailedCompressionDropsOnlyTheBitmap)
{
    struct Restore {
        ~Restore() { CPrinterPeriPage::SetCompressorForTest(nullptr); }
    } restore;
    CPrinterPeriPage::SetCompressorForTest([](const uint8_t *, size_t, std::vector<uint8_t> &stream) {
        stream.assign(40, 0xAA);  // half-written output must not leak either
        return false;
    });
    Capture printer;
    LoadPreparedPage(printer, 16, 8, std::vector<uint8_t>(16, 0x00), 203);
    printer.halftone.ImageCompress = true;
    printer.regStruct.iDensity = 2;
    CollectingOutput messages;
    printer.SetOutput(&messages);
    printer.OnPaintBmp();
    const std::string err = messages.messages;

    EXPECT_EQ(printer.writes, std::vector<std::string>{kStart + Media(0x01) + kReset +
                                                       Bytes({0x10, 0xFF, 0x10, 0x00, 0x02}) + kCenter + kCutLine +
                                                       kEnd});
    EXPECT_EQ(err.rfind("ERROR: ", 0), 0u) << err;
}

TEST(PeriPagePage, NoEndOfDocumentCutWhateverTheSettings)
{
    for (int cutMode = 0; cutMode <= 4; ++cutMode) {
        Capture printer;
        printer.regStruct.iCutMode = cutMode;
        printer.regStruct.iCashDrawer = cutMode % 3;
        printer.OnInit();
        LoadPreparedPage(printer, 8, 1, {0xFF}, 203);
        printer.OnPaintBmp();
        printer.OnEndDoc();
        // One page, no cut, no drawer pulse: the inherited settings mean nothing here.
        EXPECT_EQ(printer.writes, std::vector<std::string>{kStart + Media(0x01) + kReset + kCenter +
                                                           Bytes({0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x01, 0x00,
                                                                  0x00}) +
                                                           kCutLine + kEnd})
            << cutMode;
    }
}

TEST(PeriPagePage, TallCompressedPageGoesOutAsConsecutiveBlocks)
{
    const unsigned height = 65535 + 3;
    std::vector<uint8_t> rows(height);
    for (unsigned y = 0; y < height; ++y)
        rows[y] = static_cast<uint8_t>(~(y % 253));
    Capture printer;
    LoadPreparedPage(printer, 8, height, rows, 203);
    printer.halftone.ImageCompress = true;
    printer.OnPaintBmp();

    const std::string &out = printer.writes.at(0);
    const Block first = ReadBlock(out, (kStart + Media(0x01) + kReset + kCenter).size());
    const Block second = ReadBlock(out, first.end);
    EXPECT_EQ(first.rows, 65535u);
    EXPECT_EQ(second.rows, 3u);
    const std::string all = first.bitmap + second.bitmap;
    ASSERT_EQ(all.size(), height);
    for (unsigned y = 0; y < height; ++y)
        ASSERT_EQ(static_cast<uint8_t>(all[y]), y % 253) << y;
    EXPECT_EQ(out.substr(second.end), kCutLine + kEnd);
}

TEST(PeriPageJob, RecordingPageLosesItsBlankTopAndBottomRows)
{
    // Rows 0-2 and 7-9 are blank; only rows 3 to 6 reach the printer.
    RasterPage page = MakeRasterPage(32, 10, 1);
    const RasterPage trace = MakeRandomRasterPage(32, 4, 1, 41);
    for (unsigned y = 0; y < 4; ++y)
        std::copy(trace.Row(y), trace.Row(y) + 4, page.Row(3 + y));
    page.Row(3)[0] = 0x7F;  // a black dot in the first and the last kept row
    page.Row(6)[3] = 0xFE;
    RasterPage expectedRows = trace;
    std::copy(page.Row(3), page.Row(3) + 4, expectedRows.Row(0));
    std::copy(page.Row(6), page.Row(6) + 4, expectedRows.Row(3));

    const FilterResult result = RunPrinterJob(24, {Option("zeMediaTracking", "Recording", {"Continuous"})}, {page});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    // Recording paper takes neither the mark feed nor the cut line.
    EXPECT_EQ(result.out, kStart + Media(0x01) + kReset + kCenter +
                              Bytes({0x1D, 0x76, 0x30, 0x00, 0x04, 0x00, 0x04, 0x00}) + InvertedRows(expectedRows, 4) +
                              kEnd)
        << Hex(result.out);
}

TEST(PeriPagePage, RecordingCropKeepsTheSidesAndWhitensTheRowTails)
{
    // 385 dots: the cropped rows are padded white again before inversion,
    // so the printer sees 0 past the last dot.
    std::vector<uint8_t> rows(49 * 6, 0xFF);
    rows[2 * 49 + 0] = 0x7F;   // leftmost dot, row 2
    rows[3 * 49 + 48] = 0x00;  // last dot of the width, row 3 (tail bits black in the raster)
    Capture printer;
    printer.image.CreateFromArray(rows.data(), 385, 6, 1, 49, false);
    printer.iDpi = 203;
    printer.regStruct.iGap[0] = 5;
    printer.OnPaintBmp();

    std::string bitmap(2 * 49, '\0');
    bitmap[0] = static_cast<char>(0x80);
    bitmap[49 + 48] = static_cast<char>(0x80);
    EXPECT_EQ(printer.writes.at(0), kStart + Media(0x01) + kReset + kCenter +
                                        Bytes({0x1D, 0x76, 0x30, 0x00, 49, 0x00, 0x02, 0x00}) + bitmap + kEnd)
        << Hex(printer.writes.at(0), 200);

    // A blank recording page keeps its size.
    Capture blank;
    LoadPreparedPage(blank, 32, 3, std::vector<uint8_t>(12, 0xFF), 203);
    blank.regStruct.iGap[0] = 5;
    blank.OnPaintBmp();
    EXPECT_EQ(blank.writes.at(0).substr(15, 8), Bytes({0x1D, 0x76, 0x30, 0x00, 0x04, 0x00, 0x03, 0x00}));
}
