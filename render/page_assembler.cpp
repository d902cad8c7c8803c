#include "render/page_assembler.h"

#include <algorithm>
#include <cstring>

namespace {

// Highest resolution a page may declare. No thermal printer comes near it, and
// below it every conversion between millimetres and dots stays within int.
constexpr uint32_t kMaxResolution = 9600;

}  // namespace

const char *RefusePage(const cups_page_header2_t &header)
{
    const uint32_t bpp = header.cupsBitsPerPixel;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)
        return "unsupported bits per pixel";
    if (header.cupsWidth == 0 || header.cupsHeight == 0)
        return "the page has no width or height";
    // Every millimetre conversion divides by or multiplies with the resolution.
    if (header.HWResolution[0] == 0 || header.HWResolution[1] == 0 || header.HWResolution[0] > kMaxResolution ||
        header.HWResolution[1] > kMaxResolution)
        return "the resolution is 0 or above 9600 dpi";
    const uint64_t rasterBytes = static_cast<uint64_t>(header.cupsBytesPerLine) * header.cupsHeight;
    if (rasterBytes > 0x7FFFFFFFu)
        return "the page raster is larger than 2 GiB";
    const uint64_t lineBits = static_cast<uint64_t>(header.cupsWidth) * bpp;
    if (static_cast<uint64_t>(header.cupsBytesPerLine) * 8 < lineBits)
        return "the line length does not hold the page width";
    // Lines may be padded to any length: the padding is read and dropped,
    // and the image is sized from the width alone. It keeps rows padded to
    // 32 bits; count those, not the bare bits.
    const uint32_t imageBpp = bpp == 32 ? 24 : bpp;
    const uint64_t imageBytes =
        (static_cast<uint64_t>(header.cupsWidth) * imageBpp + 31) / 32 * 4 * header.cupsHeight;
    if (imageBytes > static_cast<uint64_t>(CRasterImage::kMaxMemory))
        return "the page image would be larger than 256 MiB";
    return nullptr;
}

bool CPageAssembler::Begin(const cups_page_header2_t &header, CRasterImage &target)
{
    image = &target;
    const uint32_t bpp = header.cupsBitsPerPixel;
    height = 0;
    next = 0;
    if (image->Create(header.cupsWidth, header.cupsHeight, bpp, 0) == nullptr)
        return false;
    rgba = bpp == 32;
    if (bpp < 24)
        image->SetGrayPalette();
    if (rgba && !image->AlphaCreate()) {
        image->Destroy();
        image->SetLastError("CRasterImage::AlphaCreate can't allocate memory");
        return false;
    }
    height = header.cupsHeight;
    lineBytes = header.cupsBytesPerLine;
    effWidth = image->GetEffWidth();
    const uint64_t rowBytes = rgba ? uint64_t{header.cupsWidth} * 4 : effWidth;
    kept = static_cast<uint32_t>(std::min<uint64_t>(lineBytes, rowBytes));
    return true;
}

void CPageAssembler::PlacePacked(uint32_t count)
{
    count = std::min(count, RowsLeft());
    uint8_t *first = image->GetBits(next);
    // Last line first, so that none is overwritten before it has moved.
    if (lineBytes < effWidth) {
        for (uint32_t i = count; i-- > 0;) {
            uint8_t *row = first + static_cast<size_t>(i) * effWidth;
            std::memmove(row, first + static_cast<size_t>(i) * lineBytes, lineBytes);
            std::memset(row + lineBytes, 0xFF, effWidth - lineBytes);
        }
    }
    next += count;
}

void CPageAssembler::AddLine(const uint8_t *line, size_t length)
{
    if (next >= height)
        return;
    image->SetRowFromLine(next, line, static_cast<uint32_t>(std::min<size_t>(length, kept)), rgba);
    ++next;
}

void CPageAssembler::Finish()
{
    for (; next < height; ++next)
        std::memset(image->GetBits(next), 0xFF, effWidth);
}
