#pragma once

#include "preview/byte_cursor.h"
#include "preview/preview_page.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

enum class StreamLanguage { Tspl, EscPos, Cpcl, Paperang, PeriPage };

// "tspl", "escpos", "cpcl", "paperang", "peripage".
const char *LanguageName(StreamLanguage language);
std::optional<StreamLanguage> ParseLanguage(std::string_view name);

// Tells the language from the first bytes the filter writes for it; empty
// when they match none.
std::optional<StreamLanguage> DetectLanguage(const uint8_t *data, size_t size);

struct DecodedStream {
    std::vector<PreviewPage> pages;  // complete pages, also those before an error
    DecodeError error;               // error.failed when the stream could not be decoded
};

DecodedStream DecodeStream(StreamLanguage language, const uint8_t *data, size_t size);
