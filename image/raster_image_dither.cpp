// Dithering into one bit per pixel: the frame shared by every method.
#include "image/raster_image.h"
#include "image/raster_image_dither.h"

bool CRasterImage::Dither(int32_t method)
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

    if (method == 1 || method == 7 || method == 8 || method == 9)
        OrderedRows(method, *this, bitmap);
    else
        DiffuseRows(method, *this, bitmap);

    bitmap.SetPaletteColor(0, 0, 0, 0, 0);
    bitmap.SetPaletteColor(1, 255, 255, 255, 0);
    Transfer(bitmap, true);
    return true;
}
