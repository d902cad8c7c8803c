#include "printers/hfm_code.h"

#include "printers/hfm_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using hfmtest::CodedBand;
using hfmtest::DecodeBands;
using hfmtest::TreeFromWalks;

std::string CodeOf(const HGMRNCODENODE &leaf)
{
    std::string bits;
    for (int i = 0; i < leaf.iCodeLen; ++i)
        bits += leaf.code[i] != 0 ? '1' : '0';
    return bits;
}

const HGMRNCODENODE *LeafOf(const HGMRNCODENODE *nodes, int nodeCount, int value)
{
    for (int i = 0; i < (nodeCount + 1) / 2; ++i) {
        if (nodes[i].wValue == value)
            return &nodes[i];
    }
    return nullptr;
}

std::vector<uint16_t> Walk(const std::unique_ptr<uint16_t[]> &values, int count)
{
    return values ? std::vector<uint16_t>(values.get(), values.get() + count) : std::vector<uint16_t>{};
}

struct Coded {
    std::unique_ptr<HGMRNCODENODE[]> nodes;
    int nodeCount = 0;
    std::vector<uint16_t> pre;
    std::vector<uint16_t> in;
    std::vector<CodedBand> bands;
};

// Tree, walks and bands of data, as the back-end asks for them.
Coded Code(const std::vector<uint8_t> &data, int lineLength, int bandSize = 256)
{
    CHfmCode coder;
    Coded coded;
    coded.nodes = coder.GetHfmTree(data.data(), static_cast<int>(data.size()), &coded.nodeCount, 0, 0);
    if (!coded.nodes)
        return coded;
    coded.pre = Walk(coder.GetTreePreorder(coded.nodes.get(), coded.nodeCount), coded.nodeCount);
    coded.in = Walk(coder.GetTreeMiddleorder(coded.nodes.get(), coded.nodeCount), coded.nodeCount);
    int count = -1;
    const CHfmCode::HfmBands bands =
        coder.HFMDGencoding(coded.nodes.get(), coded.nodeCount, data.data(), lineLength,
                            static_cast<int>(data.size()) / lineLength, bandSize, &count);
    if (bands) {
        EXPECT_EQ(count, bands.count);
        for (const tagHfmBand &band : bands.View())
            coded.bands.push_back({std::vector<uint8_t>(band.pData, band.pData + band.iLength)});
    }
    return coded;
}

TEST(HfmCode, FourByteExample)
{
    const std::vector<uint8_t> data = {0x00, 0x00, 0x00, 0x01};
    Coded coded = Code(data, 4);
    ASSERT_TRUE(coded.nodes);
    ASSERT_EQ(coded.nodeCount, 3);
    const HGMRNCODENODE *nodes = coded.nodes.get();
    EXPECT_EQ(nodes[0].wValue, 0x00);
    EXPECT_EQ(nodes[0].iWeight, 3);
    EXPECT_EQ(nodes[1].wValue, 0x01);
    EXPECT_EQ(nodes[1].iWeight, 1);
    EXPECT_EQ(nodes[2].wValue, 256);
    EXPECT_EQ(nodes[2].iWeight, 4);
    EXPECT_EQ(nodes[2].iLeft, 1);
    EXPECT_EQ(nodes[2].iRight, 0);
    EXPECT_EQ(nodes[2].iParent, -1);
    EXPECT_EQ(nodes[2].iCodeLen, 0);
    EXPECT_EQ(CodeOf(nodes[0]), "1");
    EXPECT_EQ(CodeOf(nodes[1]), "0");
    EXPECT_EQ(coded.pre, (std::vector<uint16_t>{256, 1, 0}));
    EXPECT_EQ(coded.in, (std::vector<uint16_t>{1, 256, 0}));
    ASSERT_EQ(coded.bands.size(), 1u);
    EXPECT_EQ(coded.bands[0].bytes, (std::vector<uint8_t>{0x04, 0xE0}));
}

// Equal weights: leaves before internal nodes, lower index first, and the
// lighter node of each join on the left.
TEST(HfmCode, TiesFavourLeavesAndLowerIndices)
{
    const std::vector<uint8_t> data = {0x30, 0x20, 0x30, 0x10};
    Coded coded = Code(data, 4);
    ASSERT_EQ(coded.nodeCount, 5);
    const HGMRNCODENODE *nodes = coded.nodes.get();
    EXPECT_EQ(nodes[3].iLeft, 0);   // 0x10 and 0x20, weight 1 each
    EXPECT_EQ(nodes[3].iRight, 1);
    EXPECT_EQ(nodes[4].iLeft, 2);   // the leaf 0x30 wins the tie against node 256
    EXPECT_EQ(nodes[4].iRight, 3);
    EXPECT_EQ(CodeOf(*LeafOf(nodes, 5, 0x30)), "0");
    EXPECT_EQ(CodeOf(*LeafOf(nodes, 5, 0x10)), "10");
    EXPECT_EQ(CodeOf(*LeafOf(nodes, 5, 0x20)), "11");
    EXPECT_EQ(coded.pre, (std::vector<uint16_t>{257, 0x30, 256, 0x10, 0x20}));
    EXPECT_EQ(coded.in, (std::vector<uint16_t>{0x30, 257, 0x10, 256, 0x20}));
}

TEST(HfmCode, MinTreeNodePicksTheTwoLightestFreeNodes)
{
    struct Case {
        std::vector<int> weights;
        std::vector<int> joined;  // indices that already have a parent
        int first, second;
    };
    const Case cases[] = {
        {{3, 1, 1, 2}, {}, 1, 2},
        {{3, 1, 1, 2}, {1}, 2, 3},
        {{2, 2, 2}, {}, 0, 1},
        {{5, 4}, {}, 1, 0},
        {{1, 1, 7}, {0, 1}, 2, -1},
    };
    CHfmCode coder;
    for (const Case &c : cases) {
        std::vector<HGMRNCODENODE> nodes(c.weights.size());
        for (size_t i = 0; i < nodes.size(); ++i)
            nodes[i] = HGMRNCODENODE{c.weights[i], -1, -1, -1, 0, static_cast<uint16_t>(i), {}};
        for (int j : c.joined)
            nodes[static_cast<size_t>(j)].iParent = 99;
        int a = -2;
        int b = -2;
        EXPECT_EQ(coder.GetMinTreeNode(nodes.data(), static_cast<int>(nodes.size()), &a, &b), c.second != -1);
        EXPECT_EQ(a, c.first);
        EXPECT_EQ(b, c.second);
    }
}

TEST(HfmCode, SingleValueDataGetsANeighbourLeaf)
{
    struct Case {
        uint8_t value;
        int count;
        int added;
        const char *code;  // the data value's code
    };
    const Case cases[] = {
        {0x00, 8, 0x01, "1"}, {0x7F, 8, 0x80, "1"}, {0x80, 8, 0x7F, "1"},
        {0xFF, 12, 0xFE, "1"}, {0x42, 1, 0x43, "0"}, {0xC0, 1, 0xBF, "0"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(static_cast<int>(c.value));
        const std::vector<uint8_t> data(static_cast<size_t>(c.count), c.value);
        Coded coded = Code(data, c.count);
        ASSERT_EQ(coded.nodeCount, 3);
        EXPECT_EQ(coded.nodes[0].wValue, c.value);
        EXPECT_EQ(coded.nodes[1].wValue, c.added);
        EXPECT_EQ(coded.nodes[1].iWeight, 1);
        EXPECT_EQ(CodeOf(coded.nodes[0]), c.code);
        ASSERT_EQ(coded.bands.size(), 1u);
        const int bits = c.count;
        std::vector<uint8_t> expected = {static_cast<uint8_t>((8 - bits % 8) % 8)};
        for (int i = 0; i < (bits + 7) / 8; ++i) {
            const int inByte = std::min(8, bits - 8 * i);
            expected.push_back(c.code[0] == '1' ? static_cast<uint8_t>(0xFF00 >> inByte) : 0x00);
        }
        EXPECT_EQ(coded.bands[0].bytes, expected);
    }
}

TEST(HfmCode, AllByteValuesGive511Nodes)
{
    std::vector<uint8_t> data;
    for (int i = 0; i < 256; ++i)
        data.insert(data.end(), static_cast<size_t>(i % 7 + 1), static_cast<uint8_t>(i));
    data.resize(data.size() / 8 * 8);
    Coded coded = Code(data, 8);
    ASSERT_EQ(coded.nodeCount, 511);
    EXPECT_EQ(coded.nodes[510].iParent, -1);
    EXPECT_EQ(coded.nodes[510].iWeight, static_cast<int>(data.size()));
    for (int i = 0; i < 511; ++i)
        EXPECT_EQ(coded.nodes[i].wValue, i) << i;  // leaves 0..255 in order, then 256..510
    auto tree = TreeFromWalks(coded.pre, coded.in);
    ASSERT_TRUE(tree);
    const auto check = DecodeBands(*tree, coded.bands, 8);
    EXPECT_EQ(check.fault, "");
    EXPECT_EQ(check.data, data);
}

TEST(HfmCode, BandOfWholeBytesHasCountByteZero)
{
    // 0x00 codes to 1 and 0x01 to 0: sixteen bytes, sixteen bits.
    std::vector<uint8_t> data(16, 0x00);
    data[3] = 0x01;
    data[12] = 0x01;
    Coded coded = Code(data, 16);
    ASSERT_EQ(coded.bands.size(), 1u);
    EXPECT_EQ(coded.bands[0].bytes, (std::vector<uint8_t>{0x00, 0xEF, 0xF7}));
}

TEST(HfmCode, BlankPageOfRowLength48Has42LinesPerBand)
{
    const std::vector<uint8_t> data(48 * 100, 0x00);
    Coded coded = Code(data, 48);
    EXPECT_EQ(coded.pre, (std::vector<uint16_t>{256, 1, 0}));
    EXPECT_EQ(coded.in, (std::vector<uint16_t>{1, 256, 0}));
    ASSERT_EQ(coded.bands.size(), 3u);  // 42 + 42 + 16 lines
    std::vector<uint8_t> full(253, 0xFF);
    full[0] = 0x00;
    EXPECT_EQ(coded.bands[0].bytes, full);
    EXPECT_EQ(coded.bands[1].bytes, full);
    std::vector<uint8_t> last(97, 0xFF);
    last[0] = 0x00;
    EXPECT_EQ(coded.bands[2].bytes, last);
}

// A line whose bits alone reach the limit is a band of its own, also as the
// very first line: no empty band ahead of it.
TEST(HfmCode, LineThatAloneReachesTheLimitFormsItsOwnBand)
{
    // Weights 8, 4, 2, 1 give codes of 1, 2, 3 and 3 bits to 0, 1, 2, 3.
    std::vector<uint8_t> training;
    for (int v = 0, weight = 8; v < 4; ++v, weight /= 2)
        training.insert(training.end(), static_cast<size_t>(weight), static_cast<uint8_t>(v));
    CHfmCode coder;
    int nodeCount = 0;
    auto nodes = coder.GetHfmTree(training.data(), static_cast<int>(training.size()), &nodeCount, 0, 0);
    ASSERT_TRUE(nodes);
    ASSERT_EQ(CodeOf(*LeafOf(nodes.get(), nodeCount, 2)).size(), 3u);

    // Lines of 8 bytes with the band limit (4 - 1) * 8 = 24 bits:
    // 24 bits, 8, 8, 24, 8, 16.
    const std::vector<std::vector<uint8_t>> lines = {
        {2, 3, 2, 3, 2, 3, 2, 3}, {0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0},
        {3, 3, 3, 3, 3, 3, 3, 3}, {0, 0, 0, 0, 0, 0, 0, 0}, {1, 1, 1, 1, 1, 1, 1, 1},
    };
    std::vector<uint8_t> data;
    for (const auto &line : lines)
        data.insert(data.end(), line.begin(), line.end());
    int count = 0;
    const CHfmCode::HfmBands bands =
        coder.HFMDGencoding(nodes.get(), nodeCount, data.data(), 8, static_cast<int>(lines.size()), 4, &count);
    ASSERT_TRUE(bands);
    ASSERT_EQ(count, 5);  // {24}, {8, 8}, {24}, {8}, {16}
    const int lengths[] = {4, 3, 4, 2, 3};
    std::vector<CodedBand> copies;
    for (int k = 0; k < count; ++k) {
        EXPECT_EQ(bands.bands[k].iLength, lengths[k]) << k;
        EXPECT_EQ(bands.bands[k].pData[0], 0) << k;
        copies.push_back({std::vector<uint8_t>(bands.bands[k].pData, bands.bands[k].pData + bands.bands[k].iLength)});
    }
    auto tree = TreeFromWalks(Walk(coder.GetTreePreorder(nodes.get(), nodeCount), nodeCount),
                                      Walk(coder.GetTreeMiddleorder(nodes.get(), nodeCount), nodeCount));
    ASSERT_TRUE(tree);
    const auto check = DecodeBands(*tree, copies, 8);
    EXPECT_EQ(check.fault, "");
    EXPECT_EQ(check.data, data);

    // Every line of one byte at a limit of 8 bits: one band per line.
    const CHfmCode::HfmBands single = coder.HFMDGencoding(nodes.get(), nodeCount, data.data(), 1, 48, 1, &count);
    ASSERT_TRUE(single);
    EXPECT_EQ(count, 48);
}

// Pages as the printer gets them, decoded by a tree rebuilt from the walks.
TEST(HfmCode, RandomPagesDecodeBackToTheirBytes)
{
    struct Case {
        int lineLength;
        int lines;
        int blackPerMille;  // share of burnt dots; 500 gives random bytes
        int bandSize;
    };
    const Case cases[] = {
        {48, 600, 30, 256}, {48, 300, 500, 256}, {4, 1000, 100, 256}, {72, 200, 5, 256},
        {400, 20, 500, 256}, {12, 500, 200, 16}, {8, 64, 900, 2}, {100, 3, 1, 256},
    };
    std::mt19937 random(20261208);
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.lineLength << "x" << c.lines << " black " << c.blackPerMille);
        std::vector<uint8_t> data(static_cast<size_t>(c.lineLength) * c.lines);
        for (uint8_t &byte : data) {
            for (int bit = 0; bit < 8; ++bit) {
                if (static_cast<int>(random() % 1000) < c.blackPerMille)
                    byte = static_cast<uint8_t>(byte | (0x80 >> bit));
            }
        }
        Coded coded = Code(data, c.lineLength, c.bandSize);
        ASSERT_TRUE(coded.nodes);
        auto tree = TreeFromWalks(coded.pre, coded.in);
        ASSERT_TRUE(tree);
        const auto check = DecodeBands(*tree, coded.bands, static_cast<size_t>(c.lineLength));
        ASSERT_EQ(check.fault, "");
        EXPECT_EQ(check.data, data);

        // Bands hold as many whole lines as fit below the limit.
        const uint64_t limit = static_cast<uint64_t>(c.bandSize - 1) * 8;
        size_t line = 0;
        for (size_t k = 0; k < coded.bands.size(); ++k) {
            std::vector<uint8_t> decoded;
            const auto &bytes = coded.bands[k].bytes;
            const uint64_t bits = (bytes.size() - 1) * 8 - bytes[0];
            ASSERT_TRUE(tree->Decode(bytes.data() + 1, bits, decoded));
            const size_t bandLines = decoded.size() / static_cast<size_t>(c.lineLength);
            ASSERT_GE(bandLines, 1u);
            if (bandLines > 1) {
                EXPECT_LT(bits, limit) << "band " << k;
            }
            if (k + 1 < coded.bands.size()) {
                std::vector<uint8_t> nextLine(data.begin() + static_cast<long>((line + bandLines) * c.lineLength),
                                              data.begin() + static_cast<long>((line + bandLines + 1) * c.lineLength));
                uint64_t nextBits = 0;
                for (uint8_t byte : nextLine)
                    nextBits += CodeOf(*LeafOf(coded.nodes.get(), coded.nodeCount, byte)).size();
                EXPECT_GE(bits + nextBits, limit) << "band " << k << " could hold another line";
            }
            line += bandLines;
        }
    }
}

// Codes longer than a machine word: a lopsided tree whose leaf d codes to d
// ones and a zero, as data with steeply falling counts would give.
TEST(HfmCode, LongCodesDecodeBackToTheirBytes)
{
    const int leaves = 70;
    const int nodeCount = 2 * leaves - 1;
    std::vector<HGMRNCODENODE> nodes(static_cast<size_t>(nodeCount));
    for (int i = 0; i < nodeCount; ++i)
        nodes[static_cast<size_t>(i)] = HGMRNCODENODE{1, -1, -1, -1, 0, static_cast<uint16_t>(i < leaves ? i : 256 + i - leaves), {}};
    for (int depth = 0; depth < leaves - 1; ++depth) {
        HGMRNCODENODE &node = nodes[static_cast<size_t>(nodeCount - 1 - depth)];
        node.iLeft = depth;
        node.iRight = depth == leaves - 2 ? leaves - 1 : nodeCount - 2 - depth;
    }
    for (int leaf = 0; leaf < leaves; ++leaf) {
        HGMRNCODENODE &node = nodes[static_cast<size_t>(leaf)];
        node.iCodeLen = leaf == leaves - 1 ? leaf : leaf + 1;
        for (int bit = 0; bit < node.iCodeLen; ++bit)
            node.code[bit] = bit < leaf ? 1 : 0;
    }
    std::mt19937 random(7);
    std::vector<uint8_t> data(16 * 90);
    for (uint8_t &byte : data)
        byte = static_cast<uint8_t>(random() % leaves);

    CHfmCode coder;
    int count = 0;
    const CHfmCode::HfmBands bands = coder.HFMDGencoding(nodes.data(), nodeCount, data.data(), 16, 90, 256, &count);
    ASSERT_TRUE(bands);
    std::vector<CodedBand> copies;
    for (const tagHfmBand &band : bands.View())
        copies.push_back({std::vector<uint8_t>(band.pData, band.pData + band.iLength)});
    auto tree = TreeFromWalks(Walk(coder.GetTreePreorder(nodes.data(), nodeCount), nodeCount),
                                      Walk(coder.GetTreeMiddleorder(nodes.data(), nodeCount), nodeCount));
    ASSERT_TRUE(tree);
    const auto check = DecodeBands(*tree, copies, 16);
    EXPECT_EQ(check.fault, "");
    EXPECT_EQ(check.data, data);
}

TEST(HfmCode, MissingInputGivesEmptyResults)
{
    CHfmCode coder;
    const uint8_t data[4] = {1, 2, 3, 4};
    int nodeCount = -7;
    EXPECT_FALSE(coder.GetHfmTree(nullptr, 4, &nodeCount, 0, 0));
    EXPECT_FALSE(coder.GetHfmTree(data, 0, &nodeCount, 0, 0));
    EXPECT_FALSE(coder.GetHfmTree(data, -1, &nodeCount, 0, 0));
    EXPECT_EQ(nodeCount, -7);

    auto nodes = coder.GetHfmTree(data, 4, &nodeCount, 0, 0);
    ASSERT_TRUE(nodes);
    int bandCount = -7;
    EXPECT_FALSE(coder.HFMDGencoding(nullptr, nodeCount, data, 4, 1, 256, &bandCount));
    EXPECT_FALSE(coder.HFMDGencoding(nodes.get(), nodeCount, nullptr, 4, 1, 256, &bandCount));
    EXPECT_FALSE(coder.HFMDGencoding(nodes.get(), nodeCount, data, 4, 0, 256, &bandCount));
    // A byte the tree has no leaf for cannot be coded.
    const uint8_t other[4] = {1, 2, 3, 9};
    EXPECT_FALSE(coder.HFMDGencoding(nodes.get(), nodeCount, other, 4, 1, 256, &bandCount));
    EXPECT_EQ(bandCount, -7);

    EXPECT_FALSE(coder.GetTreePreorder(nullptr, 3));
    EXPECT_FALSE(coder.GetTreePreorder(nodes.get(), 0));
    EXPECT_FALSE(coder.GetTreeMiddleorder(nodes.get(), -1));
}

// Walks of a node array that is not a tree of K nodes end, and give nothing.
TEST(HfmCode, WalksRejectArraysThatAreNotTrees)
{
    CHfmCode coder;
    const uint8_t data[6] = {5, 5, 6, 7, 7, 7};
    int nodeCount = 0;
    auto nodes = coder.GetHfmTree(data, 6, &nodeCount, 0, 0);
    ASSERT_EQ(nodeCount, 5);

    std::vector<HGMRNCODENODE> cyclic(nodes.get(), nodes.get() + nodeCount);
    cyclic[3].iLeft = 4;  // the root below itself
    EXPECT_FALSE(coder.GetTreePreorder(cyclic.data(), nodeCount));
    EXPECT_FALSE(coder.GetTreeMiddleorder(cyclic.data(), nodeCount));

    std::vector<HGMRNCODENODE> selfLeft(nodes.get(), nodes.get() + nodeCount);
    selfLeft[3].iLeft = 3;  // a left chain that never reaches a node to store
    EXPECT_FALSE(coder.GetTreePreorder(selfLeft.data(), nodeCount));
    EXPECT_FALSE(coder.GetTreeMiddleorder(selfLeft.data(), nodeCount));

    std::vector<HGMRNCODENODE> outside(nodes.get(), nodes.get() + nodeCount);
    outside[4].iRight = 40;
    EXPECT_FALSE(coder.GetTreePreorder(outside.data(), nodeCount));
    EXPECT_FALSE(coder.GetTreeMiddleorder(outside.data(), nodeCount));

    // A subtree only: fewer nodes visited than K.
    EXPECT_FALSE(coder.GetTreePreorder(nodes.get(), nodeCount - 1));
}

}  // namespace
