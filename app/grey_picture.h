#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A picture document as one byte of grey per pixel, 0 black to 255 white,
// first row first, as the readers of each picture format leave it.
class GreyPicture {
public:
    struct Limits {
        uint32_t maxWidth = 16384;
        uint32_t maxHeight = 16384;
        size_t maxPixels = 0;  // 0: width × height is not limited further
    };

    uint32_t Width() const { return width; }
    uint32_t Height() const { return height; }
    // Pixels per inch across and down, 0 when the file does not say.
    uint32_t XPpi() const { return xPpi; }
    uint32_t YPpi() const { return yPpi; }
    const std::vector<uint8_t> &Pixels() const { return pixels; }
    // Why the last read failed.
    const std::string &Error() const { return error; }

    // Whether a picture of this size stays within the limits; the readers
    // check it before they take any pixel memory.
    static bool Fits(uint32_t width, uint32_t height, const Limits &limits);

protected:
    void Clear();

    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t xPpi = 0;
    uint32_t yPpi = 0;
    std::vector<uint8_t> pixels;
    std::string error;
};
