#pragma once

// Reads a Paperang stream back the way the printer does: frames checked
// byte by byte (CRC with zlib), then pages of packets, then the bitmap.

#include "printers/hfm_decoder.h"

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace paperangtest {

constexpr uint32_t kCrcStart = 0x35769521;

struct Packet {
    int command = 0;
    std::vector<uint8_t> payload;
};

inline unsigned Low16(const uint8_t *p) { return p[0] | (p[1] << 8); }

inline uint32_t Crc(const std::vector<uint8_t> &bytes)
{
    return static_cast<uint32_t>(crc32(kCrcStart, bytes.data(), static_cast<uInt>(bytes.size())));
}

// The frame the printer expects around a packet.
inline std::string Frame(const std::vector<uint8_t> &packet)
{
    std::string frame = {'\xA5', '\x01', static_cast<char>(packet.size() & 0xFF),
                         static_cast<char>(packet.size() >> 8)};
    frame.append(packet.begin(), packet.end());
    const uint32_t crc = Crc(packet);
    for (int i = 0; i < 4; ++i)
        frame += static_cast<char>(crc >> (8 * i));
    frame += '\x5A';
    return frame;
}

struct Stream {
    std::vector<Packet> packets;
    std::string fault;  // empty when every frame is sound
};

inline Stream ParseFrames(const std::string &text)
{
    Stream stream;
    const auto *bytes = reinterpret_cast<const uint8_t *>(text.data());
    size_t at = 0;
    while (at < text.size()) {
        const std::string where = "frame at " + std::to_string(at);
        if (text.size() - at < 9 || bytes[at] != 0xA5 || bytes[at + 1] != 0x01) {
            stream.fault = where + ": no frame start";
            return stream;
        }
        const size_t length = Low16(bytes + at + 2);
        if (text.size() - at < 9 + length || length < 5) {
            stream.fault = where + ": cut short";
            return stream;
        }
        const std::vector<uint8_t> packet(bytes + at + 4, bytes + at + 4 + length);
        const uint8_t *tail = bytes + at + 4 + length;
        const uint32_t crc = tail[0] | (tail[1] << 8) | (tail[2] << 16) | (static_cast<uint32_t>(tail[3]) << 24);
        if (crc != Crc(packet)) {
            stream.fault = where + ": CRC mismatch";
            return stream;
        }
        if (tail[4] != 0x5A) {
            stream.fault = where + ": no frame end";
            return stream;
        }
        if (packet[0] != 0x05 || packet[2] != 0x03 || Low16(packet.data() + 3) != length - 5) {
            stream.fault = where + ": bad packet header";
            return stream;
        }
        stream.packets.push_back({packet[1], std::vector<uint8_t>(packet.begin() + 5, packet.end())});
        at += 9 + length;
    }
    return stream;
}

struct Page {
    std::vector<uint8_t> bitmap;  // the decoded bytes, as the printer burns them
    int lineWidth = 0;
    int bands = 0;
    int tail = 0;                 // 0x21, 0x16 or 0 for none
    std::vector<hfmtest::CodedBand> bandData;
};

// Splits packets into pages of begin, tree, bands, end and at most one of
// locate or feed, decoding every page. Sets fault when anything is off.
inline std::vector<Page> ReadPages(const std::vector<Packet> &packets, std::string &fault)
{
    std::vector<Page> pages;
    size_t at = 0;
    while (at < packets.size()) {
        const std::string where = "page " + std::to_string(pages.size() + 1) + ": ";
        if (packets[at].command != 0x19 || !packets[at].payload.empty()) {
            fault = where + "no begin packet";
            return pages;
        }
        if (++at >= packets.size() || packets[at].command != 0x1C) {
            fault = where + "no tree packet";
            return pages;
        }
        const std::vector<uint8_t> &treeBytes = packets[at].payload;
        const size_t nodes = treeBytes.size() / 4;
        std::vector<uint16_t> pre, in;
        for (size_t i = 0; i < nodes; ++i) {
            pre.push_back(static_cast<uint16_t>(Low16(treeBytes.data() + 2 * i)));
            in.push_back(static_cast<uint16_t>(Low16(treeBytes.data() + 2 * (nodes + i))));
        }
        const auto tree = hfmtest::TreeFromWalks(pre, in);
        if (treeBytes.size() % 4 != 0 || !tree) {
            fault = where + "the tree does not rebuild";
            return pages;
        }
        Page page;
        std::vector<hfmtest::CodedBand> bands;
        for (++at; at < packets.size() && packets[at].command == 0x1B; ++at) {
            const std::vector<uint8_t> &p = packets[at].payload;
            const size_t n = p.size() - 12;
            if (p.size() < 12 || Low16(p.data()) != bands.size() % 65536 || Low16(p.data() + 2) != n + 8 ||
                p[4] != 0x01 || p[7] != 0 || p[8] != 0 || p[9] != 0x01 || Low16(p.data() + 10) != n) {
                fault = where + "bad band packet " + std::to_string(bands.size());
                return pages;
            }
            if (bands.empty())
                page.lineWidth = static_cast<int>(Low16(p.data() + 5));
            else if (page.lineWidth != static_cast<int>(Low16(p.data() + 5))) {
                fault = where + "line width changes";
                return pages;
            }
            bands.push_back({std::vector<uint8_t>(p.begin() + 12, p.end())});
        }
        if (bands.empty() || page.lineWidth == 0) {
            fault = where + "no bands";
            return pages;
        }
        const hfmtest::BandCheck check = hfmtest::DecodeBands(*tree, bands, static_cast<size_t>(page.lineWidth));
        if (!check.fault.empty()) {
            fault = where + check.fault;
            return pages;
        }
        page.bitmap = check.data;
        page.bands = static_cast<int>(bands.size());
        page.bandData = bands;
        if (at >= packets.size() || packets[at].command != 0x1A || !packets[at].payload.empty()) {
            fault = where + "no end packet";
            return pages;
        }
        ++at;
        if (at < packets.size() && (packets[at].command == 0x21 || packets[at].command == 0x16)) {
            const bool locate = packets[at].command == 0x21;
            const std::vector<uint8_t> expected = locate ? std::vector<uint8_t>{0x64, 0, 0, 0} : std::vector<uint8_t>{0, 0};
            if (packets[at].payload != expected) {
                fault = where + "bad locate or feed packet";
                return pages;
            }
            page.tail = packets[at].command;
            ++at;
        }
        pages.push_back(std::move(page));
    }
    return pages;
}

}  // namespace paperangtest
