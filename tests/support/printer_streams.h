#pragma once

#include <string>

// Reads a printer stream as whole commands of its language. A stream cut
// inside a command, or ending inside a page, is not whole.
struct StreamCheck {
    bool whole = false;
    int pages = 0;         // complete pages
    std::string problem;   // what was wrong, and where
};

StreamCheck CheckTsplStream(const std::string &stream);
StreamCheck CheckEscPosStream(const std::string &stream);
StreamCheck CheckCpclStream(const std::string &stream);
// Each page ends with the end-printing packet and, when tailCommand is not
// zero, the one packet of that command after it.
StreamCheck CheckPaperangStream(const std::string &stream, int tailCommand);
StreamCheck CheckPeriPageStream(const std::string &stream);

// The check for a model number 20 to 24 with the PPD's default media.
StreamCheck CheckStreamOfModel(int modelNumber, const std::string &stream);
