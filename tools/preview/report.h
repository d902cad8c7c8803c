#pragma once

#include "preview/preview_page.h"

#include <string>

// The short report of one page: its size in dots, where its picture went,
// the commands and settings seen and anything odd.
std::string PageReport(int number, const PreviewPage &page, const std::string &picture);
