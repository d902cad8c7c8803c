#include "printers/stream_signature.h"

#include "printers/driver_table.h"

#include <algorithm>
#include <string_view>

namespace {

const tagPrinterModel *ModelOf(EPrinterLanguage language)
{
    for (const tagPrinterModel *model : AllModels())
        if (model->language == language)
            return model;
    return nullptr;
}

// A TSPL job opens with a set-up command: the label's size or gap, a
// clear, or a setting. Anything else (plain text too) is no TSPL job.
bool IsTspl(std::string_view text)
{
    static constexpr std::string_view kOpeners[] = {
        "SIZE", "GAP", "BLINE", "CLS", "DIRECTION", "REFERENCE", "OFFSET", "SPEED", "DENSITY", "SET", "CODEPAGE",
    };
    const size_t start = text.find_first_not_of(" \r\n");
    if (start == std::string_view::npos)
        return false;
    text.remove_prefix(start);
    const size_t end = text.find_first_of(" \r\n");
    if (end == std::string_view::npos)
        return false;
    const std::string_view word = text.substr(0, end);
    return std::find(std::begin(kOpeners), std::end(kOpeners), word) != std::end(kOpeners);
}

// A CPCL label opens with "! " and its offset, a line-print job with
// "! U1" or "! UTILITIES".
bool IsCpcl(std::string_view text)
{
    return text.size() >= 3 && text.substr(0, 2) == "! " &&
           ((text[2] >= '0' && text[2] <= '9') || text[2] == 'U');
}

// An ESC/POS job opens by initialising the printer (ESC @).
bool IsEscPos(std::string_view text)
{
    return text.size() >= 2 && text[0] == '\x1b' && text[1] == '@';
}

}  // namespace

const tagPrinterModel *LanguageOfStream(std::span<const uint8_t> head)
{
    const std::string_view text(reinterpret_cast<const char *>(head.data()), head.size());
    if (IsEscPos(text))
        return ModelOf(EPrinterLanguage::ESCPOS);
    if (IsCpcl(text))
        return ModelOf(EPrinterLanguage::CPCL);
    if (IsTspl(text))
        return ModelOf(EPrinterLanguage::TSPL);
    return nullptr;
}
