// Dithering into one bit per pixel, and the frame it shares with the fixed
// threshold.
#include "image/raster_image.h"
#include "image/raster_image_dither.h"

bool CRasterImage::HalftoneWith(BitmapInfo keep, const std::function<void(CRasterImage &, CRasterImage &)> &rows)
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
    if (keep == BitmapInfo::Kept)
        bitmap.CopyInfo(*this);
    if (bitmap.Create(GetWidth(), GetHeight(), 1, keep == BitmapInfo::Kept ? GetType() : 0) == nullptr) {
        SetLastError(bitmap.GetLastError());
        return false;
    }
    if (keep == BitmapInfo::Kept) {
        bitmap.SelectionCopy(*this);
        bitmap.AlphaCopy(*this);
    }

    rows(*this, bitmap);

    bitmap.SetPaletteColor(0, 0, 0, 0, 0);
    bitmap.SetPaletteColor(1, 255, 255, 255, 0);
    Transfer(bitmap, true);
    return true;
}

bool CRasterImage::Dither(int32_t method)
{
    return HalftoneWith(BitmapInfo::Kept, [method](CRasterImage &grey, CRasterImage &bitmap) {
        if (method == 1 || method == 7 || method == 8 || method == 9)
            OrderedRows(method, grey, bitmap);
        else
            DiffuseRows(method, grey, bitmap);
    });
}

bool CRasterImage::AutoHalftone(uint8_t level)
{
    return HalftoneWith(BitmapInfo::Kept,
                        [level](CRasterImage &grey, CRasterImage &bitmap) { AutoHalftoneRows(level, grey, bitmap); });
}
