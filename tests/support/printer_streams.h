#pragma once

#include <string>

// Reads a printer stream back with the preview decoders, which were written
// from the byte formats apart from the back-ends. A stream cut inside a
// command, ending inside a page, or with anything the decoder finds odd is
// not whole.
struct StreamCheck {
    bool whole = false;
    int pages = 0;         // complete pages
    std::string problem;   // what was wrong, and where
};

// The check for a PPD model number.
StreamCheck CheckStreamOfModel(int modelNumber, const std::string &stream);
