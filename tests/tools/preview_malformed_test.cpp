#include "preview_streams.h"

#include "preview/stream_decoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

DecodedStream Decode(StreamLanguage language, const Bytes &stream)
{
    return DecodeStream(language, reinterpret_cast<const uint8_t *>(stream.data()), stream.size());
}

const Dots kDots = RandomDots(6, 9, 11);

Bytes Replace(Bytes stream, const Bytes &from, const Bytes &to)
{
    const size_t at = stream.find(from);
    if (at == Bytes::npos)
        throw std::runtime_error("pattern not in stream");
    return stream.replace(at, from.size(), to);
}

Bytes Flip(Bytes stream, size_t offset)
{
    stream[offset] = static_cast<char>(stream[offset] ^ 0x5A);
    return stream;
}

Bytes Drop(Bytes stream, size_t count)
{
    stream.resize(stream.size() - count);
    return stream;
}

size_t Find(const Bytes &stream, const Bytes &what)
{
    const size_t at = stream.find(what);
    if (at == Bytes::npos)
        throw std::runtime_error("pattern not in stream");
    return at;
}

size_t After(const Bytes &stream, const Bytes &what)
{
    return Find(stream, what) + what.size();
}

// A Paperang page with the given tree and band payloads. The band payload
// starts at offset 49 and its data at 61.
Bytes PaperangWith(const Bytes &treePayload, const Bytes &bandPayload)
{
    Bytes stream = PaperangFrame(PaperangPacket(0x19, ""));
    stream += PaperangFrame(PaperangPacket(0x1C, treePayload));
    stream += PaperangFrame(PaperangPacket(0x1B, bandPayload));
    return stream + PaperangFrame(PaperangPacket(0x1A, ""));
}

// Two leaves: 1 codes to 0, 0 codes to 1.
const Bytes kTwoLeafTree("\x00\x01\x01\x00\x00\x00\x01\x00\x00\x01\x00\x00", 12);
// Three leaves: 7 = 00, 8 = 01, 9 = 1.
const Bytes kThreeLeafTree("\x01\x01\x00\x01\x07\x00\x08\x00\x09\x00"
                           "\x07\x00\x00\x01\x08\x00\x01\x01\x09\x00", 20);

Bytes BandPayload(uint32_t dataSize, uint32_t inner, uint32_t width, const Bytes &data)
{
    Bytes payload("\x00\x00", 2);
    PutLe16(payload, inner);
    payload += '\x01';
    PutLe16(payload, width);
    payload += Bytes("\x00\x00\x01", 3);
    PutLe16(payload, dataSize);
    return payload + data;
}

struct Malformed {
    const char *name;
    StreamLanguage language;
    Bytes stream;
    size_t offset;         // where the error must point
    const char *mentions;  // part of the explanation
};

std::vector<Malformed> MalformedStreams()
{
    const Bytes tspl = TsplLabel(kDots, false);
    const Bytes tsplZ = TsplLabel(kDots, true);
    const size_t zLength = std::stoul(tsplZ.substr(After(tsplZ, ",6,9,3,")));
    const Bytes zHeader = ",6,9,3," + std::to_string(zLength) + ",";
    const size_t zData = After(tsplZ, zHeader);
    const Bytes tsplShort = Replace(tsplZ, zHeader, ",6,10,3," + std::to_string(zLength) + ",");
    const Bytes tsplHuge = Replace(tspl, ",6,9,1,", ",2147483647,2147483647,1,");
    const Bytes tsplHugeZ = Replace(tsplZ, ",6,9,3,", ",2147483647,2147483647,3,");
    const Bytes tsplLargeZ = Replace(tsplZ, ",6,9,3,", ",16384,16384,3,");
    const Bytes cpcl = CpclLabel(kDots, 48);
    const Bytes escpos = EscPosPage(kDots);
    const Bytes peri = PeriPagePage(kDots, true);
    const size_t periData = Find(peri, Bytes("\x1F\x00", 2)) + 10;
    const size_t periTrailer = peri.size() - 6 - 4;
    Bytes periBadBlock = peri;
    periBadBlock[periData] = '\xFF';  // a final block of the reserved type
    const Bytes paperang = PaperangPage(kDots);
    return {
        {"TsplTruncatedBitmap", StreamLanguage::Tspl, tspl.substr(0, Find(tspl, "\r\nPRINT") - 8),
         After(tspl, ",6,9,1,"), "54 bytes of BITMAP data"},
        {"TsplBitmapWithoutLineEnd", StreamLanguage::Tspl, Replace(tspl, "\r\nPRINT", "PRINT"),
         Find(tspl, "\r\nPRINT"), "CR LF after the BITMAP data"},
        {"TsplBadZlibHeader", StreamLanguage::Tspl, Flip(tsplZ, zData), zData, "not valid"},
        {"TsplZlibLengthPastTheEnd", StreamLanguage::Tspl, Replace(tsplZ, zHeader, ",6,9,3,99999,"),
         After(tsplZ, ",6,9,3,") + 6, "compressed BITMAP data"},
        {"TsplZlibTooShortForTheRows", StreamLanguage::Tspl, tsplShort, zData + 1, "yields only 54 bytes"},
        {"TsplZlibLongerThanTheRows", StreamLanguage::Tspl, Replace(tsplZ, ",6,9,3,", ",6,8,3,"), zData,
         "more than the declared 48 bytes"},
        {"TsplHugeDeclaredBitmap", StreamLanguage::Tspl, tsplHuge, After(tsplHuge, "2147483647,1,"),
         "4611686014132420609 bytes"},
        {"TsplHugeDeclaredZlibBitmap", StreamLanguage::Tspl, tsplHugeZ,
         After(tsplHugeZ, "2147483647,3," + std::to_string(zLength) + ","), "more than the 268435456 a page can hold"},
        {"TsplLargeDeclaredZlibBitmap", StreamLanguage::Tspl, tsplLargeZ,
         After(tsplLargeZ, "16384,3," + std::to_string(zLength) + ","), "yields only 54 bytes"},
        {"TsplUnknownMode", StreamLanguage::Tspl, Replace(tspl, ",9,1,", ",9,2,"), Find(tspl, "BITMAP"), "mode 2"},
        {"TsplBinaryJunk", StreamLanguage::Tspl, "CLS\r\n\x01\x02", 5, "TSPL command"},
        {"EscPosRasterPastTheEnd", StreamLanguage::EscPos, Drop(escpos, 1), 14, "GS v 0 image data"},
        {"EscPosUnknownCommand", StreamLanguage::EscPos, escpos + "\x1B\x21\x00", escpos.size(), "ESC/POS command"},
        {"EscPosBadRasterMode", StreamLanguage::EscPos,
         Replace(escpos, Bytes("\x1D\x76\x30\x00", 4), "\x1D\x76\x30\x07"), 9, "GS v 0 mode"},
        {"CpclTruncatedGraphic", StreamLanguage::Cpcl, cpcl.substr(0, Find(cpcl, "FORM") - 1),
         After(cpcl, "CG 6 9 0 0\r\n"), "54 bytes of CG data"},
        {"CpclNoHeader", StreamLanguage::Cpcl, cpcl.substr(Find(cpcl, "PAGE-WIDTH")), 0, "label header"},
        {"PeriPageBadAdler", StreamLanguage::PeriPage, Flip(peri, periTrailer + 3), periTrailer, "Adler-32"},
        {"PeriPageBadDeflateData", StreamLanguage::PeriPage, periBadBlock, periData, "deflate data"},
        {"PeriPageLengthPastTheEnd", StreamLanguage::PeriPage,
         Replace(peri, peri.substr(periData - 4, 4), Bytes("\x00\x10\x00\x00", 4)), periData,
         "compressed bitmap data"},
        {"PeriPageNoBeginCommand", StreamLanguage::PeriPage, peri.substr(4), 0, "10 FF FE 01"},
        {"PaperangBadCrc", StreamLanguage::Paperang, Flip(paperang, 9), 9, "CRC-32"},
        {"PaperangCorruptPacket", StreamLanguage::Paperang, Flip(paperang, 6), 9, "CRC-32"},
        {"PaperangFrameLengthPastTheEnd", StreamLanguage::Paperang, paperang.substr(0, 20), 18, "framed packet"},
        {"PaperangMissingEndByte", StreamLanguage::Paperang, Replace(paperang, "\x5A\xA5", "\x5B\xA5"), 13,
         "end byte 5A"},
        {"PaperangWrongPayloadLength", StreamLanguage::Paperang, PaperangFrame(Bytes("\x05\x19\x03\x01\x00", 5)), 7,
         "payload length of 0"},
        {"PaperangWrongBandLength", StreamLanguage::Paperang,
         PaperangWith(kTwoLeafTree, BandPayload(3, 10, 4, Bytes("\x04\xE0", 2))), 59, "band data length of 2"},
        {"PaperangWrongInnerLength", StreamLanguage::Paperang,
         PaperangWith(kTwoLeafTree, BandPayload(2, 11, 4, Bytes("\x04\xE0", 2))), 51, "inner length of 10"},
        {"PaperangBandEndsInsideACode", StreamLanguage::Paperang,
         PaperangWith(kThreeLeafTree, BandPayload(2, 10, 4, Bytes("\x01\x00", 2))), 69, "whole code"},
        {"PaperangBandsMakePartLines", StreamLanguage::Paperang,
         PaperangWith(kTwoLeafTree, BandPayload(2, 10, 3, Bytes("\x04\xE0", 2))), 72, "whole lines of 3 bytes"},
        {"PaperangBadUnusedCount", StreamLanguage::Paperang,
         PaperangWith(kTwoLeafTree, BandPayload(2, 10, 4, Bytes("\x09\xE0", 2))), 61, "unused bits"},
        {"PaperangTreeWalksDisagree", StreamLanguage::Paperang,
         PaperangFrame(PaperangPacket(0x19, "")) +
             PaperangFrame(PaperangPacket(0x1C, Bytes("\x00\x01\x01\x00\x00\x00\x01\x00\x00\x00\x00\x01", 12))),
         23, "walks"},
        {"PaperangBandBeforeTree", StreamLanguage::Paperang,
         PaperangFrame(PaperangPacket(0x19, "")) +
             PaperangFrame(PaperangPacket(0x1B, BandPayload(2, 10, 4, "\x04\xE0"))),
         18, "code tree packet"},
    };
}

TEST(PreviewMalformed, StreamsGiveAnErrorAtTheRightOffset)
{
    for (const Malformed &c : MalformedStreams()) {
        SCOPED_TRACE(c.name);
        const DecodedStream decoded = Decode(c.language, c.stream);
        ASSERT_TRUE(decoded.error.failed);
        EXPECT_EQ(decoded.error.offset, c.offset) << decoded.error.Message();
        EXPECT_NE(decoded.error.Message().find(c.mentions), std::string::npos) << decoded.error.Message();
        EXPECT_LE(decoded.error.offset, c.stream.size());
    }
}

// Every prefix and many corrupted copies of a valid stream of each language
// either decode or fail cleanly inside the input (the sanitizer build
// catches any read past it).
TEST(PreviewMalformed, CutAndCorruptedStreamsNeverReadPastTheInput)
{
    const Dots dots = RandomDots(3, 5, 21);
    const std::pair<StreamLanguage, Bytes> streams[] = {
        {StreamLanguage::Tspl, TsplLabel(dots, false) + TsplLabel(dots, true)},
        {StreamLanguage::EscPos, EscPosPage(dots, 2, 300) + EscPosPage(dots)},
        {StreamLanguage::Cpcl, CpclLabel(dots, 20)},
        {StreamLanguage::Paperang, PaperangPage(dots, 40)},
        {StreamLanguage::PeriPage, PeriPagePage(dots, true) + PeriPagePage(dots, false)},
    };
    std::mt19937 random(7);
    for (const auto &[language, stream] : streams) {
        for (size_t length = 0; length < stream.size(); ++length) {
            // A copy of exactly the prefix, so any over-read leaves the block.
            const std::vector<uint8_t> prefix(stream.begin(), stream.begin() + static_cast<long>(length));
            const DecodedStream decoded = DecodeStream(language, prefix.data(), prefix.size());
            if (decoded.error.failed) {
                EXPECT_LE(decoded.error.offset, length);
            }
        }
        for (int round = 0; round < 300; ++round) {
            std::vector<uint8_t> copy(stream.begin(), stream.end());
            for (int flips = 0; flips < 3; ++flips)
                copy[random() % copy.size()] = static_cast<uint8_t>(random());
            const DecodedStream decoded = DecodeStream(language, copy.data(), copy.size());
            if (decoded.error.failed) {
                EXPECT_LE(decoded.error.offset, copy.size());
            }
        }
    }
}

}  // namespace
