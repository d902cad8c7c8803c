// The Huffman coder on arbitrary data, line length, line count and band size.
// Besides the sanitizers, every result is checked: the two tree walks list K
// distinct values, and decoding the bands with the tree gives back the data.
#include "fuzz_support.h"

#include "printers/hfm_code.h"

#include <cstdlib>
#include <vector>

namespace {

[[noreturn]] void Fail()
{
    std::abort();
}

// Decodes bits [0, bitCount) of a band with the tree and appends the bytes.
void DecodeBand(const CHfmCode::HGMRNCODENODE *nodes, int nodeCount, const CHfmCode::tagHfmBand &band,
                std::vector<uint8_t> &out)
{
    if (band.iLength < 1)
        Fail();
    const int unused = band.pData[0];
    if (unused > 7 || (band.iLength == 1 && unused != 0))
        Fail();
    const long bits = static_cast<long>(band.iLength - 1) * 8 - unused;
    const int root = nodeCount - 1;
    int node = root;
    for (long i = 0; i < bits; ++i) {
        const int bit = (band.pData[1 + i / 8] >> (7 - i % 8)) & 1;
        node = bit ? nodes[node].iRight : nodes[node].iLeft;
        if (node < 0 || node >= nodeCount)
            Fail();
        if (nodes[node].iLeft < 0 && nodes[node].iRight < 0) {
            out.push_back(static_cast<uint8_t>(nodes[node].wValue));
            node = root;
        }
    }
    if (node != root)
        Fail();  // a band ends inside a code
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::InputReader input(data, size);
    const int lineLength = 1 + input.Byte() % 64;
    const int bandSize = 1 + input.U16() % 1024;
    const uint8_t *bytes = input.Rest();
    const int count = static_cast<int>(input.RestSize());
    const int lineCount = count / lineLength;

    CHfmCode coder;
    int nodeCount = -1;
    auto nodes = coder.GetHfmTree(bytes, count, &nodeCount, 0, 0);
    if (count == 0) {
        if (nodes != nullptr || nodeCount != -1)
            Fail();
        return 0;
    }
    if (nodes == nullptr || nodeCount < 3 || nodeCount > CHfmCode::kMaxNodes || nodeCount % 2 == 0)
        Fail();

    auto preorder = coder.GetTreePreorder(nodes.get(), nodeCount);
    auto inorder = coder.GetTreeMiddleorder(nodes.get(), nodeCount);
    if (preorder == nullptr || inorder == nullptr)
        Fail();
    std::vector<bool> seen(256 + CHfmCode::kMaxNodes, false);
    for (int i = 0; i < nodeCount; ++i) {
        if (preorder[i] >= seen.size() || seen[preorder[i]])
            Fail();
        seen[preorder[i]] = true;
    }
    if (preorder[0] != nodes[nodeCount - 1].wValue)
        Fail();

    if (lineCount == 0)
        return 0;
    int bandCount = -1;
    CHfmCode::HfmBands bands =
        coder.HFMDGencoding(nodes.get(), nodeCount, bytes, lineLength, lineCount, bandSize, &bandCount);
    if (!bands || bandCount != bands.count || bandCount < 1 || bandCount > lineCount + 1)
        Fail();
    std::vector<uint8_t> decoded;
    for (const CHfmCode::tagHfmBand &band : bands.View()) {
        const size_t before = decoded.size();
        DecodeBand(nodes.get(), nodeCount, band, decoded);
        // Whole lines only, and below the limit unless a single line reaches it.
        const size_t lines = (decoded.size() - before) / static_cast<size_t>(lineLength);
        if ((decoded.size() - before) % static_cast<size_t>(lineLength) != 0)
            Fail();
        if (lines > 1 && band.iLength > bandSize)
            Fail();
    }
    if (decoded.size() != static_cast<size_t>(lineLength) * lineCount)
        Fail();
    for (size_t i = 0; i < decoded.size(); ++i) {
        if (decoded[i] != bytes[i])
            Fail();
    }
    return 0;
}
