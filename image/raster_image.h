#pragma once

#include "image/page_memory.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

// A colour: blue, green, red, reserved (the reserved byte carries alpha where
// an operation asks for one). Passed by value like a 32-bit word.
struct tagRGBQUAD {
    uint8_t rgbBlue = 0;
    uint8_t rgbGreen = 0;
    uint8_t rgbRed = 0;
    uint8_t rgbReserved = 0;
};

struct tagRECT {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

#pragma pack(push, 1)
// The standard 40-byte device-independent bitmap header.
struct tagBITMAPINFOHEADER {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};
#pragma pack(pop)
static_assert(sizeof(tagBITMAPINFOHEADER) == 40, "bitmap header must be 40 bytes");

// Packs red, green, blue into an RGB word (red bits 0-7, green 8-15, blue 16-23).
constexpr uint32_t RGBWord(uint8_t r, uint8_t g, uint8_t b)
{
    return static_cast<uint32_t>(r) | (static_cast<uint32_t>(g) << 8) | (static_cast<uint32_t>(b) << 16);
}

// In-memory raster image: 1, 4 or 8 bits per pixel with a palette, or 24 bits
// per pixel (blue, green, red). Rows of GetEffWidth() bytes (the row rounded up
// to 32 bits) lie one after the other, row 0 first. Pixel data, header and
// palette live in one block so a whole image copies with one block copy.
class CRasterImage {
public:
    // Pixel data beyond this many bytes is refused by Create.
    static constexpr float kMaxMemory = 268435456.0f;

    explicit CRasterImage(uint32_t imageType = 0);
    CRasterImage(uint32_t width, uint32_t height, uint32_t bpp, uint32_t imageType);
    CRasterImage(const CRasterImage &src, bool withPixels, bool withSelection, bool withAlpha);
    CRasterImage(const CRasterImage &) = delete;
    virtual ~CRasterImage();
    CRasterImage &operator=(const CRasterImage &src);

    // --- creation and destruction ---
    uint8_t *Create(uint32_t width, uint32_t height, uint32_t bpp, uint32_t imageType);
    bool CreateFromArray(const uint8_t *pixels, uint32_t width, uint32_t height, uint32_t bpp,
                         uint32_t lineBytes, bool flip);
    // Fills stored row `row` from one raster line of lineBytes bytes, as
    // CreateFromArray does for each of its lines: a 32-bit line (rgba) gives
    // its fourth bytes to the alpha plane, a longer line loses the bytes past
    // the row, and what a shorter line does not carry is white.
    void SetRowFromLine(uint32_t row, const uint8_t *line, uint32_t lineBytes, bool rgba);
    bool Destroy();
    bool DestroyFrames();

    // --- copying and hand-over ---
    void Copy(const CRasterImage &src, bool withPixels = true, bool withSelection = true,
              bool withAlpha = true);
    void CopyInfo(const CRasterImage &src);
    bool Transfer(CRasterImage &from, bool withFrames = true);
    CRasterImage *Ghost(const CRasterImage *src);
    bool IsGhost() const { return info.ghost != nullptr; }

    // --- geometry and memory ---
    uint32_t GetWidth() const { return static_cast<uint32_t>(head.biWidth); }
    uint32_t GetHeight() const { return static_cast<uint32_t>(head.biHeight); }
    uint32_t GetEffWidth() const { return info.effWidth; }
    uint16_t GetBpp() const { return head.biBitCount; }
    uint32_t GetNumColors() const { return head.biClrUsed; }
    uint32_t GetType() const { return info.imageType; }
    uint8_t *GetBits(uint32_t row = 0) const;
    uint8_t *GetDIB() const { return dib.get(); }
    const tagBITMAPINFOHEADER &GetHeader() const { return head; }
    uint32_t GetSize() const;
    bool IsValid() const { return dib.get() != nullptr; }
    bool IsInside(int32_t x, int32_t y) const;
    bool IsEnabled() const { return info.enabled != 0; }
    const char *GetLastError() const { return info.lastError; }
    void SetLastError(const char *text);
    int32_t GetProgress() const { return info.progress; }
    void SetProgress(int32_t percent) { info.progress = percent; }
    int32_t GetEscape() const { return info.escape; }
    void SetEscape(int32_t escape) { info.escape = escape; }

    int32_t GetXDPI() const { return info.xDpi; }
    int32_t GetYDPI() const { return info.yDpi; }
    void SetXDPI(int32_t dpi);
    void SetYDPI(int32_t dpi);

    // --- palette ---
    uint32_t GetPaletteSize() const;
    tagRGBQUAD *GetPalette() const;
    void SetGrayPalette();
    tagRGBQUAD GetPaletteColor(uint8_t index) const;
    void SetPaletteColor(uint8_t index, uint8_t r, uint8_t g, uint8_t b, uint8_t alpha = 0);
    void SetPaletteColor(uint8_t index, tagRGBQUAD c);
    void SetPaletteColor(uint8_t index, uint32_t rgbWord);
    void SetPalette(const tagRGBQUAD *palette, uint32_t numColors = 256);
    bool IsGrayScale() const;
    uint8_t GetNearestIndex(tagRGBQUAD c);
    static tagRGBQUAD RGBtoRGBQUAD(uint32_t rgbWord);

    // --- pixels ---
    uint8_t GetPixelIndex(int32_t x, int32_t y) const;
    uint8_t BlindGetPixelIndex(int32_t x, int32_t y) const;
    void SetPixelIndex(int32_t x, int32_t y, uint8_t index);
    void BlindSetPixelIndex(int32_t x, int32_t y, uint8_t index);
    tagRGBQUAD GetPixelColor(int32_t x, int32_t y, bool withAlpha = true) const;
    tagRGBQUAD BlindGetPixelColor(int32_t x, int32_t y, bool withAlpha = true) const;
    void SetPixelColor(int32_t x, int32_t y, tagRGBQUAD c, bool withAlpha = false);
    void SetPixelColor(int32_t x, int32_t y, uint32_t rgbWord);
    void BlindSetPixelColor(int32_t x, int32_t y, tagRGBQUAD c, bool withAlpha = false);

    // --- transparency ---
    int32_t GetTransIndex() const { return info.transIndex; }
    void SetTransIndex(int32_t index);
    tagRGBQUAD GetTransColor() const;
    void SetTransColor(tagRGBQUAD c) { info.transColor = c; }

    // --- alpha plane (one byte per pixel, 0 transparent, 255 opaque) ---
    bool AlphaIsValid() const { return alpha.get() != nullptr; }
    bool AlphaCreate();
    void AlphaDelete();
    void AlphaClear();
    void AlphaSet(uint8_t level);
    void AlphaSet(int32_t x, int32_t y, uint8_t level);
    bool AlphaSet(CRasterImage &grey);
    uint8_t AlphaGet(int32_t x, int32_t y) const;
    uint8_t BlindAlphaGet(int32_t x, int32_t y) const;
    uint8_t AlphaGetMax() const { return info.alphaMax; }
    bool AlphaCopy(const CRasterImage &src);
    bool AlphaMirror();
    bool AlphaSplit(CRasterImage *dst) const;
    uint8_t *AlphaGetPointer() const { return alpha.get(); }

    // --- selection plane (one byte per pixel, non-zero = selected) ---
    bool SelectionIsValid() const { return selection.get() != nullptr; }
    bool SelectionCreate();
    bool SelectionDelete();
    bool BlindSelectionIsInside(int32_t x, int32_t y) const;
    bool SelectionCopy(const CRasterImage &src);
    bool SelectionMirror();
    uint8_t *SelectionGetPointer() const { return selection.get(); }
    tagRECT GetSelectionBox() const { return info.selectionBox; }
    void SetSelectionBox(const tagRECT &box) { info.selectionBox = box; }

    // --- tone ---
    bool GrayScale();
    bool Light(int32_t brightness, int32_t contrast);
    bool Lut(const uint8_t *table);
    bool Threshold(uint8_t level);

    // --- dithering ---
    bool Dither(int32_t method);
    // Hard edges (text, barcodes, rules and their grey rims) thresholded at
    // level, everything else error-diffused, no error crossing between them.
    bool AutoHalftone(uint8_t level);

    // --- resampling ---
    bool Resample(int32_t newWidth, int32_t newHeight, int32_t mode = 1, CRasterImage *destination = nullptr);
    static float KernelBSpline(float x);

    // --- geometry ---
    bool Rotate(float angle, CRasterImage *destination = nullptr);
    bool Rotate180(CRasterImage *destination = nullptr);
    bool Mirror(bool mirrorSelection = false, bool mirrorAlpha = true);
    bool Crop(int32_t left, int32_t top, int32_t right, int32_t bottom, CRasterImage *destination = nullptr);
    bool Crop(const tagRECT &rect, CRasterImage *destination = nullptr);

private:
    // A block of bytes an image either owns or, as a ghost, only borrows.
    class Block {
    public:
        uint8_t *get() const { return ptr; }
        bool Allocate(size_t bytes);        // owned, contents undefined; false when memory runs out
        bool AllocateZeroed(size_t bytes);  // owned and all 0; fresh pages cost no clearing pass
        void Borrow(uint8_t *p)
        {
            owned.reset();
            ptr = p;
        }
        void Reset()
        {
            owned.reset();
            ptr = nullptr;
        }
        void TakeFrom(Block &other)
        {
            owned = std::move(other.owned);
            ptr = other.ptr;
            other.ptr = nullptr;
        }

    private:
        std::unique_ptr<uint8_t, page_memory::Release> owned;
        uint8_t *ptr = nullptr;
    };

    // Everything that travels with CopyInfo, Copy, Transfer and Ghost.
    struct Info {
        uint32_t effWidth = 0;
        uint8_t *pixels = nullptr;  // row 0 inside the block
        const CRasterImage *ghost = nullptr;
        uint32_t imageType = 0;
        char lastError[256] = {};
        int32_t progress = 0;
        int32_t escape = 0;
        int32_t transIndex = -1;
        tagRGBQUAD transColor{};
        int32_t xDpi = 0;
        int32_t yDpi = 0;
        tagRECT selectionBox{};
        uint8_t alphaMax = 255;
        uint8_t enabled = 1;
        tagRGBQUAD lastColor{};
        uint8_t lastColorIndex = 0;
        bool lastColorValid = false;
        uint8_t littleEndianHost = 1;
        // Codec and multi-frame settings; the filter never reads them.
        float jpegQuality = 90.0f;
        uint8_t jpegScale = 1;
        int32_t frame = 0;
        int32_t numFrames = 0;
        int32_t frameDelay = 0;
        int32_t xOffset = 0;
        int32_t yOffset = 0;
        uint32_t codecOptions = 0;
        uint32_t flags = 0;
        uint8_t dispose = 0;
        bool alphaPaletteEnabled = false;
        bool retrieveAllFrames = false;
        int32_t numLayers = 0;
    };

    void Startup(uint32_t imageType);
    // The frame of the fixed threshold and every half-tone: grey conversion,
    // the one-bit image, rows(grey image, bitmap), palette and hand-over.
    // The one-bit image keeps this image's information, selection and alpha,
    // or (the threshold) starts with fresh information.
    enum class BitmapInfo { Kept, Fresh };
    bool HalftoneWith(BitmapInfo info, const std::function<void(CRasterImage &grey, CRasterImage &bitmap)> &rows);
    static uint32_t EffWidthFor(uint32_t width, uint32_t bpp);
    void InvalidateNearestCache() { info.lastColorValid = false; }
    void ZeroInfo();  // every field of the information record to zero
    size_t PlaneSize() const { return static_cast<size_t>(GetWidth()) * GetHeight(); }

    tagBITMAPINFOHEADER head{};
    Info info{};
    Block dib;
    Block selection;
    Block alpha;
    std::vector<std::unique_ptr<CRasterImage>> layers;  // sub-image list
    std::vector<std::unique_ptr<CRasterImage>> frames;
};
