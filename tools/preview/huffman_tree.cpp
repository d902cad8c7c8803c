#include "preview/huffman_tree.h"

namespace {

// At most 256 leaves, so at most 511 nodes.
constexpr size_t kMaxNodes = 511;

}  // namespace

bool HuffmanTree::Build(const std::vector<uint16_t> &preorder, const std::vector<uint16_t> &inorder,
                        std::string &problem)
{
    nodes.clear();
    const size_t count = preorder.size();
    if (count != inorder.size()) {
        problem = "the two walks of the tree differ in length";
        return false;
    }
    if (count < 3 || count > kMaxNodes || count % 2 == 0) {
        problem = "a tree of 3 to 511 nodes (an odd number), found " + std::to_string(count);
        return false;
    }
    std::vector<int32_t> inorderPos(65536, -1);
    for (size_t i = 0; i < count; ++i) {
        if (inorderPos[inorder[i]] != -1) {
            problem = "the value " + std::to_string(inorder[i]) + " appears twice in the in-order walk";
            return false;
        }
        inorderPos[inorder[i]] = static_cast<int32_t>(i);
    }

    // Rebuilt without recursion: each pending subtree is a range of the
    // in-order walk and the slot in its parent that it fills; pre-order
    // visits node, left, right, so the left subtree is taken first.
    struct Pending {
        size_t low, high;  // in-order range [low, high)
        int32_t parent;
        int side;
    };
    std::vector<Pending> stack{{0, count, -1, 0}};
    size_t next = 0;
    nodes.reserve(count);
    while (!stack.empty()) {
        const Pending part = stack.back();
        stack.pop_back();
        if (next >= count) {
            problem = "the pre-order walk ends early";
            return false;
        }
        const uint16_t value = preorder[next++];
        const int32_t pos = inorderPos[value];
        if (pos < 0 || static_cast<size_t>(pos) < part.low || static_cast<size_t>(pos) >= part.high) {
            problem = "the walks do not describe one tree (value " + std::to_string(value) + ")";
            return false;
        }
        const bool hasLeft = static_cast<size_t>(pos) > part.low;
        const bool hasRight = static_cast<size_t>(pos) + 1 < part.high;
        const bool leaf = value < 256;
        if (leaf && (hasLeft || hasRight)) {
            problem = "the leaf " + std::to_string(value) + " has children";
            return false;
        }
        if (!leaf && !(hasLeft && hasRight)) {
            problem = "the inner node " + std::to_string(value) + " lacks a child";
            return false;
        }
        const int32_t index = static_cast<int32_t>(nodes.size());
        Node node;
        node.value = value;
        nodes.push_back(node);
        if (part.parent >= 0)
            nodes[static_cast<size_t>(part.parent)].child[part.side] = index;
        if (hasRight)
            stack.push_back({static_cast<size_t>(pos) + 1, part.high, index, 1});
        if (hasLeft)
            stack.push_back({part.low, static_cast<size_t>(pos), index, 0});
    }
    if (next != count) {
        problem = "the walks do not describe one tree";
        return false;
    }
    return true;
}

bool HuffmanTree::Decode(const uint8_t *bits, size_t bitCount, std::vector<uint8_t> &out) const
{
    if (nodes.empty())
        return false;
    int32_t node = 0;
    for (size_t i = 0; i < bitCount; ++i) {
        const int bit = (bits[i / 8] >> (7 - i % 8)) & 1;
        node = nodes[static_cast<size_t>(node)].child[bit];
        const Node &reached = nodes[static_cast<size_t>(node)];
        if (reached.child[0] < 0) {
            out.push_back(static_cast<uint8_t>(reached.value));
            node = 0;
        }
    }
    return node == 0;
}
