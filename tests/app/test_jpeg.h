#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A JPEG file as a test writes it: every pixel the same samples, grey (1),
// RGB (3) or CMYK (4) components.
struct TestJpeg {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> samples;  // one pixel's components
    int densityUnit = 0;           // 0 aspect ratio only, 1 per inch, 2 per centimetre
    uint16_t xDensity = 1, yDensity = 1;
    bool progressive = false;

    void Write(const std::string &path) const;
};
