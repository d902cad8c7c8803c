// Telling a printer language from a document's first bytes.
#include "printers/stream_signature.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct StreamCase {
    std::string head;
    const char *language;  // the model's name; null: none
};

const StreamCase kStreams[] = {
    {"SIZE 50 mm,30 mm\r\n", "TSPL"},
    {"\r\n  CLS\r\n", "TSPL"},
    {"SIZES we stock\n", nullptr},
    {"SIZE", nullptr},  // no end to the word: not enough to tell
    {std::string("\x1b@\x1b\x61\x01", 5), "ESC/POS"},
    {std::string("\x1b\x21\x3f", 3), nullptr},
    {"! 0 200 200 240 1\r\n", "CPCL"},
    {"! U1 SETLP 7 0 24\r\n", "CPCL"},
    {"!important", nullptr},
    {"%PDF-1.7", nullptr},
    {"", nullptr},
};

TEST(StreamSignature, TellsTheLanguageFromTheFirstBytesOnly)
{
    for (const StreamCase &c : kStreams) {
        SCOPED_TRACE(c.head);
        const tagPrinterModel *model = LanguageOfStream(
            std::span<const uint8_t>(reinterpret_cast<const uint8_t *>(c.head.data()), c.head.size()));
        EXPECT_EQ(model != nullptr ? std::string(model->name) : "(none)", c.language != nullptr ? c.language : "(none)");
    }
}

}  // namespace
