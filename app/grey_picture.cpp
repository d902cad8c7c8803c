#include "app/grey_picture.h"

bool GreyPicture::Fits(uint32_t width, uint32_t height, const Limits &limits)
{
    const uint64_t count = static_cast<uint64_t>(width) * height;
    return width != 0 && height != 0 && width <= limits.maxWidth && height <= limits.maxHeight &&
           (limits.maxPixels == 0 || count <= limits.maxPixels);
}

void GreyPicture::Clear()
{
    width = height = xPpi = yPpi = 0;
    pixels.clear();
    error.clear();
}
