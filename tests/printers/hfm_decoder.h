#pragma once

// The printer's side of the bitmap coding, written independently of the
// coder: rebuild the tree from its two walks, then decode bands.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace hfmtest {

struct DecodeNode {
    int value = 0;
    int left = -1;
    int right = -1;
};

// A tree rebuilt from pre-order and in-order values (all distinct); leaves
// carry values below 256. Empty when the walks do not describe one tree.
struct DecodeTree {
    std::vector<DecodeNode> nodes;
    int root = -1;

    static std::optional<DecodeTree> FromWalks(const std::vector<uint16_t> &pre, const std::vector<uint16_t> &in)
    {
        if (pre.size() != in.size() || pre.empty())
            return std::nullopt;
        DecodeTree tree;
        std::map<int, int> inPosition;
        for (size_t i = 0; i < in.size(); ++i) {
            if (!inPosition.emplace(in[i], static_cast<int>(i)).second)
                return std::nullopt;
        }
        size_t next = 0;
        bool ok = true;
        tree.root = tree.Build(pre, inPosition, next, 0, static_cast<int>(in.size()), ok);
        if (!ok || next != pre.size())
            return std::nullopt;
        for (const DecodeNode &node : tree.nodes) {
            const bool leaf = node.left == -1 && node.right == -1;
            if (leaf != (node.value < 256) || (!leaf && (node.left == -1 || node.right == -1)))
                return std::nullopt;
        }
        return tree;
    }

    // Decodes exactly bitCount bits from data, MSB first; false when the bits
    // do not end on a whole symbol.
    bool Decode(const uint8_t *data, uint64_t bitCount, std::vector<uint8_t> &out) const
    {
        int at = root;
        for (uint64_t i = 0; i < bitCount; ++i) {
            const int bit = (data[i / 8] >> (7 - i % 8)) & 1;
            at = bit != 0 ? nodes[static_cast<size_t>(at)].right : nodes[static_cast<size_t>(at)].left;
            if (nodes[static_cast<size_t>(at)].value < 256) {
                out.push_back(static_cast<uint8_t>(nodes[static_cast<size_t>(at)].value));
                at = root;
            }
        }
        return at == root;
    }

private:
    int Build(const std::vector<uint16_t> &pre, const std::map<int, int> &inPosition, size_t &next, int lo, int hi,
              bool &ok)
    {
        if (!ok || lo >= hi)
            return -1;
        if (next >= pre.size()) {
            ok = false;
            return -1;
        }
        const int value = pre[next++];
        const auto found = inPosition.find(value);
        if (found == inPosition.end() || found->second < lo || found->second >= hi) {
            ok = false;
            return -1;
        }
        const int index = static_cast<int>(nodes.size());
        nodes.push_back({value, -1, -1});
        const int left = Build(pre, inPosition, next, lo, found->second, ok);
        const int right = Build(pre, inPosition, next, found->second + 1, hi, ok);
        nodes[static_cast<size_t>(index)].left = left;
        nodes[static_cast<size_t>(index)].right = right;
        return index;
    }
};

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

inline BandCheck DecodeBands(const DecodeTree &tree, const std::vector<CodedBand> &bands, size_t lineLength)
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
