#include "preview/preview_page.h"

#include <algorithm>
#include <cstring>

void PreviewPage::Widen(uint32_t rowBytes)
{
    if (rowBytes <= bytesPerRow)
        return;
    if (height != 0)
        Odd("the page mixes bitmaps " + std::to_string(bytesPerRow) + " and " + std::to_string(rowBytes) +
            " bytes wide; narrower rows are shown padded with white");
    std::vector<uint8_t> wider(static_cast<size_t>(rowBytes) * height, 0);
    for (uint32_t y = 0; y < height; ++y)
        std::memcpy(wider.data() + static_cast<size_t>(y) * rowBytes, Row(y), bytesPerRow);
    bits.swap(wider);
    bytesPerRow = rowBytes;
}

void PreviewPage::AppendRows(uint32_t rowBytes, uint32_t rows, const uint8_t *data, bool invert)
{
    if (rowBytes == 0 || rows == 0)
        return;
    if (height != 0 && rowBytes < bytesPerRow)
        Odd("the page mixes bitmaps " + std::to_string(bytesPerRow) + " and " + std::to_string(rowBytes) +
            " bytes wide; narrower rows are shown padded with white");
    Widen(rowBytes);
    const size_t start = bits.size();
    bits.resize(start + static_cast<size_t>(bytesPerRow) * rows, 0);
    for (uint32_t y = 0; y < rows; ++y) {
        const uint8_t *src = data + static_cast<size_t>(y) * rowBytes;
        uint8_t *dst = bits.data() + start + static_cast<size_t>(y) * bytesPerRow;
        if (invert) {
            for (uint32_t i = 0; i < rowBytes; ++i)
                dst[i] = static_cast<uint8_t>(~src[i]);
        } else {
            std::memcpy(dst, src, rowBytes);
        }
    }
    height += rows;
}

void PreviewPage::OverlayRows(uint32_t rowBytes, uint32_t rows, const uint8_t *data, bool invert, uint32_t y)
{
    const uint32_t width = std::min(rowBytes, bytesPerRow);
    for (uint32_t r = 0; r < rows && y < height && r < height - y; ++r) {
        const uint8_t *src = data + static_cast<size_t>(r) * rowBytes;
        uint8_t *dst = bits.data() + static_cast<size_t>(y + r) * bytesPerRow;
        for (uint32_t i = 0; i < width; ++i)
            dst[i] |= invert ? static_cast<uint8_t>(~src[i]) : src[i];
    }
}
