#pragma once

#include <cstdint>
#include <memory>
#include <span>

// Huffman coder for one-bit page bitmaps: the symbols are the page's bytes.
// The tree travels to the printer as its pre-order and in-order node values;
// the bitmap travels as bands of whole lines, each band starting with the
// number of unused bits in its last byte. Every result is owned by the caller;
// a failed allocation gives an empty result, never an exception.
class CHfmCode {
public:
    // Longest possible code: 256 leaves in a completely lopsided tree.
    static constexpr int kMaxCodeLen = 255;
    static constexpr int kMaxNodes = 511;

    struct HGMRNCODENODE {
        int32_t iWeight;          // occurrences; for an internal node the sum of its children
        int32_t iLeft;            // -1 for none
        int32_t iRight;           // -1 for none
        int32_t iParent;          // -1 for the root and for nodes not yet joined
        int32_t iCodeLen;         // code length in bits, leaves only
        uint16_t wValue;          // leaf: the byte value; internal node: 256 + creation index
        uint8_t code[kMaxCodeLen];  // one bit per byte, the bit nearest the root first
    };

    struct tagHfmBand {
        uint8_t *pData;   // count byte, then the packed code bits
        int32_t iLength;  // bytes at pData, count byte included
    };

    // The coded bands of a page. All band bytes lie in one block; the records
    // point into it, so both live and die together.
    struct HfmBands {
        std::unique_ptr<tagHfmBand[]> bands;
        std::unique_ptr<uint8_t[]> block;
        int count = 0;

        explicit operator bool() const { return bands != nullptr; }
        std::span<const tagHfmBand> View() const { return {bands.get(), static_cast<size_t>(count)}; }
    };

    CHfmCode() = default;
    ~CHfmCode() = default;

    // Builds the tree over the byte values of data. Returns the node array
    // (leaves in ascending value first, then the internal nodes, root last) and
    // stores its length K through nodeCount; empty when there is no data or no
    // memory (nodeCount untouched). Only the exact coding (modes 0, 0) exists.
    std::unique_ptr<HGMRNCODENODE[]> GetHfmTree(const uint8_t *data, int count, int *nodeCount,
                                                 int mode = 0, int subMode = 0);

    // Among the first m nodes, the two parentless ones of least weight; ties go
    // to the lower index. False when fewer than two are free.
    bool GetMinTreeNode(const HGMRNCODENODE *nodes, int m, int *first, int *second);

    // The K node values from the root (index K - 1) in pre-order or in-order;
    // empty when the nodes do not form a tree of exactly K nodes.
    std::unique_ptr<uint16_t[]> GetTreePreorder(const HGMRNCODENODE *nodes, int nodeCount);
    std::unique_ptr<uint16_t[]> GetTreeMiddleorder(const HGMRNCODENODE *nodes, int nodeCount);

    // Recursive walks from node index: each visited value goes to out[*counter]
    // and advances the counter. A walk that would store more values than out
    // holds, or go deeper than that, ends with the counter past out's size, so
    // a malformed array cannot recurse forever.
    void TreePreorder(std::span<const HGMRNCODENODE> nodes, int index, std::span<uint16_t> out, int *counter,
                      int depth = 0);
    void TreeMiddleorder(std::span<const HGMRNCODENODE> nodes, int index, std::span<uint16_t> out, int *counter,
                         int depth = 0);

    // Codes lineCount lines of lineLength bytes into bands of whole lines that
    // stay below (bandSize - 1) * 8 bits; a line that alone reaches the limit is
    // a band of its own. Stores the band count through bandCount. Empty when the
    // input is missing, a byte has no leaf in the tree, or memory runs out.
    HfmBands HFMDGencoding(const HGMRNCODENODE *nodes, int nodeCount, const uint8_t *data, int lineLength,
                           int lineCount, int bandSize, int *bandCount);
};

using HGMRNCODENODE = CHfmCode::HGMRNCODENODE;
using tagHfmBand = CHfmCode::tagHfmBand;
