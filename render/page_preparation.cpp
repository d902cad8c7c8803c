#include "render/base_render.h"

#include <cmath>

void CBaseRender::AdjustImage()
{
}

void CBaseRender::CropWhiteEdge(int, int, int, int)
{
}

int CBaseRender::mm_2_dots(int mm) const
{
    return static_cast<int>(mm * (iDpi / 25.4) + 0.9999);
}
