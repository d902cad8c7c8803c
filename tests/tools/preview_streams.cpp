#include "preview_streams.h"

#include <zlib.h>

#include <array>
#include <random>
#include <stdexcept>

std::vector<uint8_t> Dots::Inverted() const
{
    std::vector<uint8_t> out(bits);
    for (uint8_t &byte : out)
        byte = static_cast<uint8_t>(~byte);
    return out;
}

Dots RandomDots(uint32_t rowBytes, uint32_t rows, uint32_t seed, int density)
{
    Dots dots{rowBytes, rows, std::vector<uint8_t>(static_cast<size_t>(rowBytes) * rows, 0)};
    std::mt19937 random(seed);
    for (uint8_t &byte : dots.bits)
        for (int bit = 0; bit < 8; ++bit)
            if (static_cast<int>(random() % 100) < density)
                byte = static_cast<uint8_t>(byte | (0x80 >> bit));
    return dots;
}

void PutLe16(Bytes &out, uint32_t value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void PutLe32(Bytes &out, uint32_t value)
{
    PutLe16(out, value & 0xFFFF);
    PutLe16(out, value >> 16);
}

void PutBe16(Bytes &out, uint32_t value)
{
    out += static_cast<char>((value >> 8) & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

void PutBe32(Bytes &out, uint32_t value)
{
    PutBe16(out, value >> 16);
    PutBe16(out, value & 0xFFFF);
}

Bytes FromVector(const std::vector<uint8_t> &bytes)
{
    return Bytes(bytes.begin(), bytes.end());
}

Bytes TsplLabel(const Dots &dots, bool compressed)
{
    Bytes out = "SIZE 48.05 mm,30.03 mm\r\nSET RIBBON OFF\r\nREFERENCE 0,0\r\nGAP 3 mm,0 mm\r\nOFFSET 0 mm\r\n"
                "SETC AUTODOTTED OFF\r\nSETC PAUSEKEY ON\r\nSETC WATERMARK ON\r\nCLS\r\n";
    out += "BITMAP 0,0," + std::to_string(dots.rowBytes) + "," + std::to_string(dots.rows) + ",";
    if (!compressed) {
        out += "1," + FromVector(dots.Inverted());
    } else {
        std::vector<uint8_t> packed(compressBound(dots.bits.size()));
        uLongf packedSize = packed.size();
        if (compress(packed.data(), &packedSize, dots.bits.data(), dots.bits.size()) != Z_OK)
            throw std::runtime_error("compress failed");
        packed.resize(packedSize);
        out += "3," + std::to_string(packedSize) + "," + FromVector(packed);
    }
    out += "\r\nPRINT 1,1\r\n";
    return out;
}

namespace {

Bytes RasterCommands(const Dots &dots, uint32_t rowsPerCommand)
{
    Bytes out;
    for (uint32_t y = 0; y < dots.rows; y += rowsPerCommand) {
        const uint32_t rows = std::min(rowsPerCommand, dots.rows - y);
        out += Bytes("\x1D\x76\x30\x00", 4);
        PutLe16(out, dots.rowBytes);
        PutLe16(out, rows);
        out += Bytes(reinterpret_cast<const char *>(dots.Row(y)), static_cast<size_t>(rows) * dots.rowBytes);
    }
    return out;
}

}  // namespace

Bytes EscPosPage(const Dots &dots, uint32_t rowsPerCommand, uint32_t feedDots)
{
    Bytes out("\x1B\x40\x00\x1B\x61\x01", 6);
    out += RasterCommands(dots, rowsPerCommand);
    while (feedDots > 0) {
        const uint32_t step = std::min<uint32_t>(feedDots, 255);
        out += "\x1B\x4A";
        out += static_cast<char>(step);
        feedDots -= step;
    }
    return out;
}

Bytes CpclLabel(const Dots &dots, uint32_t pageWidth)
{
    Bytes out = "! 0 200 200 " + std::to_string(dots.rows) + " 1\r\nPAGE-WIDTH " + std::to_string(pageWidth) +
                "\r\nCG " + std::to_string(dots.rowBytes) + " " + std::to_string(dots.rows) + " 0 0\r\n";
    out += FromVector(dots.bits);
    out += "FORM\r\nPRINT\r\n";
    return out;
}

Bytes PeriPageCompressedBlock(const Dots &dots)
{
    z_stream zs{};
    if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 10, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::vector<uint8_t> packed(deflateBound(&zs, dots.bits.size()));
    zs.next_in = const_cast<Bytef *>(dots.bits.data());
    zs.avail_in = static_cast<uInt>(dots.bits.size());
    zs.next_out = packed.data();
    zs.avail_out = static_cast<uInt>(packed.size());
    if (deflate(&zs, Z_FINISH) != Z_STREAM_END)
        throw std::runtime_error("deflate failed");
    const size_t produced = zs.total_out;
    deflateEnd(&zs);
    Bytes out("\x1F\x00", 2);
    PutBe16(out, dots.rowBytes);
    PutBe16(out, dots.rows);
    PutBe32(out, static_cast<uint32_t>(produced - 2));
    out += Bytes(reinterpret_cast<const char *>(packed.data()) + 2, produced - 2);
    return out;
}

Bytes PeriPagePage(const Dots &dots, bool compressed)
{
    Bytes out("\x10\xFF\xFE\x01\x10\xFF\x10\x03\x01\x1B\x40\x00\x10\xFF\x10\x00\x03\x1B\x61\x01", 20);
    out += compressed ? PeriPageCompressedBlock(dots) : RasterCommands(dots, 65535);
    out += Bytes("\x10\x50\x10\xFF\xFE\x45", 6);
    return out;
}

Bytes PaperangFrame(const Bytes &packet)
{
    Bytes out("\xA5\x01", 2);
    PutLe16(out, static_cast<uint32_t>(packet.size()));
    out += packet;
    PutLe32(out, static_cast<uint32_t>(
                     crc32(0x35769521u, reinterpret_cast<const Bytef *>(packet.data()), static_cast<uInt>(packet.size()))));
    out += '\x5A';
    return out;
}

Bytes PaperangPacket(uint8_t code, const Bytes &payload)
{
    Bytes out;
    out += '\x05';
    out += static_cast<char>(code);
    out += '\x03';
    PutLe16(out, static_cast<uint32_t>(payload.size()));
    return out + payload;
}

namespace {

// A balanced code tree over the byte values used: simple, and unlike the
// printer's own coder, so the decoder is shown to take any valid tree.
struct TestTree {
    std::vector<uint16_t> preorder, inorder;
    std::array<std::string, 256> codes;
    uint16_t nextInner = 256;

    void Walk(const std::vector<uint8_t> &values, size_t low, size_t high, const std::string &prefix)
    {
        if (high - low == 1) {
            preorder.push_back(values[low]);
            inorder.push_back(values[low]);
            codes[values[low]] = prefix;
            return;
        }
        const uint16_t me = nextInner++;
        preorder.push_back(me);
        const size_t middle = (low + high) / 2;
        Walk(values, low, middle, prefix + "0");
        inorder.push_back(me);
        Walk(values, middle, high, prefix + "1");
    }
};

Bytes PackBand(const std::string &bits)
{
    const size_t unused = (8 - bits.size() % 8) % 8;
    Bytes out;
    out += static_cast<char>(unused);
    // Unused low bits are set, so a decoder that reads them goes wrong.
    const std::string padded = bits + std::string(unused, '1');
    for (size_t i = 0; i < padded.size(); i += 8) {
        uint8_t byte = 0;
        for (size_t b = 0; b < 8; ++b)
            byte = static_cast<uint8_t>((byte << 1) | (padded[i + b] == '1'));
        out += static_cast<char>(byte);
    }
    return out;
}

}  // namespace

Bytes PaperangPage(const Dots &dots, uint32_t bandLimitBits)
{
    std::array<bool, 256> used{};
    for (uint8_t byte : dots.bits)
        used[byte] = true;
    std::vector<uint8_t> values;
    for (int v = 0; v < 256; ++v)
        if (used[v])
            values.push_back(static_cast<uint8_t>(v));
    if (values.size() == 1)
        values.insert(values[0] == 0 ? values.end() : values.begin(), static_cast<uint8_t>(values[0] ^ 1));
    TestTree tree;
    tree.Walk(values, 0, values.size(), "");

    Bytes out = PaperangFrame(PaperangPacket(0x19, ""));
    Bytes treePayload;
    for (uint16_t v : tree.preorder)
        PutLe16(treePayload, v);
    for (uint16_t v : tree.inorder)
        PutLe16(treePayload, v);
    out += PaperangFrame(PaperangPacket(0x1C, treePayload));

    uint32_t bandIndex = 0;
    std::string band;
    auto flush = [&]() {
        const Bytes data = PackBand(band);
        Bytes payload;
        PutLe16(payload, bandIndex++);
        PutLe16(payload, static_cast<uint32_t>(data.size() + 8));
        payload += '\x01';
        PutLe16(payload, dots.rowBytes);
        payload += Bytes("\x00\x00\x01", 3);
        PutLe16(payload, static_cast<uint32_t>(data.size()));
        out += PaperangFrame(PaperangPacket(0x1B, payload + data));
        band.clear();
    };
    for (uint32_t y = 0; y < dots.rows; ++y) {
        std::string line;
        for (uint32_t i = 0; i < dots.rowBytes; ++i)
            line += tree.codes[dots.Row(y)[i]];
        if (!band.empty() && band.size() + line.size() >= bandLimitBits)
            flush();
        band += line;
    }
    if (!band.empty())
        flush();
    out += PaperangFrame(PaperangPacket(0x1A, ""));
    out += PaperangFrame(PaperangPacket(0x16, Bytes("\x00\x00", 2)));
    return out;
}

::testing::AssertionResult SameDots(const PreviewPage &page, const Dots &dots)
{
    if (page.BytesPerRow() != dots.rowBytes || page.Height() != dots.rows)
        return ::testing::AssertionFailure() << "page is " << page.BytesPerRow() << " bytes x " << page.Height()
                                             << " rows, expected " << dots.rowBytes << " x " << dots.rows;
    for (uint32_t y = 0; y < dots.rows; ++y)
        for (uint32_t i = 0; i < dots.rowBytes; ++i)
            if (page.Row(y)[i] != dots.Row(y)[i])
                return ::testing::AssertionFailure() << "row " << y << " byte " << i << " is "
                                                     << int(page.Row(y)[i]) << ", expected " << int(dots.Row(y)[i]);
    return ::testing::AssertionSuccess();
}
