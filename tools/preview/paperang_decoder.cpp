#include "preview/decoders.h"
#include "preview/huffman_tree.h"

#include <zlib.h>

#include <cstdio>
#include <string>

namespace {

// The printer checks every frame with CRC-32 continued from this value.
constexpr uint32_t kCrcStart = 0x35769521u;

enum : uint8_t {
    kBeginPrinting = 0x19,
    kEndPrinting = 0x1A,
    kBitmap = 0x1B,
    kTree = 0x1C,
    kFeed = 0x16,
    kPaperLocate = 0x21,
};

std::string Hex32(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08X", value);
    return text;
}

class PaperangReader {
public:
    PaperangReader(std::vector<PreviewPage> &pages) : pages(pages) {}

    bool Packet(ByteCursor &packet, size_t length);
    bool Finish();

private:
    bool Begin(ByteCursor &payload);
    bool Tree(ByteCursor &payload, size_t size);
    bool Band(ByteCursor &payload, size_t size);
    bool End(ByteCursor &payload);
    // Packets after the end of a page belong to it; before any page they go
    // with the page that follows.
    PreviewPage &Target() { return open || pages.empty() ? page : pages.back(); }

    std::vector<PreviewPage> &pages;
    PreviewPage page;
    bool open = false;
    HuffmanTree tree;
    bool haveTree = false;
    std::vector<uint8_t> bytes;
    uint16_t lineBytes = 0;
    uint32_t bands = 0;
    size_t codedBytes = 0;
    bool anyRaw = false;
};

bool PaperangReader::Packet(ByteCursor &packet, size_t length)
{
    uint8_t code = 0;
    uint16_t payloadSize = 0;
    if (!packet.Expect("\x05", "the packet start byte 05") || !packet.ReadU8(code, "the packet command code") ||
        !packet.Expect("\x03", "the packet byte 03 after the command code"))
        return false;
    const size_t lengthAt = packet.Offset();
    if (!packet.ReadLe16(payloadSize, "the packet payload length"))
        return false;
    if (static_cast<size_t>(payloadSize) + 5 != length)
        return packet.FailAt(lengthAt, "a payload length of " + std::to_string(length - 5) + " bytes (the frame holds " +
                                           std::to_string(length) + "), found " + std::to_string(payloadSize));
    switch (code) {
    case kBeginPrinting: return Begin(packet);
    case kTree: return Tree(packet, payloadSize);
    case kBitmap: return Band(packet, payloadSize);
    case kEndPrinting: return End(packet);
    case kPaperLocate: {
        uint32_t where = 0;
        if (payloadSize != 4)
            return packet.FailAt(lengthAt, "a 4-byte paper-locate payload, found " + std::to_string(payloadSize));
        packet.ReadLe32(where, "the paper-locate value");
        Target().Note("locate paper (0x21): " + std::to_string(where));
        return true;
    }
    case kFeed: {
        uint16_t dots = 0;
        if (payloadSize != 2)
            return packet.FailAt(lengthAt, "a 2-byte feed payload, found " + std::to_string(payloadSize));
        packet.ReadLe16(dots, "the feed length");
        Target().Note("feed (0x16): " + std::to_string(dots));
        return true;
    }
    default:
        Target().Note("packet " + HexByte(code) + " with " + std::to_string(payloadSize) + " bytes");
        Target().Odd("unknown packet " + HexByte(code) + " at offset " + std::to_string(lengthAt - 3));
        return true;
    }
}

bool PaperangReader::Begin(ByteCursor &payload)
{
    if (open)
        return payload.FailAt(payload.Offset() - 5, "an end-printing packet (0x1A) before the next page begins");
    // Settings sent before the first page stay with it.
    if (!pages.empty())
        page = PreviewPage();
    open = true;
    haveTree = false;
    bytes.clear();
    lineBytes = 0;
    bands = 0;
    codedBytes = 0;
    anyRaw = false;
    page.Note("begin printing (0x19)");
    return true;
}

bool PaperangReader::Tree(ByteCursor &payload, size_t size)
{
    if (!open)
        return payload.FailAt(payload.Offset() - 5, "a begin-printing packet (0x19) before the code tree");
    if (size % 4 != 0)
        return payload.FailAt(payload.Offset() - 2, "a code tree payload of 4 bytes per node, found " +
                                                        std::to_string(size) + " bytes");
    const size_t count = size / 4;
    std::vector<uint16_t> preorder(count), inorder(count);
    const size_t start = payload.Offset();
    for (uint16_t &value : preorder)
        payload.ReadLe16(value, "a pre-order node value");
    for (uint16_t &value : inorder)
        payload.ReadLe16(value, "an in-order node value");
    std::string problem;
    if (!tree.Build(preorder, inorder, problem))
        return payload.FailAt(start, "a code tree whose pre-order and in-order walks agree: " + problem);
    if (haveTree && bands != 0)
        page.Odd("a second code tree after " + std::to_string(bands) + " bands");
    haveTree = true;
    page.Note("code tree (0x1C): " + std::to_string(tree.NodeCount()) + " nodes, " + std::to_string(tree.LeafCount()) +
              " byte values");
    return true;
}

bool PaperangReader::Band(ByteCursor &payload, size_t size)
{
    const size_t start = payload.Offset();
    if (!open)
        return payload.FailAt(start - 5, "a begin-printing packet (0x19) before the bitmap");
    uint16_t index = 0, inner = 0, width = 0, dataSize = 0;
    uint8_t coded = 0;
    if (!payload.ReadLe16(index, "the band index") || !payload.ReadLe16(inner, "the band's inner length") ||
        !payload.Expect("\x01", "the band byte 01") || !payload.ReadLe16(width, "the band's line width") ||
        !payload.Expect(std::string_view("\0\0", 2), "the band bytes 00 00") ||
        !payload.ReadU8(coded, "the band's coding flag"))
        return false;
    const size_t dataSizeAt = payload.Offset();
    if (!payload.ReadLe16(dataSize, "the band data length"))
        return false;
    if (static_cast<size_t>(dataSize) + 12 != size)
        return payload.FailAt(dataSizeAt, "a band data length of " + std::to_string(size - 12) +
                                              " bytes (the payload holds " + std::to_string(size) + "), found " +
                                              std::to_string(dataSize));
    if (static_cast<size_t>(inner) != static_cast<size_t>(dataSize) + 8)
        return payload.FailAt(start + 2, "an inner length of " + std::to_string(dataSize + 8) + ", found " +
                                             std::to_string(inner));
    if (width == 0)
        return payload.FailAt(start + 5, "a band line width above 0");
    if (coded > 1)
        return payload.FailAt(start + 9, "a coding flag of 0 or 1, found " + HexByte(coded));
    if (lineBytes != 0 && width != lineBytes)
        return payload.FailAt(start + 5, "the line width of the earlier bands (" + std::to_string(lineBytes) +
                                             "), found " + std::to_string(width));
    lineBytes = width;
    if (index != bands)
        page.Odd("band " + std::to_string(bands) + " carries the index " + std::to_string(index));
    const uint8_t *data = nullptr;
    const size_t dataAt = payload.Offset();
    payload.ReadBytes(dataSize, data, "the band data");
    if (coded == 0) {
        bytes.insert(bytes.end(), data, data + dataSize);
        anyRaw = true;
    } else {
        if (!haveTree)
            return payload.FailAt(start - 5, "the code tree packet (0x1C) before the first coded band");
        if (dataSize == 0)
            return payload.FailAt(dataAt, "the band's count of unused bits");
        const uint8_t unused = data[0];
        if (unused > 7 || (dataSize == 1 && unused != 0))
            return payload.FailAt(dataAt, "a count of unused bits of 0 to 7 within the band, found " +
                                              std::to_string(unused));
        const size_t bitCount = static_cast<size_t>(dataSize - 1) * 8 - unused;
        if (!tree.Decode(data + 1, bitCount, bytes))
            return payload.FailAt(dataAt, "band code bits that end with a whole code");
    }
    codedBytes += dataSize;
    ++bands;
    return true;
}

bool PaperangReader::End(ByteCursor &payload)
{
    const size_t at = payload.Offset() - 5;
    if (!open)
        return payload.FailAt(at, "a begin-printing packet (0x19) before the end-printing packet");
    if (lineBytes != 0 && bytes.size() % lineBytes != 0)
        return payload.FailAt(at, "bands that make whole lines of " + std::to_string(lineBytes) + " bytes, found " +
                                      std::to_string(bytes.size()) + " bytes");
    const uint32_t rows = lineBytes != 0 ? static_cast<uint32_t>(bytes.size() / lineBytes) : 0;
    if (bands != 0)
        page.Note("bitmap (0x1B): " + std::to_string(bands) + (bands == 1 ? " band, " : " bands, ") +
                  std::to_string(codedBytes) + " bytes " + (anyRaw ? "(some not coded)" : "Huffman-coded") + ", " +
                  std::to_string(lineBytes * 8) + " x " + std::to_string(rows) + " dots (" + std::to_string(lineBytes) +
                  " bytes per row)");
    page.AppendRows(lineBytes, rows, bytes.data(), false);
    if (!page.HasBitmap())
        page.Odd("no bitmap on this page");
    page.Note("end printing (0x1A)");
    pages.push_back(std::move(page));
    page = PreviewPage();
    open = false;
    return true;
}

bool PaperangReader::Finish()
{
    if (open) {
        page.Odd("the stream ends before the end-printing packet");
        if (lineBytes != 0)
            page.AppendRows(lineBytes, static_cast<uint32_t>(bytes.size() / lineBytes), bytes.data(), false);
        pages.push_back(std::move(page));
    } else if (!page.Commands().empty()) {
        page.Odd("packets without a page");
        pages.push_back(std::move(page));
    }
    return true;
}

}  // namespace

bool DecodePaperang(const uint8_t *data, size_t size, std::vector<PreviewPage> &pages, DecodeError &error)
{
    ByteCursor cursor(data, size, error);
    PaperangReader reader(pages);
    while (!cursor.AtEnd()) {
        uint16_t length = 0;
        if (!cursor.Expect("\xA5\x01", "a frame start (A5 01)") || !cursor.ReadLe16(length, "the frame length"))
            return false;
        if (length < 5)
            return cursor.FailAt(cursor.Offset() - 2, "a frame length of at least 5, found " + std::to_string(length));
        const size_t packetAt = cursor.Offset();
        ByteCursor packet(nullptr, 0, error);
        uint32_t crc = 0;
        if (!cursor.Split(length, packet, "the framed packet") || !cursor.ReadLe32(crc, "the frame's CRC-32") ||
            !cursor.Expect("\x5A", "the frame end byte 5A"))
            return false;
        const uint32_t expected = static_cast<uint32_t>(crc32(kCrcStart, data + packetAt, length));
        if (crc != expected)
            return cursor.FailAt(packetAt + length, "the packet's CRC-32 " + Hex32(expected) + ", found " + Hex32(crc));
        if (!reader.Packet(packet, length))
            return false;
    }
    return reader.Finish();
}
