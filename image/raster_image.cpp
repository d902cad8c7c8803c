#include "image/raster_image.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#if defined(__SANITIZE_ADDRESS__)
#define DOTWEAVE_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DOTWEAVE_ADDRESS_SANITIZER 1
#endif
#endif

bool CRasterImage::Block::Allocate(size_t bytes)
{
    owned = std::unique_ptr<uint8_t, page_memory::Release>(static_cast<uint8_t *>(std::malloc(bytes > 0 ? bytes : 1)));
    ptr = owned.get();
    return ptr != nullptr;
}

bool CRasterImage::Block::AllocateZeroed(size_t bytes)
{
    owned.reset();
#ifndef DOTWEAVE_ADDRESS_SANITIZER
    // The address sanitizer watches malloc'd blocks only, so it keeps them.
    size_t mapped = 0;
    if (uint8_t *block = page_memory::MapZeroed(bytes, mapped); block != nullptr) {
        owned = std::unique_ptr<uint8_t, page_memory::Release>(block, page_memory::Release{mapped});
        ptr = block;
        return true;
    }
#endif
    owned = std::unique_ptr<uint8_t, page_memory::Release>(static_cast<uint8_t *>(std::calloc(bytes > 0 ? bytes : 1, 1)));
    ptr = owned.get();
    return ptr != nullptr;
}

CRasterImage::CRasterImage(uint32_t imageType)
{
    Startup(imageType);
}

CRasterImage::CRasterImage(uint32_t width, uint32_t height, uint32_t bpp, uint32_t imageType)
{
    Startup(imageType);
    Create(width, height, bpp, imageType);
}

CRasterImage::CRasterImage(const CRasterImage &src, bool withPixels, bool withSelection, bool withAlpha)
{
    Startup(src.GetType());
    Copy(src, withPixels, withSelection, withAlpha);
}

CRasterImage::~CRasterImage()
{
    DestroyFrames();
    Destroy();
}

void CRasterImage::Startup(uint32_t imageType)
{
    dib.Reset();
    selection.Reset();
    alpha.Reset();
    layers.clear();
    frames.clear();
    head = tagBITMAPINFOHEADER{};
    info = Info{};
    info.imageType = imageType;
    info.jpegQuality = 90.0f;
    info.alphaMax = 255;
    info.transIndex = -1;
    info.enabled = 1;
    info.jpegScale = 1;
    SetXDPI(96);
    SetYDPI(96);
    const uint16_t probe = 1;
    uint8_t low = 0;
    std::memcpy(&low, &probe, 1);
    info.littleEndianHost = low;
}

bool CRasterImage::Destroy()
{
    if (info.ghost != nullptr)
        return false;
    layers.clear();
    info.numLayers = 0;
    selection.Reset();
    alpha.Reset();
    dib.Reset();
    info.pixels = nullptr;
    return true;
}

bool CRasterImage::DestroyFrames()
{
    if (info.ghost != nullptr)
        return false;
    frames.clear();
    info.numFrames = 0;
    return true;
}

void CRasterImage::SetLastError(const char *text)
{
    std::strncpy(info.lastError, text != nullptr ? text : "", sizeof(info.lastError) - 1);
    info.lastError[sizeof(info.lastError) - 1] = '\0';
}

uint32_t CRasterImage::EffWidthFor(uint32_t width, uint32_t bpp)
{
    return ((width * bpp + 31) / 32) * 4;
}

uint8_t *CRasterImage::Create(uint32_t width, uint32_t height, uint32_t bpp, uint32_t imageType)
{
    if (!Destroy())
        return nullptr;
    if (width == 0 || height == 0) {
        SetLastError("CRasterImage::Create : width and height must be greater than zero");
        return nullptr;
    }
    if (bpp <= 1)
        bpp = 1;
    else if (bpp <= 4)
        bpp = 4;
    else if (bpp <= 8)
        bpp = 8;
    else
        bpp = 24;

    if (static_cast<float>(width) * static_cast<float>(height) * static_cast<float>(bpp) / 8.0f > kMaxMemory) {
        SetLastError("RASTERIMAGE_MAX_MEMORY exceeded");
        return nullptr;
    }
    // Past the limit above width * bpp still fits 32 bits for any width the
    // limit lets through with a height of 1 (2^31 bits); the row formula needs
    // 64 bits only on the way.
    const uint64_t effWidth = ((static_cast<uint64_t>(width) * bpp + 31) / 32) * 4;

    switch (bpp) {
    case 1: head.biClrUsed = 2; break;
    case 4: head.biClrUsed = 16; break;
    case 8: head.biClrUsed = 256; break;
    default: head.biClrUsed = 0; break;
    }
    info.effWidth = static_cast<uint32_t>(effWidth);
    info.imageType = imageType;

    head.biSize = sizeof(tagBITMAPINFOHEADER);
    head.biWidth = static_cast<int32_t>(width);
    head.biHeight = static_cast<int32_t>(height);
    head.biPlanes = 1;
    head.biBitCount = static_cast<uint16_t>(bpp);
    head.biCompression = 0;
    head.biSizeImage = static_cast<uint32_t>(effWidth * height);

    // Palette and rows start cleared so that no stale memory can ever travel
    // on to a printer through a row an operation does not fully write.
    if (!dib.AllocateZeroed(GetSize())) {
        SetLastError("CRasterImage::Create can't allocate memory");
        head = tagBITMAPINFOHEADER{head.biSize, 0, 0, 1, 0, 0, 0, head.biXPelsPerMeter, head.biYPelsPerMeter, 0,
                                   head.biClrImportant};
        info.effWidth = 0;
        return nullptr;
    }
    selection.Reset();
    alpha.Reset();
    std::memcpy(dib.get(), &head, sizeof(head));
    info.pixels = GetBits(0);
    return dib.get();
}

bool CRasterImage::CreateFromArray(const uint8_t *pixels, uint32_t width, uint32_t height, uint32_t bpp,
                                   uint32_t lineBytes, bool flip)
{
    if (pixels == nullptr || (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32))
        return false;
    if (Create(width, height, bpp, 0) == nullptr)
        return false;
    if (bpp < 24)
        SetGrayPalette();
    if (bpp == 32)
        AlphaCreate();

    for (uint32_t i = 0; i < height; ++i)
        SetRowFromLine(flip ? height - 1 - i : i, pixels + static_cast<size_t>(i) * lineBytes, lineBytes, bpp == 32);
    return true;
}

void CRasterImage::SetRowFromLine(uint32_t row, const uint8_t *line, uint32_t lineBytes, bool rgba)
{
    uint8_t *dst = GetBits(row);
    if (dst == nullptr)
        return;
    const uint32_t effWidth = GetEffWidth();
    if (rgba) {
        const uint32_t width = GetWidth();
        uint8_t *alphaRow = alpha.get() != nullptr ? alpha.get() + static_cast<size_t>(row) * width : nullptr;
        const uint32_t count = lineBytes / 4 < width ? lineBytes / 4 : width;
        for (uint32_t x = 0; x < count; ++x) {
            dst[3 * x] = line[4 * x];
            dst[3 * x + 1] = line[4 * x + 1];
            dst[3 * x + 2] = line[4 * x + 2];
            if (alphaRow != nullptr)
                alphaRow[x] = line[4 * x + 3];
        }
        // Pixels the line does not carry are white.
        std::memset(dst + 3 * static_cast<size_t>(count), 0xFF, effWidth - 3 * static_cast<size_t>(count));
    } else {
        // Bytes past the stored row are not part of the picture: dropped.
        const uint32_t copied = effWidth < lineBytes ? effWidth : lineBytes;
        std::memcpy(dst, line, copied);
        std::memset(dst + copied, 0xFF, effWidth - copied);
    }
}

uint8_t *CRasterImage::GetBits(uint32_t row) const
{
    if (dib.get() == nullptr)
        return nullptr;
    if (row == 0) {
        uint32_t headerSize;
        std::memcpy(&headerSize, dib.get(), sizeof(headerSize));
        return dib.get() + headerSize + GetPaletteSize();
    }
    if (row >= GetHeight())
        return nullptr;
    return info.pixels + static_cast<size_t>(row) * info.effWidth;
}

uint32_t CRasterImage::GetSize() const
{
    return head.biSize + head.biSizeImage + GetPaletteSize();
}

bool CRasterImage::IsInside(int32_t x, int32_t y) const
{
    return x >= 0 && y >= 0 && x < head.biWidth && y < head.biHeight;
}

static int32_t PelsPerMeter(int32_t dpi)
{
    return static_cast<int32_t>(std::floor(dpi * 10000.0 / 254.0 + 0.5));
}

void CRasterImage::SetXDPI(int32_t dpi)
{
    if (dpi <= 0)
        dpi = 96;
    info.xDpi = dpi;
    head.biXPelsPerMeter = PelsPerMeter(dpi);
    if (dib.get() != nullptr)
        std::memcpy(dib.get() + offsetof(tagBITMAPINFOHEADER, biXPelsPerMeter), &head.biXPelsPerMeter,
                    sizeof(int32_t));
}

void CRasterImage::SetYDPI(int32_t dpi)
{
    if (dpi <= 0)
        dpi = 96;
    info.yDpi = dpi;
    head.biYPelsPerMeter = PelsPerMeter(dpi);
    if (dib.get() != nullptr)
        std::memcpy(dib.get() + offsetof(tagBITMAPINFOHEADER, biYPelsPerMeter), &head.biYPelsPerMeter,
                    sizeof(int32_t));
}

uint32_t CRasterImage::GetPaletteSize() const
{
    return head.biClrUsed * 4;
}

tagRGBQUAD *CRasterImage::GetPalette() const
{
    if (dib.get() == nullptr || head.biClrUsed == 0)
        return nullptr;
    return reinterpret_cast<tagRGBQUAD *>(dib.get() + sizeof(tagBITMAPINFOHEADER));
}

void CRasterImage::SetGrayPalette()
{
    tagRGBQUAD *palette = GetPalette();
    if (palette == nullptr)
        return;
    const uint32_t n = head.biClrUsed;
    const uint32_t step = n > 1 ? 255 / (n - 1) : 0;
    for (uint32_t i = 0; i < n; ++i) {
        const uint8_t level = static_cast<uint8_t>(step * i);
        palette[i].rgbBlue = level;
        palette[i].rgbGreen = level;
        palette[i].rgbRed = level;
    }
    InvalidateNearestCache();
}

bool CRasterImage::AlphaCreate()
{
    if (alpha.get() == nullptr) {
        if (dib.get() == nullptr || !alpha.Allocate(PlaneSize()))
            return false;
        std::memset(alpha.get(), 255, PlaneSize());
    }
    return true;
}

void CRasterImage::AlphaDelete()
{
    if (info.ghost == nullptr)
        alpha.Reset();
}

void CRasterImage::AlphaSet(int32_t x, int32_t y, uint8_t level)
{
    if (alpha.get() != nullptr && IsInside(x, y))
        alpha.get()[static_cast<size_t>(y) * GetWidth() + static_cast<size_t>(x)] = level;
}
