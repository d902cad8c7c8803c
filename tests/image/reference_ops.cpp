#include "reference_ops.h"

namespace reference {

namespace {

struct Tap {
    int dx;
    int dy;
    int weight;
};

struct Kernel {
    int divisor;
    int count;
    Tap taps[16];
};

const Kernel kFloydSteinberg = {16, 4, {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}}};
const Kernel kBurkes = {32, 7, {{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2}}};
const Kernel kStucki = {42, 12, {{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2},
                                 {-2, 2, 1}, {-1, 2, 2}, {0, 2, 4}, {1, 2, 2}, {2, 2, 1}}};
const Kernel kJarvis = {48, 12, {{1, 0, 7}, {2, 0, 5}, {-2, 1, 3}, {-1, 1, 5}, {0, 1, 7}, {1, 1, 5}, {2, 1, 3},
                                 {-2, 2, 1}, {-1, 2, 3}, {0, 2, 5}, {1, 2, 3}, {2, 2, 1}}};
const Kernel kSierra = {32, 10, {{1, 0, 5}, {2, 0, 3}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 5}, {1, 1, 4}, {2, 1, 2},
                                 {-1, 2, 2}, {0, 2, 3}, {1, 2, 2}}};
const Kernel kStevensonArce = {200, 12, {{2, 0, 32}, {-3, 1, 12}, {-1, 1, 26}, {1, 1, 30}, {3, 1, 16},
                                         {-2, 2, 12}, {0, 2, 26}, {2, 2, 12}, {-3, 3, 5}, {-1, 3, 12},
                                         {1, 3, 12}, {3, 3, 5}}};

const int kBayer4[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

const int kBayer8[8][8] = {  // first index x mod 8
    {0, 32, 8, 40, 2, 34, 10, 42},   {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},  {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},   {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21}};

const int kTable16[16][16] = {  // first index x mod 16
    {1, 235, 59, 219, 15, 231, 55, 215, 2, 232, 56, 216, 12, 228, 52, 212},
    {129, 65, 187, 123, 143, 79, 183, 119, 130, 66, 184, 120, 140, 76, 180, 116},
    {33, 193, 17, 251, 47, 207, 31, 247, 34, 194, 18, 248, 44, 204, 28, 244},
    {161, 97, 145, 81, 175, 111, 159, 95, 162, 98, 146, 82, 172, 108, 156, 92},
    {9, 225, 49, 209, 5, 239, 63, 223, 10, 226, 50, 210, 6, 236, 60, 220},
    {137, 73, 177, 113, 133, 69, 191, 127, 138, 74, 178, 114, 134, 70, 188, 124},
    {41, 201, 25, 241, 37, 197, 21, 255, 42, 202, 26, 242, 38, 198, 22, 252},
    {169, 105, 153, 89, 165, 101, 149, 85, 170, 106, 154, 90, 166, 102, 150, 86},
    {3, 233, 57, 217, 13, 229, 53, 213, 0, 234, 58, 218, 14, 230, 54, 214},
    {131, 67, 185, 121, 141, 77, 181, 117, 128, 64, 186, 122, 142, 78, 182, 118},
    {35, 195, 19, 249, 45, 205, 29, 245, 32, 192, 16, 250, 46, 206, 30, 246},
    {163, 99, 147, 83, 173, 109, 157, 93, 160, 96, 144, 80, 174, 110, 158, 94},
    {11, 227, 51, 211, 7, 237, 61, 221, 8, 224, 48, 208, 4, 238, 62, 222},
    {139, 75, 179, 115, 135, 71, 189, 125, 136, 72, 176, 112, 132, 68, 190, 126},
    {43, 203, 27, 243, 39, 199, 23, 253, 40, 200, 24, 240, 36, 196, 20, 254},
    {171, 107, 155, 91, 167, 103, 151, 87, 168, 104, 152, 88, 164, 100, 148, 84}};

const Kernel &KernelFor(int32_t method)
{
    switch (method) {
    case 2: return kBurkes;
    case 3: return kStucki;
    case 4: return kJarvis;
    case 5: return kSierra;
    case 6: return kStevensonArce;
    default: return kFloydSteinberg;
    }
}

uint8_t Method7Entry(int i)
{
    const int order = 4;
    int a = i / order, b = i % order, d = 0;
    for (int n = 0; n < order; ++n) {
        d = (((d << 1) | ((a ^ b) & 1)) << 1) | (b & 1);
        a >>= 1;
        b >>= 1;
    }
    return static_cast<uint8_t>(d & 0xFF);
}

bool OrderedWhite(int32_t method, int level, int x, int y)
{
    switch (method) {
    case 1: return (level * 16) / 255 > kBayer4[y % 4][x % 4];
    case 7: return Method7Entry((x % 4) + 4 * (y % 4)) < level;
    case 8: return (level >> 2) != 0 && (level >> 2) >= kBayer8[x % 8][y % 8];
    default: return level == 255 || level > kTable16[x % 16][y % 16];
    }
}

}  // namespace

uint8_t Grey(tagRGBQUAD c)
{
    return static_cast<uint8_t>((c.rgbBlue * 117 + c.rgbGreen * 601 + c.rgbRed * 306) >> 10);
}

bool GrayScale(CRasterImage &image)
{
    if (!image.IsValid())
        return false;
    const int32_t width = static_cast<int32_t>(image.GetWidth());
    const int32_t height = static_cast<int32_t>(image.GetHeight());
    if (image.GetBpp() == 24) {
        CRasterImage grey;
        grey.CopyInfo(image);
        if (grey.Create(image.GetWidth(), image.GetHeight(), 8, image.GetType()) == nullptr)
            return false;
        grey.SetGrayPalette();
        if (image.GetTransIndex() >= 0)
            grey.SetTransIndex(Grey(image.GetTransColor()));
        grey.SelectionCopy(image);
        grey.AlphaCopy(image);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                grey.SetPixelIndex(x, y, Grey(image.GetPixelColor(x, y, false)));
        image.Transfer(grey, true);
        return true;
    }
    for (uint32_t i = 0; i < image.GetNumColors(); ++i) {
        tagRGBQUAD c = image.GetPaletteColor(static_cast<uint8_t>(i));
        c.rgbBlue = Grey(c);
        image.SetPaletteColor(static_cast<uint8_t>(i), c);
    }
    // The transparent index becomes its entry's grey level; a 1- or 4-bit
    // image cannot hold that index, only the 8-bit result can.
    const int32_t transIndex = image.GetTransIndex() >= 0
                                   ? image.GetPaletteColor(static_cast<uint8_t>(image.GetTransIndex())).rgbBlue
                                   : -1;
    if (image.GetBpp() == 8) {
        image.SetTransIndex(transIndex);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                image.SetPixelIndex(x, y, image.GetPaletteColor(image.GetPixelIndex(x, y)).rgbBlue);
        image.SetGrayPalette();
        return true;
    }
    CRasterImage grey;
    grey.CopyInfo(image);
    if (grey.Create(image.GetWidth(), image.GetHeight(), 8, image.GetType()) == nullptr)
        return false;
    grey.SetGrayPalette();
    grey.SetTransIndex(transIndex);
    grey.SelectionCopy(image);
    grey.AlphaCopy(image);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            grey.SetPixelIndex(x, y, image.GetPaletteColor(image.GetPixelIndex(x, y)).rgbBlue);
    image.Transfer(grey, true);
    return true;
}

bool Threshold(CRasterImage &image, uint8_t level)
{
    if (!image.IsValid())
        return false;
    if (image.GetBpp() == 1)
        return true;
    GrayScale(image);
    CRasterImage bitmap(image.GetWidth(), image.GetHeight(), 1, 0);
    for (int32_t y = 0; y < static_cast<int32_t>(image.GetHeight()); ++y)
        for (int32_t x = 0; x < static_cast<int32_t>(image.GetWidth()); ++x)
            bitmap.SetPixelIndex(x, y, image.GetPixelIndex(x, y) > level ? 1 : 0);
    bitmap.SetPaletteColor(0, 0, 0, 0, 0);
    bitmap.SetPaletteColor(1, 255, 255, 255, 0);
    image.Transfer(bitmap, true);
    return true;
}

bool Dither(CRasterImage &image, int32_t method)
{
    if (!image.IsValid())
        return false;
    if (image.GetBpp() == 1)
        return true;
    GrayScale(image);
    CRasterImage bitmap;
    bitmap.CopyInfo(image);
    if (bitmap.Create(image.GetWidth(), image.GetHeight(), 1, image.GetType()) == nullptr)
        return false;
    bitmap.SelectionCopy(image);
    bitmap.AlphaCopy(image);
    const bool ordered = method == 1 || method == 7 || method == 8 || method == 9;
    const Kernel &kernel = KernelFor(method);
    for (int32_t y = 0; y < static_cast<int32_t>(image.GetHeight()); ++y) {
        for (int32_t x = 0; x < static_cast<int32_t>(image.GetWidth()); ++x) {
            const int level = image.BlindGetPixelIndex(x, y);
            if (ordered) {
                bitmap.SetPixelIndex(x, y, OrderedWhite(method, level, x, y) ? 1 : 0);
                continue;
            }
            const int error = level > 128 ? level - 255 : level;
            bitmap.SetPixelIndex(x, y, level > 128 ? 1 : 0);
            for (int k = 0; k < kernel.count; ++k) {
                const Tap &tap = kernel.taps[k];
                int v = image.GetPixelIndex(x + tap.dx, y + tap.dy) + (error * tap.weight) / kernel.divisor;
                v = v < 0 ? 0 : (v > 255 ? 255 : v);
                image.SetPixelIndex(x + tap.dx, y + tap.dy, static_cast<uint8_t>(v));
            }
        }
    }
    bitmap.SetPaletteColor(0, 0, 0, 0, 0);
    bitmap.SetPaletteColor(1, 255, 255, 255, 0);
    image.Transfer(bitmap, true);
    return true;
}

}  // namespace reference
