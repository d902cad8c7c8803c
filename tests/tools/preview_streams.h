#pragma once

// Builders for printer streams, written from the byte formats the printers
// take, so the decoders are checked against streams they did not produce.

#include "preview/preview_page.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// A bitmap as the printer burns it: 1 = black, bit 7 the leftmost dot.
struct Dots {
    uint32_t rowBytes = 0;
    uint32_t rows = 0;
    std::vector<uint8_t> bits;

    std::vector<uint8_t> Inverted() const;
    const uint8_t *Row(uint32_t y) const { return bits.data() + static_cast<size_t>(y) * rowBytes; }
};

// Random dots from a fixed seed; density in percent of black dots.
Dots RandomDots(uint32_t rowBytes, uint32_t rows, uint32_t seed, int density = 30);

// Byte string helpers.
using Bytes = std::string;
void PutLe16(Bytes &out, uint32_t value);
void PutLe32(Bytes &out, uint32_t value);
void PutBe16(Bytes &out, uint32_t value);
void PutBe32(Bytes &out, uint32_t value);
Bytes FromVector(const std::vector<uint8_t> &bytes);

// TSPL: a whole label job carrying the bitmap (mode 1 inverted raw, mode 3
// zlib of the dots as they are).
Bytes TsplLabel(const Dots &dots, bool compressed);

// ESC/POS page: ESC @ 0, ESC a 1, the dots in GS v 0 commands of at most
// rowsPerCommand rows, then a feed of feedDots.
Bytes EscPosPage(const Dots &dots, uint32_t rowsPerCommand = 65535, uint32_t feedDots = 0);

// CPCL label with one CG graphic.
Bytes CpclLabel(const Dots &dots, uint32_t pageWidth);

// PeriPage page, raw GS v 0 or the 1F 00 block with deflate (window bits 10).
Bytes PeriPagePage(const Dots &dots, bool compressed);
// The 1F 00 block alone.
Bytes PeriPageCompressedBlock(const Dots &dots);

// Paperang: one frame around a packet, CRC-32 from the protocol start value.
Bytes PaperangFrame(const Bytes &packet);
Bytes PaperangPacket(uint8_t code, const Bytes &payload);
// A whole page: begin, tree, Huffman bands (at most bandLimitBits per band
// unless a single line needs more), end, feed.
Bytes PaperangPage(const Dots &dots, uint32_t bandLimitBits = 2040);

// The decoded page equals the dots, dot for dot.
::testing::AssertionResult SameDots(const PreviewPage &page, const Dots &dots);
