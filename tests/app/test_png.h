#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A PNG file as a test writes it: packed samples of the given colour type
// and bit depth, first row first.
struct TestPng {
    uint32_t width = 0;
    uint32_t height = 0;
    int colourType = 0;  // PNG_COLOR_TYPE_*
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<uint8_t> rows;       // height rows of packed samples
    std::vector<uint8_t> palette;    // red, green, blue per entry
    std::vector<uint8_t> paletteAlpha;
    uint32_t ppi = 0;                // written as pHYs when not 0

    // Every pixel the same samples (one per channel, already at the bit depth).
    static TestPng Filled(uint32_t width, uint32_t height, int colourType, int bitDepth,
                          std::vector<uint16_t> samples);
    void Write(const std::string &path) const;
};
