// Placeholders for image operations still to be written; each is removed
// from here when its real implementation lands.
#include "image/raster_image.h"

void CRasterImage::Copy(const CRasterImage &, bool, bool, bool) {}
void CRasterImage::CopyInfo(const CRasterImage &) {}
CRasterImage &CRasterImage::operator=(const CRasterImage &) { return *this; }
bool CRasterImage::Transfer(CRasterImage &, bool) { return false; }
CRasterImage *CRasterImage::Ghost(const CRasterImage *) { return nullptr; }
tagRGBQUAD CRasterImage::GetPaletteColor(uint8_t) const { return {}; }
void CRasterImage::SetPaletteColor(uint8_t, uint8_t, uint8_t, uint8_t, uint8_t) {}
void CRasterImage::SetPaletteColor(uint8_t, tagRGBQUAD) {}
void CRasterImage::SetPaletteColor(uint8_t, uint32_t) {}
void CRasterImage::SetPalette(const tagRGBQUAD *, uint32_t) {}
bool CRasterImage::IsGrayScale() const { return false; }
uint8_t CRasterImage::GetNearestIndex(tagRGBQUAD) { return 0; }
tagRGBQUAD CRasterImage::RGBtoRGBQUAD(uint32_t) { return {}; }
uint8_t CRasterImage::GetPixelIndex(int32_t, int32_t) const { return 0; }
uint8_t CRasterImage::BlindGetPixelIndex(int32_t, int32_t) const { return 0; }
void CRasterImage::SetPixelIndex(int32_t, int32_t, uint8_t) {}
void CRasterImage::BlindSetPixelIndex(int32_t, int32_t, uint8_t) {}
tagRGBQUAD CRasterImage::GetPixelColor(int32_t, int32_t, bool) const { return {}; }
tagRGBQUAD CRasterImage::BlindGetPixelColor(int32_t, int32_t, bool) const { return {}; }
void CRasterImage::SetPixelColor(int32_t, int32_t, tagRGBQUAD, bool) {}
void CRasterImage::SetPixelColor(int32_t, int32_t, uint32_t) {}
void CRasterImage::BlindSetPixelColor(int32_t, int32_t, tagRGBQUAD, bool) {}
void CRasterImage::SetTransIndex(int32_t) {}
tagRGBQUAD CRasterImage::GetTransColor() const { return {}; }
void CRasterImage::AlphaClear() {}
void CRasterImage::AlphaSet(uint8_t) {}
bool CRasterImage::AlphaSet(CRasterImage &) { return false; }
uint8_t CRasterImage::AlphaGet(int32_t, int32_t) const { return 0; }
uint8_t CRasterImage::BlindAlphaGet(int32_t, int32_t) const { return 0; }
bool CRasterImage::AlphaCopy(const CRasterImage &) { return false; }
bool CRasterImage::AlphaMirror() { return false; }
bool CRasterImage::AlphaSplit(CRasterImage *) const { return false; }
bool CRasterImage::SelectionCreate() { return false; }
bool CRasterImage::SelectionDelete() { return false; }
bool CRasterImage::BlindSelectionIsInside(int32_t, int32_t) const { return true; }
bool CRasterImage::SelectionCopy(const CRasterImage &) { return false; }
bool CRasterImage::SelectionMirror() { return false; }
bool CRasterImage::GrayScale() { return false; }
bool CRasterImage::Light(int32_t, int32_t) { return false; }
bool CRasterImage::Lut(const uint8_t *) { return false; }
bool CRasterImage::Threshold(uint8_t) { return false; }
bool CRasterImage::Dither(int32_t) { return false; }
