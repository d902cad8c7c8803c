#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One decoded page: the bitmap as the printer burns it (1 = black dot, bit 7
// of each byte the leftmost dot, rows of bytesPerRow bytes, first row on
// top) and what the stream said about it.
class PreviewPage {
public:
    uint32_t BytesPerRow() const { return bytesPerRow; }
    uint32_t WidthDots() const { return bytesPerRow * 8; }
    uint32_t Height() const { return height; }
    bool HasBitmap() const { return bytesPerRow != 0 && height != 0; }
    const std::vector<uint8_t> &Bits() const { return bits; }
    const uint8_t *Row(uint32_t y) const { return bits.data() + static_cast<size_t>(y) * bytesPerRow; }
    bool Dot(uint32_t x, uint32_t y) const { return (Row(y)[x / 8] >> (7 - x % 8)) & 1; }

    // Stacks rows below the ones already there. Rows of another width are
    // padded with white to the widest and the difference is noted as odd.
    // invert: the source says 0 = black.
    void AppendRows(uint32_t rowBytes, uint32_t rows, const uint8_t *data, bool invert);
    // Burns src into this page's rows at row y (OR), clipped to the page.
    void OverlayRows(uint32_t rowBytes, uint32_t rows, const uint8_t *data, bool invert, uint32_t y);

    // Report lines: what the stream commanded, and what looks wrong.
    void Note(std::string line) { commands.push_back(std::move(line)); }
    void ReplaceNote(size_t index, std::string line)
    {
        if (index < commands.size())
            commands[index] = std::move(line);
    }
    void Odd(std::string line) { oddities.push_back(std::move(line)); }
    const std::vector<std::string> &Commands() const { return commands; }
    const std::vector<std::string> &Oddities() const { return oddities; }

private:
    void Widen(uint32_t rowBytes);

    uint32_t bytesPerRow = 0;
    uint32_t height = 0;
    std::vector<uint8_t> bits;
    std::vector<std::string> commands;
    std::vector<std::string> oddities;
};
