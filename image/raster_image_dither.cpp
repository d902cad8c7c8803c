// Dithering into one bit per pixel: the frame shared by every method.
#include "image/raster_image.h"
#include "image/raster_image_dither.h"

bool CRasterImage::HalftoneWith(void (*rows)(const void *context, CRasterImage &grey, CRasterImage &bitmap),
                                const void *context)
{
    if (dib.get() == nullptr)
        return false;
    if (head.biBitCount == 1)
        return true;
    // Without the grey image every level would read 0: a black page
    // reported as success.
    if (!GrayScale() || head.biBitCount != 8)
        return false;

    CRasterImage bitmap;
    bitmap.CopyInfo(*this);
    if (bitmap.Create(GetWidth(), GetHeight(), 1, GetType()) == nullptr) {
        SetLastError(bitmap.GetLastError());
        return false;
    }
    bitmap.SelectionCopy(*this);
    bitmap.AlphaCopy(*this);

    rows(context, *this, bitmap);

    bitmap.SetPaletteColor(0, 0, 0, 0, 0);
    bitmap.SetPaletteColor(1, 255, 255, 255, 0);
    Transfer(bitmap, true);
    return true;
}

bool CRasterImage::Dither(int32_t method)
{
    return HalftoneWith(
        [](const void *context, CRasterImage &grey, CRasterImage &bitmap) {
            const int32_t m = *static_cast<const int32_t *>(context);
            if (m == 1 || m == 7 || m == 8 || m == 9)
                OrderedRows(m, grey, bitmap);
            else
                DiffuseRows(m, grey, bitmap);
        },
        &method);
}

bool CRasterImage::AutoHalftone(uint8_t level)
{
    return HalftoneWith(
        [](const void *context, CRasterImage &grey, CRasterImage &bitmap) {
            AutoHalftoneRows(*static_cast<const uint8_t *>(context), grey, bitmap);
        },
        &level);
}
