// Reading printers' status answers, and telling a printer language from a
// document's first bytes.
#include "printers/status_query.h"
#include "printers/stream_signature.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct AnswerCase {
    EPrinterLanguage language;
    size_t query;
    std::vector<uint8_t> answer;
    bool valid;
    unsigned conditions;
    int battery;
};

const AnswerCase kAnswers[] = {
    {EPrinterLanguage::ESCPOS, 0, {0x16}, true, 0, -1},  // on line (bit 2 is free)
    {EPrinterLanguage::ESCPOS, 0, {0x1E}, true, kConditionOffline, -1},
    {EPrinterLanguage::ESCPOS, 1, {0x32}, true, kConditionMediaEmpty, -1},
    {EPrinterLanguage::ESCPOS, 1, {0x16}, true, kConditionCoverOpen, -1},
    {EPrinterLanguage::ESCPOS, 2, {0x1E}, true, kConditionMediaLow, -1},
    {EPrinterLanguage::ESCPOS, 2, {0x7E}, true, kConditionMediaEmpty, -1},  // empty wins over low
    {EPrinterLanguage::ESCPOS, 0, {0x00}, false, 0, -1},  // not of the form 0xx1xx10
    {EPrinterLanguage::ESCPOS, 0, {0x93}, false, 0, -1},
    {EPrinterLanguage::ESCPOS, 3, {0x12}, false, 0, -1},  // no such query
    {EPrinterLanguage::TSPL, 0, {0x00}, true, 0, -1},
    {EPrinterLanguage::TSPL, 0, {0x20}, true, 0, -1},  // printing
    {EPrinterLanguage::TSPL, 0, {0x0F}, true,
     kConditionCoverOpen | kConditionMediaJam | kConditionMediaEmpty | kConditionRibbonEmpty, -1},
    {EPrinterLanguage::TSPL, 0, {0x90}, true, kConditionOffline | kConditionOther, -1},
    {EPrinterLanguage::TSPL, 0, {0x00, 0x00}, false, 0, -1},  // one byte only
    {EPrinterLanguage::CPCL, 0, {0x0E}, true, kConditionMediaEmpty | kConditionCoverOpen | kConditionBatteryLow, -1},
    {EPrinterLanguage::CPCL, 0, {0x01}, true, 0, -1},  // busy
    {EPrinterLanguage::CPCL, 0, {0x41}, false, 0, -1},
    {EPrinterLanguage::PeriPage, 0, {0x00, 57}, true, 0, 57},
    {EPrinterLanguage::PeriPage, 0, {0x00, 101}, false, 0, -1},
    {EPrinterLanguage::PeriPage, 0, {0x01, 50}, false, 0, -1},
    {EPrinterLanguage::Paperang, 0, {0x00}, false, 0, -1},
};

TEST(StatusAnswers, AreReadOnlyWhenTheyAreAnswersOfTheirQuery)
{
    for (const AnswerCase &c : kAnswers) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.language) << " query " << c.query << " answer "
                                        << static_cast<int>(c.answer[0]));
        tagPrinterStatus status;
        EXPECT_EQ(ReadStatusAnswer(c.language, c.query, c.answer, status), c.valid);
        if (c.valid) {
            EXPECT_EQ(status.conditions, c.conditions);
            EXPECT_EQ(status.batteryPercent, c.battery);
        }
    }
}

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
