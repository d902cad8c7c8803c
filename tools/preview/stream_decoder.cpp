#include "preview/stream_decoder.h"

#include "preview/decoders.h"

#include <cstring>

namespace {

struct LanguageRow {
    StreamLanguage language;
    const char *name;
};

constexpr LanguageRow kLanguages[] = {
    {StreamLanguage::Tspl, "tspl"},         {StreamLanguage::EscPos, "escpos"},     {StreamLanguage::Cpcl, "cpcl"},
    {StreamLanguage::Paperang, "paperang"}, {StreamLanguage::PeriPage, "peripage"},
};

bool Starts(const uint8_t *data, size_t size, const char *prefix, size_t length)
{
    return size >= length && std::memcmp(data, prefix, length) == 0;
}

}  // namespace

const char *LanguageName(StreamLanguage language)
{
    for (const LanguageRow &row : kLanguages)
        if (row.language == language)
            return row.name;
    return "?";
}

std::optional<StreamLanguage> ParseLanguage(std::string_view name)
{
    for (const LanguageRow &row : kLanguages)
        if (name == row.name)
            return row.language;
    return std::nullopt;
}

std::optional<StreamLanguage> DetectLanguage(const uint8_t *data, size_t size)
{
    if (data == nullptr || size == 0)
        return std::nullopt;
    if (Starts(data, size, "\xA5\x01", 2))
        return StreamLanguage::Paperang;
    if (Starts(data, size, "\x10\xFF", 2))
        return StreamLanguage::PeriPage;
    if (Starts(data, size, "! ", 2))
        return StreamLanguage::Cpcl;
    // Receipt pages start with ESC @, a drawer pulse (ESC p) or, for a job
    // that only cuts, GS V.
    if (Starts(data, size, "\x1B\x40", 2) || Starts(data, size, "\x1B\x70", 2) || Starts(data, size, "\x1D\x56", 2) ||
        Starts(data, size, "\x1D\x76\x30", 3))
        return StreamLanguage::EscPos;
    // TSPL is text: an upper-case command word.
    if (data[0] >= 'A' && data[0] <= 'Z')
        return StreamLanguage::Tspl;
    return std::nullopt;
}

DecodedStream DecodeStream(StreamLanguage language, const uint8_t *data, size_t size)
{
    DecodedStream result;
    switch (language) {
    case StreamLanguage::Tspl: DecodeTspl(data, size, result.pages, result.error); break;
    case StreamLanguage::EscPos: DecodeEscPos(data, size, result.pages, result.error); break;
    case StreamLanguage::Cpcl: DecodeCpcl(data, size, result.pages, result.error); break;
    case StreamLanguage::Paperang: DecodePaperang(data, size, result.pages, result.error); break;
    case StreamLanguage::PeriPage: DecodePeriPage(data, size, result.pages, result.error); break;
    }
    return result;
}
