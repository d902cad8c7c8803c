#pragma once

#include "preview/byte_cursor.h"
#include "preview/preview_page.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// One decoder per printer language. Each appends the pages it completes to
// pages and returns false with error filled in when the stream stops making
// sense; the pages decoded before that point stay in pages.
bool DecodeTspl(const uint8_t *data, size_t size, std::vector<PreviewPage> &pages, DecodeError &error);
bool DecodeEscPos(const uint8_t *data, size_t size, std::vector<PreviewPage> &pages, DecodeError &error);
bool DecodeCpcl(const uint8_t *data, size_t size, std::vector<PreviewPage> &pages, DecodeError &error);
bool DecodePaperang(const uint8_t *data, size_t size, std::vector<PreviewPage> &pages, DecodeError &error);
bool DecodePeriPage(const uint8_t *data, size_t size, std::vector<PreviewPage> &pages, DecodeError &error);
