#pragma once

#include "app/grey_picture.h"

#include <cstdio>
#include <string>

// A JPEG document as grey: colour becomes its luminance. Pictures in CMYK
// are refused with a reason.
class JpegImage : public GreyPicture {
public:
    // False, with the reason in Error(), when the file cannot be read, is
    // damaged, or is larger than the limits (checked before any pixel
    // memory is taken). A file cut short prints what arrived.
    bool Read(const std::string &path, const Limits &limits);
    // The same from an open file, read from its current position.
    bool Read(std::FILE *file, const Limits &limits);
};
