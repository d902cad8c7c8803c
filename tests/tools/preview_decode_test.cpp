#include "preview_streams.h"

#include "preview/huffman_tree.h"
#include "preview/stream_decoder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <string>

namespace {

DecodedStream Decode(StreamLanguage language, const Bytes &stream)
{
    return DecodeStream(language, reinterpret_cast<const uint8_t *>(stream.data()), stream.size());
}

bool HasLine(const std::vector<std::string> &lines, const std::string &part)
{
    for (const std::string &line : lines)
        if (line.find(part) != std::string::npos)
            return true;
    return false;
}

struct LanguageCase {
    const char *name;
    StreamLanguage language;
    std::function<Bytes(const Dots &)> page;
};

const LanguageCase kLanguageCases[] = {
    {"TsplRaw", StreamLanguage::Tspl, [](const Dots &d) { return TsplLabel(d, false); }},
    {"TsplZlib", StreamLanguage::Tspl, [](const Dots &d) { return TsplLabel(d, true); }},
    {"EscPos", StreamLanguage::EscPos, [](const Dots &d) { return EscPosPage(d, 65535, 79); }},
    {"EscPosBanded", StreamLanguage::EscPos, [](const Dots &d) { return EscPosPage(d, 7); }},
    {"Cpcl", StreamLanguage::Cpcl, [](const Dots &d) { return CpclLabel(d, d.rowBytes * 8 - 3); }},
    {"PaperangHuffman", StreamLanguage::Paperang, [](const Dots &d) { return PaperangPage(d); }},
    {"PaperangSmallBands", StreamLanguage::Paperang, [](const Dots &d) { return PaperangPage(d, 64); }},
    {"PeriPageRaw", StreamLanguage::PeriPage, [](const Dots &d) { return PeriPagePage(d, false); }},
    {"PeriPageDeflate", StreamLanguage::PeriPage, [](const Dots &d) { return PeriPagePage(d, true); }},
};

class EveryLanguage : public ::testing::TestWithParam<LanguageCase> {};

// Two pages of different sizes in one stream come back as two pictures, dot
// for dot, and the stream's first bytes name its language.
TEST_P(EveryLanguage, PagesDecodeToTheirDots)
{
    const LanguageCase &c = GetParam();
    const Dots first = RandomDots(48, 37, 1);
    const Dots second = RandomDots(5, 301, 2, 80);
    const Bytes stream = c.page(first) + c.page(second);
    ASSERT_EQ(DetectLanguage(reinterpret_cast<const uint8_t *>(stream.data()), stream.size()), c.language);
    const DecodedStream decoded = Decode(c.language, stream);
    ASSERT_FALSE(decoded.error.failed) << decoded.error.Message();
    ASSERT_EQ(decoded.pages.size(), 2u);
    EXPECT_TRUE(SameDots(decoded.pages[0], first));
    EXPECT_TRUE(SameDots(decoded.pages[1], second));
    EXPECT_TRUE(decoded.pages[0].Oddities().empty()) << decoded.pages[0].Oddities()[0];
}

// Pages of a single byte value (all white, all black) are the cases where a
// coder or an inverted bit sense shows.
TEST_P(EveryLanguage, UniformPagesKeepTheirColour)
{
    const LanguageCase &c = GetParam();
    for (uint8_t fill : {uint8_t{0x00}, uint8_t{0xFF}}) {
        const Dots dots{4, 3, std::vector<uint8_t>(12, fill)};
        const DecodedStream decoded = Decode(c.language, c.page(dots));
        ASSERT_FALSE(decoded.error.failed) << decoded.error.Message();
        ASSERT_EQ(decoded.pages.size(), 1u);
        EXPECT_TRUE(SameDots(decoded.pages[0], dots)) << int(fill);
    }
}

INSTANTIATE_TEST_SUITE_P(Preview, EveryLanguage, ::testing::ValuesIn(kLanguageCases),
                         [](const ::testing::TestParamInfo<LanguageCase> &info) { return info.param.name; });

TEST(PreviewTspl, ReportsTheLabelCommandsAndBitmapMode)
{
    const DecodedStream decoded = Decode(StreamLanguage::Tspl, TsplLabel(RandomDots(2, 2, 3), true));
    ASSERT_EQ(decoded.pages.size(), 1u);
    const std::vector<std::string> &lines = decoded.pages[0].Commands();
    EXPECT_TRUE(HasLine(lines, "SIZE 48.05 mm,30.03 mm"));
    EXPECT_TRUE(HasLine(lines, "GAP 3 mm,0 mm"));
    EXPECT_TRUE(HasLine(lines, "16 x 2 dots"));
    EXPECT_TRUE(HasLine(lines, "mode 3 (zlib"));
    EXPECT_TRUE(HasLine(lines, "PRINT 1,1"));
}

TEST(PreviewTspl, ALabelWithoutPrintIsShownAndFlagged)
{
    Bytes stream = TsplLabel(RandomDots(2, 2, 3), false);
    stream.resize(stream.size() - 11);  // drop "PRINT 1,1\r\n"
    const DecodedStream decoded = Decode(StreamLanguage::Tspl, stream);
    ASSERT_FALSE(decoded.error.failed) << decoded.error.Message();
    ASSERT_EQ(decoded.pages.size(), 1u);
    EXPECT_TRUE(HasLine(decoded.pages[0].Oddities(), "before PRINT"));
}

// The filter's worked example: 00 00 00 01 in one 32-dot line.
TEST(PreviewPaperang, DecodesTheProtocolExampleByteForByte)
{
    Bytes stream = PaperangFrame(Bytes("\x05\x19\x03\x00\x00", 5));
    stream += PaperangFrame(Bytes("\x05\x1C\x03\x0C\x00\x00\x01\x01\x00\x00\x00\x01\x00\x00\x01\x00\x00", 17));
    stream += PaperangFrame(Bytes("\x05\x1B\x03\x0E\x00\x00\x00\x0A\x00\x01\x04\x00\x00\x00\x01\x02\x00\x04\xE0", 19));
    stream += PaperangFrame(Bytes("\x05\x1A\x03\x00\x00", 5));
    stream += PaperangFrame(Bytes("\x05\x16\x03\x02\x00\x00\x00", 7));
    // The begin frame as the printer expects it: its CRC is the start value
    // continued over the five packet bytes.
    ASSERT_EQ(stream.substr(0, 9), Bytes("\xA5\x01\x05\x00\x05\x19\x03\x00\x00", 9));
    const DecodedStream decoded = Decode(StreamLanguage::Paperang, stream);
    ASSERT_FALSE(decoded.error.failed) << decoded.error.Message();
    ASSERT_EQ(decoded.pages.size(), 1u);
    EXPECT_TRUE(SameDots(decoded.pages[0], Dots{4, 1, {0, 0, 0, 1}}));
    EXPECT_TRUE(HasLine(decoded.pages[0].Commands(), "feed (0x16): 0"));
}

TEST(PreviewPaperang, FramesAreCheckedFromTheProtocolStartValue)
{
    // A frame whose CRC is computed some other way (plain CRC-32 from 0)
    // must be refused.
    Bytes frame = PaperangFrame(PaperangPacket(0x19, ""));
    const Bytes packet = frame.substr(4, 5);
    Bytes plain("\xA5\x01\x05\x00", 4);
    plain += packet;
    PutLe32(plain, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef *>(packet.data()), 5)));
    plain += '\x5A';
    EXPECT_FALSE(Decode(StreamLanguage::Paperang, frame).error.failed);
    const DecodedStream decoded = Decode(StreamLanguage::Paperang, plain);
    ASSERT_TRUE(decoded.error.failed);
    EXPECT_EQ(decoded.error.offset, 9u);
    EXPECT_NE(decoded.error.expected.find("CRC-32"), std::string::npos);
}

TEST(PreviewHuffman, RebuildsTreesFromTheTwoWalks)
{
    struct Case {
        std::vector<uint16_t> preorder, inorder;
        bool valid;
    };
    const Case cases[] = {
        {{256, 1, 0}, {1, 256, 0}, true},
        {{257, 256, 7, 8, 9}, {7, 256, 8, 257, 9}, true},
        {{257, 9, 256, 7, 8}, {9, 257, 7, 256, 8}, true},
        {{256, 1, 0}, {1, 0, 256}, false},            // leaf 0 would need a child
        {{256, 1, 1}, {1, 256, 1}, false},            // a value twice
        {{1, 256, 0}, {256, 1, 0}, false},            // a leaf as the root
        {{256, 1, 0, 2, 3}, {1, 256, 0, 2, 3}, false}, // not a full tree
        {{5}, {5}, false},                            // no code at all
    };
    for (const Case &c : cases) {
        HuffmanTree tree;
        std::string problem;
        EXPECT_EQ(tree.Build(c.preorder, c.inorder, problem), c.valid) << problem;
    }

    HuffmanTree tree;
    std::string problem;
    ASSERT_TRUE(tree.Build({257, 256, 7, 8, 9}, {7, 256, 8, 257, 9}, problem));
    // Codes: 7 = 00, 8 = 01, 9 = 1.
    const uint8_t bits[] = {0x1C};  // 0 0 0 1 1 1 | 0 0
    std::vector<uint8_t> out;
    EXPECT_TRUE(tree.Decode(bits, 6, out));
    EXPECT_EQ(out, (std::vector<uint8_t>{7, 8, 9, 9}));
    out.clear();
    EXPECT_FALSE(tree.Decode(bits, 7, out));  // ends inside the code 00
}

TEST(PreviewPeriPage, DecodesTheCompressedExample)
{
    Dots dots{2, 8, std::vector<uint8_t>(6, 0)};
    for (int i = 0; i < 5; ++i) {
        dots.bits.push_back(0xFF);
        dots.bits.push_back(0x81);
    }
    const Bytes block = PeriPageCompressedBlock(dots);
    EXPECT_EQ(block.substr(0, 6), Bytes("\x1F\x00\x00\x02\x00\x08", 6));
    EXPECT_EQ(block.substr(block.size() - 4), Bytes("\x2A\x8B\x07\x81", 4));
    const DecodedStream decoded = Decode(StreamLanguage::PeriPage, PeriPagePage(dots, true));
    ASSERT_FALSE(decoded.error.failed) << decoded.error.Message();
    ASSERT_EQ(decoded.pages.size(), 1u);
    EXPECT_TRUE(SameDots(decoded.pages[0], dots));
    const std::vector<std::string> &lines = decoded.pages[0].Commands();
    EXPECT_TRUE(HasLine(lines, "media 1 (10 FF 10 03): continuous"));
    EXPECT_TRUE(HasLine(lines, "density 3"));
    EXPECT_TRUE(HasLine(lines, "cut line (10 50)"));
}

// A receipt taller than one raster command can describe arrives as
// consecutive commands and is one page; cuts and drawer pulses stay with it.
TEST(PreviewEscPos, StacksConsecutiveRasterCommandsIntoOnePage)
{
    const Dots tall = RandomDots(2, 70000, 4);
    Bytes stream("\x1B\x70\x00\xFF\xFF", 5);
    stream += EscPosPage(tall, 65535, 319) + Bytes("\x1D\x56\x30", 3);
    stream += EscPosPage(RandomDots(3, 3, 5)) + Bytes("\x1D\x56\x31", 3);
    const DecodedStream decoded = Decode(StreamLanguage::EscPos, stream);
    ASSERT_FALSE(decoded.error.failed) << decoded.error.Message();
    ASSERT_EQ(decoded.pages.size(), 2u);
    EXPECT_TRUE(SameDots(decoded.pages[0], tall));
    const std::vector<std::string> &lines = decoded.pages[0].Commands();
    EXPECT_TRUE(HasLine(lines, "cash-drawer pulse"));
    EXPECT_TRUE(HasLine(lines, "16 x 65535 dots"));
    EXPECT_TRUE(HasLine(lines, "16 x 4465 dots"));
    EXPECT_TRUE(HasLine(lines, "feed 319 dots (ESC J x2)"));
    EXPECT_TRUE(HasLine(lines, "full cut"));
    EXPECT_TRUE(HasLine(decoded.pages[1].Commands(), "partial cut"));
}

TEST(PreviewEscPos, MixedRasterWidthsArePaddedAndFlagged)
{
    const Bytes stream = EscPosPage(Dots{1, 1, {0x80}}) + Bytes("\x1D\x76\x30\x00\x02\x00\x01\x00\x01\x01", 10);
    const DecodedStream decoded = Decode(StreamLanguage::EscPos, stream);
    ASSERT_FALSE(decoded.error.failed) << decoded.error.Message();
    ASSERT_EQ(decoded.pages.size(), 1u);
    EXPECT_TRUE(SameDots(decoded.pages[0], Dots{2, 2, {0x80, 0x00, 0x01, 0x01}}));
    EXPECT_FALSE(decoded.pages[0].Oddities().empty());
}

TEST(PreviewDetect, UnknownFirstBytesNameNoLanguage)
{
    for (const Bytes &start : {Bytes(""), Bytes("\x00\x01", 2), Bytes("size 1"), Bytes("\xA5\x02", 2)})
        EXPECT_FALSE(DetectLanguage(reinterpret_cast<const uint8_t *>(start.data()), start.size()).has_value());
}

}  // namespace
