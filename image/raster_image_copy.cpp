// Copying an image and handing pixel memory from one image to another.
#include "image/raster_image.h"

#include <cstring>

void CRasterImage::Copy(const CRasterImage &src, bool withPixels, bool withSelection, bool withAlpha)
{
    if (&src == this)
        return;
    if (src.info.ghost != nullptr) {
        Ghost(&src);
        return;
    }
    // The copied record must not carry src's row pointer: Create sets ours.
    info = src.info;
    info.pixels = nullptr;
    head = src.head;
    Create(src.GetWidth(), src.GetHeight(), src.GetBpp(), src.GetType());

    if (withPixels && dib.get() != nullptr && src.dib.get() != nullptr)
        std::memcpy(dib.get(), src.dib.get(), GetSize());
    else
        SetPalette(src.GetPalette(), 256);

    if (withSelection && src.selection.get() != nullptr && dib.get() != nullptr) {
        if (selection.Allocate(PlaneSize()))
            std::memcpy(selection.get(), src.selection.get(), PlaneSize());
    }
    if (withAlpha && src.alpha.get() != nullptr && dib.get() != nullptr) {
        if (alpha.Allocate(PlaneSize()))
            std::memcpy(alpha.get(), src.alpha.get(), PlaneSize());
    }
}

void CRasterImage::CopyInfo(const CRasterImage &src)
{
    if (dib.get() != nullptr || &src == this)
        return;
    // Keep our own identity: taking src's row pointer or ghost source would
    // leave this image pointing into memory it neither owns nor borrows.
    uint8_t *const ownPixels = info.pixels;
    const CRasterImage *const ownGhost = info.ghost;
    info = src.info;
    info.pixels = ownPixels;
    info.ghost = ownGhost;
    // The cached nearest colour belongs to src's palette, not to the one this
    // image will be created with.
    InvalidateNearestCache();
}

CRasterImage &CRasterImage::operator=(const CRasterImage &src)
{
    if (&src != this)
        Copy(src, true, true, true);
    return *this;
}

void CRasterImage::ZeroInfo()
{
    info = Info{};
    info.transIndex = 0;
    info.alphaMax = 0;
    info.enabled = 0;
    info.littleEndianHost = 0;
    info.jpegQuality = 0.0f;
    info.jpegScale = 0;
}

bool CRasterImage::Transfer(CRasterImage &from, bool withFrames)
{
    if (&from == this)
        return info.ghost == nullptr;
    // A ghost of this image only borrows this image's memory: taking it
    // after Destroy would leave this image pointing at freed memory.
    if (from.info.ghost == this)
        return false;
    if (!Destroy())
        return false;
    head = from.head;
    info = from.info;
    dib.TakeFrom(from.dib);
    selection.TakeFrom(from.selection);
    alpha.TakeFrom(from.alpha);
    layers = std::move(from.layers);
    from.layers.clear();
    from.head = tagBITMAPINFOHEADER{};
    from.ZeroInfo();
    if (withFrames) {
        DestroyFrames();
        frames = std::move(from.frames);
        from.frames.clear();
    }
    return true;
}

CRasterImage *CRasterImage::Ghost(const CRasterImage *src)
{
    if (src == nullptr)
        return nullptr;
    if (src == this)
        return this;
    // Borrowing memory that is really our own would free it on the way.
    if (src->info.ghost == this)
        return nullptr;
    head = src->head;
    info = src->info;
    dib.Borrow(src->dib.get());
    selection.Borrow(src->selection.get());
    alpha.Borrow(src->alpha.get());
    // The sub-image and frame lists hold owned images and cannot be shared;
    // a ghost sees them empty (the filter never fills them).
    layers.clear();
    frames.clear();
    info.ghost = src;
    return this;
}
