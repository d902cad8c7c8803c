#include "printers/printer_paperang.h"

#include "printers/paperang_frames.h"
#include "support/filter_runner.h"
#include "support/ppd_writer.h"
#include "support/raster_writer.h"
#include "support/temp_dir.h"
#include "support/collecting_output.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using paperangtest::Frame;
using paperangtest::ParseFrames;
using paperangtest::ReadPages;

// The back-end with its printer output and log lines kept for inspection.
class SpoolingPaperang : public CPrinterPaperang {
public:
    bool WriteSpool(const void *data, int length) override
    {
        ++spoolCalls;
        spooled.append(static_cast<const char *>(data), static_cast<size_t>(length));
        return true;
    }
    void AddLog(const char *format, ...) override { logs.emplace_back(format); }

    uint32_t TableEntry(int i) const { return crcTable[i]; }

    // A one-bit page image of the given stored row length filled by fill(x, y).
    template <class Fill>
    void SetPage(uint32_t rowBytes, uint32_t rows, Fill fill)
    {
        ASSERT_NE(image.Create(rowBytes * 8, rows, 1, 0), nullptr);
        ASSERT_EQ(image.GetEffWidth(), rowBytes);
        for (uint32_t y = 0; y < rows; ++y) {
            uint8_t *row = image.GetBits(0) + static_cast<size_t>(y) * rowBytes;
            for (uint32_t x = 0; x < rowBytes; ++x)
                row[x] = fill(x, y);
        }
    }

    std::string spooled;
    int spoolCalls = 0;
    std::vector<std::string> logs;
};

std::string FilterOutput(const std::vector<RasterPage> &pages, const std::string &media, FilterResult *result = nullptr)
{
    ScopedTempDir dir;
    PpdDescription description;
    description.modelNumber = 23;
    description.options = {Option("zeMediaTracking", media,
                           {"Continuous", "Gap", "BLine", "Perforated", "Roll", "Recording", "Tattoo",
                            "TattooWrinkle"})};
    WritePpdFile(dir.File("paperang.ppd"), description);
    WriteRasterFile(dir.File("page.ras"), pages);
    FilterResult run = RunFilterOn(dir.File("paperang.ppd"), dir.File("page.ras"));
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.err.find("ERROR"), std::string::npos) << run.err;
    if (result != nullptr)
        *result = run;
    return run.out;
}

std::vector<uint8_t> Inverted(const RasterPage &page)
{
    std::vector<uint8_t> bytes(page.data);
    for (uint8_t &b : bytes)
        b = static_cast<uint8_t>(~b);
    return bytes;
}

TEST(PaperangCrc, MatchesZlibContinuedFromTheStartValue)
{
    SpoolingPaperang printer;
    EXPECT_EQ(printer.TableEntry(0), 0x00000000u);
    EXPECT_EQ(printer.TableEntry(1), 0x77073096u);
    EXPECT_EQ(printer.TableEntry(255), 0x2D02EF8Du);

    std::mt19937 random(5);
    for (unsigned length : {1u, 5u, 17u, 1000u}) {
        std::vector<unsigned char> data(length);
        for (unsigned char &b : data)
            b = static_cast<unsigned char>(random());
        EXPECT_EQ(printer.MakeCrc32(data.data(), length), crc32(0x35769521, data.data(), length)) << length;
    }
    EXPECT_EQ(printer.MakeCrc32(nullptr, 0), 0x35769521u);
}

// 32 dots, one line, the last dot black: five frames, byte for byte.
TEST(PaperangFilter, OneDotPageGivesTheFiveFrameSequence)
{
    RasterPage page = MakeRasterPage(32, 1, 1, 0xFF);
    page.data[3] = 0xFE;
    const std::string out = FilterOutput({page}, "Continuous");

    const std::string expected =
        Frame({0x05, 0x19, 0x03, 0x00, 0x00}) +
        Frame({0x05, 0x1C, 0x03, 0x0C, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00}) +
        Frame({0x05, 0x1B, 0x03, 0x0E, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x01, 0x04, 0x00, 0x00, 0x00, 0x01, 0x02, 0x00,
               0x04, 0xE0}) +
        Frame({0x05, 0x1A, 0x03, 0x00, 0x00}) + Frame({0x05, 0x16, 0x03, 0x02, 0x00, 0x00, 0x00});
    EXPECT_EQ(out, expected);
    // The begin frame spelled out once, CRC from zlib.
    const uLong crc = crc32(0x35769521, reinterpret_cast<const Bytef *>("\x05\x19\x03\x00\x00"), 5);
    const std::string begin = std::string("\xA5\x01\x05\x00\x05\x19\x03\x00\x00", 9) +
                              static_cast<char>(crc) + static_cast<char>(crc >> 8) + static_cast<char>(crc >> 16) +
                              static_cast<char>(crc >> 24) + '\x5A';
    EXPECT_EQ(out.substr(0, 14), begin);
}

TEST(PaperangFilter, MediaTypeChoosesLocateFeedOrNothing)
{
    struct Case {
        const char *media;
        int tail;
    };
    const Case cases[] = {
        {"Continuous", 0x16}, {"Gap", 0x21},       {"BLine", 0x21},  {"Perforated", 0},
        {"Roll", 0x16},       {"Recording", 0},    {"Tattoo", 0},    {"TattooWrinkle", 0},
    };
    const RasterPage page = MakeRandomRasterPage(64, 5, 1, 3);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.media);
        const paperangtest::Stream stream = ParseFrames(FilterOutput({page}, c.media));
        ASSERT_EQ(stream.fault, "");
        std::string fault;
        const std::vector<paperangtest::Page> pages = ReadPages(stream.packets, fault);
        ASSERT_EQ(fault, "");
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_EQ(pages[0].tail, c.tail);
        EXPECT_EQ(pages[0].bitmap, Inverted(page));
    }
}

// Every page is a complete sequence of its own: its own tree, band indices
// from 0, the page's bitmap burnt exactly.
TEST(PaperangFilter, EveryPageIsACompleteSequence)
{
    std::vector<RasterPage> pages = {
        MakeRandomRasterPage(384, 300, 1, 11),
        MakeRasterPage(384, 100, 1, 0xFF),
        MakeRandomRasterPage(96, 2, 1, 12),
        MakeRasterPage(384, 50, 1, 0x00),
    };
    // Sparse black on white, the usual receipt.
    std::mt19937 random(13);
    RasterPage receipt = MakeRasterPage(576, 400, 1, 0xFF);
    for (uint8_t &b : receipt.data) {
        if (random() % 16 == 0)
            b = static_cast<uint8_t>(random());
    }
    pages.push_back(receipt);

    const paperangtest::Stream stream = ParseFrames(FilterOutput(pages, "Gap"));
    ASSERT_EQ(stream.fault, "");
    std::string fault;
    const std::vector<paperangtest::Page> decoded = ReadPages(stream.packets, fault);
    ASSERT_EQ(fault, "");
    ASSERT_EQ(decoded.size(), pages.size());
    for (size_t i = 0; i < pages.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(decoded[i].lineWidth, static_cast<int>(pages[i].BytesPerLine()));
        EXPECT_EQ(decoded[i].bitmap, Inverted(pages[i]));
        EXPECT_EQ(decoded[i].tail, 0x21);
    }
    // The blank page: 42 lines of 48 bytes per band, each 0x00 then 252 x 0xFF.
    ASSERT_EQ(decoded[1].bands, 3);
    std::vector<uint8_t> full(253, 0xFF);
    full[0] = 0x00;
    EXPECT_EQ(decoded[1].bandData[0].bytes, full);
    EXPECT_EQ(decoded[1].bandData[1].bytes, full);
    EXPECT_EQ(decoded[1].bandData[2].bytes.size(), 1u + 16 * 48 / 8);
}

TEST(PaperangPage, OneSpoolPerPageAndTheLogLines)
{
    SpoolingPaperang printer;
    printer.SetPage(8, 3, [](uint32_t x, uint32_t y) { return static_cast<uint8_t>(x * 37 + y); });
    printer.OnPaintBmp();
    printer.SetPage(4, 1, [](uint32_t, uint32_t) { return uint8_t{0xFF}; });
    printer.OnPaintBmp();
    EXPECT_EQ(printer.spoolCalls, 2);
    EXPECT_EQ(printer.logs, (std::vector<std::string>{"OnPaintBmp", "MM_TP_CTRL_PRINT_START",
                                                       "MM_TP_CTRL_PRINT_END", "OnPaintBmp",
                                                       "MM_TP_CTRL_PRINT_START", "MM_TP_CTRL_PRINT_END"}));
    const paperangtest::Stream stream = ParseFrames(printer.spooled);
    ASSERT_EQ(stream.fault, "");
    std::string fault;
    EXPECT_EQ(ReadPages(stream.packets, fault).size(), 2u);
    EXPECT_EQ(fault, "");
}

// Pages that cannot travel intact send nothing at all and say why; a band
// just short of the frame's 16-bit length still goes out.
TEST(PaperangPage, PagesThatCannotBeFramedSendNothing)
{
    struct Case {
        const char *name;
        uint32_t rowBytes;  // 0: no pixel data at all
        bool allValues;     // every byte value equally often: 8-bit codes
        bool printed;
        uint32_t bpp = 1;
    };
    const Case cases[] = {
        {"no pixel data", 0, false, false},
        {"eight bits per dot", 8, false, false, 8},
        {"band of 65501 bytes", 65500, true, true},
        {"band of 65521 bytes", 65520, true, false},
        {"row wider than the width field", 65536, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SpoolingPaperang printer;
        if (c.bpp != 1) {
            ASSERT_NE(printer.image.Create(c.rowBytes, 1, c.bpp, 0), nullptr);
        } else if (c.rowBytes > 0) {
            printer.SetPage(c.rowBytes, 1, [&](uint32_t x, uint32_t) {
                return c.allValues ? static_cast<uint8_t>(x) : uint8_t{0xFF};
            });
        }
        CollectingOutput messages;
        printer.SetOutput(&messages);
        printer.OnPaintBmp();
        const std::string err = messages.messages;
        if (c.printed) {
            EXPECT_EQ(err, "");
            const paperangtest::Stream stream = ParseFrames(printer.spooled);
            ASSERT_EQ(stream.fault, "");
            ASSERT_EQ(stream.packets.size(), 5u);
            EXPECT_EQ(stream.packets[2].payload.size(), 12u + c.rowBytes + 1);
        } else {
            EXPECT_EQ(printer.spoolCalls, 0);
            EXPECT_EQ(err.rfind("ERROR: ", 0), 0u) << err;
            EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
            // The next page starts from an empty command buffer.
            printer.SetPage(4, 1, [](uint32_t, uint32_t) { return uint8_t{0xFF}; });
            printer.OnPaintBmp();
            const paperangtest::Stream stream = ParseFrames(printer.spooled);
            ASSERT_EQ(stream.fault, "");
            EXPECT_EQ(stream.packets.size(), 5u);
        }
    }
}

}  // namespace
