#pragma once

// The printer's side of the bitmap coding, written independently of the
// coder: rebuild the tree from its two walks, then decode bands.

#include "preview/huffman_tree.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hfmtest {

// The tree rebuilt from its pre-order and in-order walks the printer's way,
// by the preview tool's decoder; empty when the walks describe no tree.
inline std::optional<HuffmanTree> TreeFromWalks(const std::vector<uint16_t> &pre, const std::vector<uint16_t> &in)
{
    HuffmanTree tree;
    std::string problem;
    if (!tree.Build(pre, in, problem))
        return std::nullopt;
    return tree;
}

// One coded band: the count byte, then the code bytes.
struct CodedBand {
    std::vector<uint8_t> bytes;
};

// Decodes bands in order and checks what a printer relies on: each band ends
// on whole lines, and the unused bits of a band's last byte repeat the first
// bits of the next band (zeros after the last). Returns the decoded bytes or
// a text saying what is wrong.
struct BandCheck {
    std::vector<uint8_t> data;
    std::string fault;
};

inline BandCheck DecodeBands(const HuffmanTree &tree, const std::vector<CodedBand> &bands, size_t lineLength)
{
    BandCheck result;
    for (size_t k = 0; k < bands.size(); ++k) {
        const std::vector<uint8_t> &band = bands[k].bytes;
        if (band.size() < 2) {
            result.fault = "band " + std::to_string(k) + " holds no code bits";
            return result;
        }
        const unsigned unused = band[0];
        if (unused > 7) {
            result.fault = "band " + std::to_string(k) + " has count byte " + std::to_string(unused);
            return result;
        }
        const uint64_t bits = (band.size() - 1) * 8 - unused;
        const size_t before = result.data.size();
        if (!tree.Decode(band.data() + 1, bits, result.data)) {
            result.fault = "band " + std::to_string(k) + " ends inside a code";
            return result;
        }
        if ((result.data.size() - before) % lineLength != 0) {
            result.fault = "band " + std::to_string(k) + " does not end on a whole line";
            return result;
        }
        uint8_t following = 0;
        if (k + 1 < bands.size() && bands[k + 1].bytes.size() >= 2)
            following = static_cast<uint8_t>(bands[k + 1].bytes[1] >> (8 - unused));
        const uint8_t mask = static_cast<uint8_t>((1u << unused) - 1);
        if (unused != 0 && (band.back() & mask) != following) {
            result.fault = "the unused bits of band " + std::to_string(k) + " are not the next band's first bits";
            return result;
        }
    }
    return result;
}

}  // namespace hfmtest
