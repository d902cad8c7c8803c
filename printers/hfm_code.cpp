#include "printers/hfm_code.h"

#include <algorithm>
#include <climits>
#include <new>

namespace {

// Allocation that reports failure as an empty pointer instead of throwing.
template <class T>
std::unique_ptr<T[]> TryAllocate(size_t count)
{
    return std::unique_ptr<T[]>(new (std::nothrow) T[count]);
}

// Appends codes most significant bit first. Bits are collected in a 64-bit
// register and leave it four bytes at a time, so a page of one-bit codes does
// not pay for a store per bit.
class BitWriter {
public:
    explicit BitWriter(uint8_t *out) : out(out) {}

    // length is 1 to 32; value holds the code right-aligned.
    void Put(uint32_t value, int length)
    {
        bits = (bits << length) | value;
        pending += length;
        if (pending >= 32) {
            pending -= 32;
            const uint32_t word = static_cast<uint32_t>(bits >> pending);
            out[0] = static_cast<uint8_t>(word >> 24);
            out[1] = static_cast<uint8_t>(word >> 16);
            out[2] = static_cast<uint8_t>(word >> 8);
            out[3] = static_cast<uint8_t>(word);
            out += 4;
        }
    }

    // Writes the bits still held, the last byte filled up with zeros.
    void Flush()
    {
        while (pending >= 8) {
            pending -= 8;
            *out++ = static_cast<uint8_t>(bits >> pending);
        }
        if (pending > 0)
            *out++ = static_cast<uint8_t>(bits << (8 - pending));
        pending = 0;
    }

private:
    uint8_t *out;
    uint64_t bits = 0;
    int pending = 0;  // below 32 between calls
};

// The code of every byte value in 32-bit pieces, first piece first; the last
// piece holds the remaining bits right-aligned.
struct CodeTable {
    static constexpr int kPieces = (CHfmCode::kMaxCodeLen + 31) / 32;

    uint32_t length[256] = {};  // 0: the value has no leaf
    uint32_t pieces[256][kPieces] = {};
    uint32_t longest = 0;

    void Build(const HGMRNCODENODE *nodes, int nodeCount)
    {
        bool seen[256] = {};
        for (int i = 0; i < (nodeCount + 1) / 2; ++i) {
            const HGMRNCODENODE &leaf = nodes[i];
            if (leaf.wValue > 255 || seen[leaf.wValue])
                continue;
            seen[leaf.wValue] = true;
            if (leaf.iCodeLen < 1 || leaf.iCodeLen > CHfmCode::kMaxCodeLen)
                continue;  // a leaf without a usable code cannot code its value
            const uint32_t len = static_cast<uint32_t>(leaf.iCodeLen);
            length[leaf.wValue] = len;
            longest = std::max(longest, len);
            for (uint32_t bit = 0; bit < len; ++bit) {
                uint32_t &piece = pieces[leaf.wValue][bit / 32];
                piece = (piece << 1) | (leaf.code[bit] != 0 ? 1u : 0u);
            }
        }
    }

    void Put(BitWriter &writer, uint8_t value) const
    {
        const uint32_t len = length[value];
        const uint32_t *piece = pieces[value];
        uint32_t left = len;
        for (; left > 32; left -= 32)
            writer.Put(*piece++, 32);
        writer.Put(*piece, static_cast<int>(left));
    }
};

}  // namespace

std::unique_ptr<HGMRNCODENODE[]> CHfmCode::GetHfmTree(const uint8_t *data, int count, int *nodeCount, int mode,
                                                       int subMode)
{
    if (data == nullptr || count <= 0 || mode != 0 || subMode != 0)
        return nullptr;

    // Four counter sets, so runs of one value (a blank page) do not wait on
    // one counter; the sum stays below INT_MAX as count does.
    int32_t partial[4][256] = {};
    int i = 0;
    for (; i <= count - 4; i += 4) {
        ++partial[0][data[i]];
        ++partial[1][data[i + 1]];
        ++partial[2][data[i + 2]];
        ++partial[3][data[i + 3]];
    }
    for (; i < count; ++i)
        ++partial[0][data[i]];
    int32_t counts[256];
    for (int v = 0; v < 256; ++v)
        counts[v] = partial[0][v] + partial[1][v] + partial[2][v] + partial[3][v];

    int leafValues[256];
    int leafCount = 0;
    for (int v = 0; v < 256; ++v) {
        if (counts[v] > 0)
            leafValues[leafCount++] = v;
    }
    int32_t leafWeights[256];
    for (int i = 0; i < leafCount; ++i)
        leafWeights[i] = counts[leafValues[i]];
    // A tree needs two leaves: data of one value gets a neighbour of weight 1,
    // so the value itself still codes to a single bit.
    if (leafCount == 1) {
        const int only = leafValues[0];
        leafValues[1] = only <= 127 ? only + 1 : only - 1;
        leafWeights[1] = 1;
        leafCount = 2;
    }

    const int total = 2 * leafCount - 1;
    std::unique_ptr<HGMRNCODENODE[]> nodes = TryAllocate<HGMRNCODENODE>(static_cast<size_t>(total));
    if (nodes == nullptr)
        return nullptr;
    for (int i = 0; i < total; ++i) {
        HGMRNCODENODE &node = nodes[i];
        node.iWeight = i < leafCount ? leafWeights[i] : 0;
        node.iLeft = -1;
        node.iRight = -1;
        node.iParent = -1;
        node.iCodeLen = 0;
        node.wValue = static_cast<uint16_t>(i < leafCount ? leafValues[i] : 256 + (i - leafCount));
        std::fill(std::begin(node.code), std::end(node.code), uint8_t{0});
    }

    for (int q = leafCount; q < total; ++q) {
        int a = -1;
        int b = -1;
        if (!GetMinTreeNode(nodes.get(), q, &a, &b))
            return nullptr;
        nodes[a].iParent = q;
        nodes[b].iParent = q;
        // Only the root can pass the int range (data of INT_MAX equal bytes
        // plus the added leaf); it is never compared again, so it saturates.
        const int64_t weight = static_cast<int64_t>(nodes[a].iWeight) + nodes[b].iWeight;
        nodes[q].iWeight = static_cast<int32_t>(std::min<int64_t>(weight, INT_MAX));
        nodes[q].iLeft = a;
        nodes[q].iRight = b;
    }

    for (int i = 0; i < leafCount; ++i) {
        uint8_t reversed[kMaxCodeLen];
        int length = 0;
        for (int child = i, parent = nodes[i].iParent; parent != -1 && length < kMaxCodeLen;
             child = parent, parent = nodes[parent].iParent)
            reversed[length++] = nodes[parent].iRight == child ? 1 : 0;
        HGMRNCODENODE &leaf = nodes[i];
        leaf.iCodeLen = length;
        for (int bit = 0; bit < length; ++bit)
            leaf.code[bit] = reversed[length - 1 - bit];
    }

    if (nodeCount != nullptr)
        *nodeCount = total;
    return nodes;
}

bool CHfmCode::GetMinTreeNode(const HGMRNCODENODE *nodes, int m, int *first, int *second)
{
    if (nodes == nullptr || first == nullptr || second == nullptr)
        return false;
    int a = -1;
    for (int i = 0; i < m; ++i) {
        if (nodes[i].iParent == -1 && (a == -1 || nodes[i].iWeight < nodes[a].iWeight))
            a = i;
    }
    int b = -1;
    for (int i = 0; i < m; ++i) {
        if (i != a && nodes[i].iParent == -1 && (b == -1 || nodes[i].iWeight < nodes[b].iWeight))
            b = i;
    }
    *first = a;
    *second = b;
    return a != -1 && b != -1;
}

void CHfmCode::TreePreorder(std::span<const HGMRNCODENODE> nodes, int index, std::span<uint16_t> out, int *counter,
                            int depth)
{
    const int room = static_cast<int>(out.size());
    if (*counter > room)
        return;
    if (index < 0 || static_cast<size_t>(index) >= nodes.size() || *counter == room || depth >= room) {
        *counter = room + 1;  // not a tree of out.size() nodes
        return;
    }
    const HGMRNCODENODE &node = nodes[static_cast<size_t>(index)];
    out[static_cast<size_t>((*counter)++)] = node.wValue;
    if (node.iLeft != -1)
        TreePreorder(nodes, node.iLeft, out, counter, depth + 1);
    if (node.iRight != -1)
        TreePreorder(nodes, node.iRight, out, counter, depth + 1);
}

void CHfmCode::TreeMiddleorder(std::span<const HGMRNCODENODE> nodes, int index, std::span<uint16_t> out,
                               int *counter, int depth)
{
    const int room = static_cast<int>(out.size());
    if (*counter > room)
        return;
    // A tree of room nodes is less than room levels deep; deeper means a cycle.
    if (index < 0 || static_cast<size_t>(index) >= nodes.size() || depth >= room) {
        *counter = room + 1;
        return;
    }
    const HGMRNCODENODE &node = nodes[static_cast<size_t>(index)];
    if (node.iLeft != -1)
        TreeMiddleorder(nodes, node.iLeft, out, counter, depth + 1);
    if (*counter >= room) {
        *counter = room + 1;
        return;
    }
    out[static_cast<size_t>((*counter)++)] = node.wValue;
    if (node.iRight != -1)
        TreeMiddleorder(nodes, node.iRight, out, counter, depth + 1);
}

std::unique_ptr<uint16_t[]> CHfmCode::GetTreePreorder(const HGMRNCODENODE *nodes, int nodeCount)
{
    // The walk's depth is bounded by the node count, which a byte tree keeps small.
    if (nodes == nullptr || nodeCount <= 0 || nodeCount > kMaxNodes)
        return nullptr;
    std::unique_ptr<uint16_t[]> values = TryAllocate<uint16_t>(static_cast<size_t>(nodeCount));
    if (values == nullptr)
        return nullptr;
    int counter = 0;
    const size_t size = static_cast<size_t>(nodeCount);
    TreePreorder({nodes, size}, nodeCount - 1, {values.get(), size}, &counter);
    return counter == nodeCount ? std::move(values) : nullptr;
}

std::unique_ptr<uint16_t[]> CHfmCode::GetTreeMiddleorder(const HGMRNCODENODE *nodes, int nodeCount)
{
    if (nodes == nullptr || nodeCount <= 0 || nodeCount > kMaxNodes)
        return nullptr;
    std::unique_ptr<uint16_t[]> values = TryAllocate<uint16_t>(static_cast<size_t>(nodeCount));
    if (values == nullptr)
        return nullptr;
    int counter = 0;
    const size_t size = static_cast<size_t>(nodeCount);
    TreeMiddleorder({nodes, size}, nodeCount - 1, {values.get(), size}, &counter);
    return counter == nodeCount ? std::move(values) : nullptr;
}

CHfmCode::HfmBands CHfmCode::HFMDGencoding(const HGMRNCODENODE *nodes, int nodeCount, const uint8_t *data,
                                           int lineLength, int lineCount, int bandSize, int *bandCount)
{
    if (nodes == nullptr || data == nullptr || nodeCount <= 0 || nodeCount > kMaxNodes || lineLength <= 0 ||
        lineCount <= 0)
        return {};

    CodeTable table;
    table.Build(nodes, nodeCount);

    const size_t width = static_cast<size_t>(lineLength);
    const size_t lines = static_cast<size_t>(lineCount);

    // Bits per line. Every code has at least one bit, so every line does too,
    // and no band can come out empty.
    std::unique_ptr<uint64_t[]> lineBits = TryAllocate<uint64_t>(lines);
    if (lineBits == nullptr)
        return {};
    bool missing = false;
    for (size_t l = 0; l < lines; ++l) {
        const uint8_t *line = data + l * width;
        uint64_t bits = 0;
        for (size_t i = 0; i < width; ++i) {
            const uint32_t len = table.length[line[i]];
            missing |= len == 0;
            bits += len;
        }
        lineBits[l] = bits;
    }
    if (missing)
        return {};  // the tree was not built over this data

    // Bands of whole lines below the limit; a line that alone reaches it
    // closes the band before it and stays alone. At most one band per line.
    const int64_t limit = (static_cast<int64_t>(bandSize) - 1) * 8;
    std::unique_ptr<uint64_t[]> bandBits = TryAllocate<uint64_t>(lines);
    std::unique_ptr<size_t[]> bandEnd = TryAllocate<size_t>(lines);  // one past the band's last line
    if (bandBits == nullptr || bandEnd == nullptr)
        return {};
    size_t bands = 0;
    uint64_t open = 0;
    size_t openLines = 0;
    for (size_t l = 0; l < lines; ++l) {
        const uint64_t bits = lineBits[l];
        if (openLines > 0 && static_cast<int64_t>(open + bits) >= limit) {
            bandBits[bands] = open;
            bandEnd[bands] = l;
            ++bands;
            open = 0;
            openLines = 0;
        }
        open += bits;
        ++openLines;
    }
    bandBits[bands] = open;
    bandEnd[bands] = lines;
    ++bands;
    lineBits.reset();

    // Every band: its count byte and its code bytes, one block for all.
    size_t blockSize = 0;
    for (size_t k = 0; k < bands; ++k) {
        const uint64_t length = (bandBits[k] + 7) / 8 + 1;
        if (length > static_cast<uint64_t>(INT_MAX))
            return {};
        blockSize += static_cast<size_t>(length);
    }
    HfmBands result;
    result.block = TryAllocate<uint8_t>(blockSize);
    result.bands = TryAllocate<tagHfmBand>(bands);
    if (result.block == nullptr || result.bands == nullptr)
        return {};

    uint8_t *at = result.block.get();
    size_t line = 0;
    for (size_t k = 0; k < bands; ++k) {
        const uint64_t bits = bandBits[k];
        const int length = static_cast<int>((bits + 7) / 8 + 1);
        at[0] = static_cast<uint8_t>((8 - bits % 8) % 8);
        BitWriter writer(at + 1);
        const uint8_t *from = data + line * width;
        const uint8_t *to = data + bandEnd[k] * width;
        if (table.longest <= 32) {
            for (const uint8_t *p = from; p != to; ++p)
                writer.Put(table.pieces[*p][0], static_cast<int>(table.length[*p]));
        } else {
            for (const uint8_t *p = from; p != to; ++p)
                table.Put(writer, *p);
        }
        writer.Flush();
        result.bands[k] = {at, length};
        at += length;
        line = bandEnd[k];
    }

    // The unused bits of a band's last byte carry the first bits of the code
    // that follows, as if all bands were cut from one bit sequence. Going
    // backwards, the next band's first byte is already complete when read.
    for (size_t k = bands - 1; k-- > 0;) {
        const tagHfmBand &band = result.bands[k];
        const int unused = band.pData[0];
        if (unused != 0) {
            const uint8_t next = result.bands[k + 1].pData[1];
            band.pData[band.iLength - 1] |= static_cast<uint8_t>(next >> (8 - unused));
        }
    }

    result.count = static_cast<int>(bands);
    if (bandCount != nullptr)
        *bandCount = result.count;
    return result;
}
