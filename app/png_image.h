#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A PNG document as one byte of grey per pixel, 0 black to 255 white, first
// row first: colour becomes its luminance (a red line stays dark, it does not
// vanish as its red channel alone would), every bit depth and palette is
// expanded, and transparency is laid over white paper.
class PngImage {
public:
    struct Limits {
        uint32_t maxWidth = 16384;
        uint32_t maxHeight = 16384;
        size_t maxPixels = 0;  // 0: width × height is not limited further
    };

    // False, with the reason in Error(), when the file cannot be read, is
    // damaged, or is larger than the limits (checked before any pixel
    // memory is taken).
    bool Read(const std::string &path, const Limits &limits);

    uint32_t Width() const { return width; }
    uint32_t Height() const { return height; }
    // Pixels per inch across and down, 0 when the file does not say.
    uint32_t XPpi() const { return xPpi; }
    uint32_t YPpi() const { return yPpi; }
    const std::vector<uint8_t> &Pixels() const { return pixels; }
    const std::string &Error() const { return error; }

private:
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t xPpi = 0;
    uint32_t yPpi = 0;
    std::vector<uint8_t> pixels;
    std::string error;
};
