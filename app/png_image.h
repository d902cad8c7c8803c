#pragma once

#include "app/grey_picture.h"

#include <cstdio>
#include <string>

// A PNG document as grey: colour becomes its luminance (a red line stays
// dark, it does not vanish as its red channel alone would), every bit depth
// and palette is expanded, and transparency is laid over white paper.
class PngImage : public GreyPicture {
public:
    // False, with the reason in Error(), when the file cannot be read, is
    // damaged, or is larger than the limits (checked before any pixel
    // memory is taken).
    bool Read(const std::string &path, const Limits &limits);
    // The same from an open file, read from its current position.
    bool Read(std::FILE *file, const Limits &limits);
};
