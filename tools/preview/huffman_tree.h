#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A Huffman code tree rebuilt from the two walks the printer receives: node
// values in pre-order and in in-order. Leaves carry byte values (0-255),
// inner nodes values of 256 and up; every value appears once.
class HuffmanTree {
public:
    // False, with problem set, when the two walks do not describe one full
    // binary tree with at least two leaves.
    bool Build(const std::vector<uint16_t> &preorder, const std::vector<uint16_t> &inorder, std::string &problem);

    // Decodes bitCount code bits (most significant bit of bits[0] first) and
    // appends the bytes to out. False when the bits end inside a code.
    bool Decode(const uint8_t *bits, size_t bitCount, std::vector<uint8_t> &out) const;

    size_t NodeCount() const { return nodes.size(); }
    size_t LeafCount() const { return (nodes.size() + 1) / 2; }

private:
    struct Node {
        uint16_t value = 0;
        int32_t child[2] = {-1, -1};  // bit 0 goes left, bit 1 right
    };

    std::vector<Node> nodes;  // the root is node 0
};
