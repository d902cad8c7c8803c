#include "printers/status_query.h"

namespace {

// ESC/POS DLE EOT n: the printer (1), what took it off line (2), the paper
// sensors (4). Each answer is one byte of the form 0xx1xx10.
constexpr uint8_t kEscPosPrinter[] = {0x10, 0x04, 0x01};
constexpr uint8_t kEscPosOffline[] = {0x10, 0x04, 0x02};
constexpr uint8_t kEscPosPaper[] = {0x10, 0x04, 0x04};
constexpr tagStatusQuery kEscPosQueries[] = {{kEscPosPrinter, 1}, {kEscPosOffline, 1}, {kEscPosPaper, 1}};

// TSPL <ESC>!?: one byte of state bits.
constexpr uint8_t kTsplStatus[] = {0x1B, 0x21, 0x3F};
constexpr tagStatusQuery kTsplQueries[] = {{kTsplStatus, 1}};

// CPCL ESC h: one byte of state bits.
constexpr uint8_t kCpclStatus[] = {0x1B, 0x68};
constexpr tagStatusQuery kCpclQueries[] = {{kCpclStatus, 1}};

// PeriPage: the battery, answered as {0, percent}.
constexpr uint8_t kPeriPageBattery[] = {0x10, 0xFF, 0x50, 0xF1};
constexpr tagStatusQuery kPeriPageQueries[] = {{kPeriPageBattery, 2}};

bool ReadEscPos(size_t index, uint8_t answer, tagPrinterStatus &status)
{
    if ((answer & 0x93) != 0x12)
        return false;
    switch (index) {
    case 0:
        if ((answer & 0x08) != 0)
            status.conditions |= kConditionOffline;
        break;
    case 1:
        if ((answer & 0x04) != 0)
            status.conditions |= kConditionCoverOpen;
        if ((answer & 0x20) != 0)
            status.conditions |= kConditionMediaEmpty;
        if ((answer & 0x40) != 0)
            status.conditions |= kConditionOther;
        break;
    default:
        if ((answer & 0x60) != 0)
            status.conditions |= kConditionMediaEmpty;
        else if ((answer & 0x0C) != 0)
            status.conditions |= kConditionMediaLow;
        break;
    }
    return true;
}

bool ReadTspl(uint8_t answer, tagPrinterStatus &status)
{
    if ((answer & 0x01) != 0)
        status.conditions |= kConditionCoverOpen;  // the print head is lifted
    if ((answer & 0x02) != 0)
        status.conditions |= kConditionMediaJam;
    if ((answer & 0x04) != 0)
        status.conditions |= kConditionMediaEmpty;
    if ((answer & 0x08) != 0)
        status.conditions |= kConditionRibbonEmpty;
    if ((answer & 0x10) != 0)
        status.conditions |= kConditionOffline;  // paused at the printer
    if ((answer & 0x80) != 0)
        status.conditions |= kConditionOther;
    return true;
}

bool ReadCpcl(uint8_t answer, tagPrinterStatus &status)
{
    if ((answer & 0xF0) != 0)
        return false;
    if ((answer & 0x02) != 0)
        status.conditions |= kConditionMediaEmpty;
    if ((answer & 0x04) != 0)
        status.conditions |= kConditionCoverOpen;  // the latch
    if ((answer & 0x08) != 0)
        status.conditions |= kConditionBatteryLow;
    return true;
}

}  // namespace

std::span<const tagStatusQuery> StatusQueries(EPrinterLanguage language)
{
    switch (language) {
    case EPrinterLanguage::ESCPOS: return kEscPosQueries;
    case EPrinterLanguage::TSPL: return kTsplQueries;
    case EPrinterLanguage::CPCL: return kCpclQueries;
    case EPrinterLanguage::PeriPage: return kPeriPageQueries;
    case EPrinterLanguage::Paperang: break;  // what its answers mean is not public
    }
    return {};
}

bool ReadStatusAnswer(EPrinterLanguage language, size_t index, std::span<const uint8_t> answer,
                      tagPrinterStatus &status)
{
    const std::span<const tagStatusQuery> queries = StatusQueries(language);
    if (index >= queries.size() || answer.size() != queries[index].answerSize)
        return false;
    switch (language) {
    case EPrinterLanguage::ESCPOS: return ReadEscPos(index, answer[0], status);
    case EPrinterLanguage::TSPL: return ReadTspl(answer[0], status);
    case EPrinterLanguage::CPCL: return ReadCpcl(answer[0], status);
    case EPrinterLanguage::PeriPage:
        if (answer[0] != 0 || answer[1] > 100)
            return false;
        status.batteryPercent = answer[1];
        return true;
    case EPrinterLanguage::Paperang: break;
    }
    return false;
}

const char *ConditionName(EPrinterCondition condition)
{
    switch (condition) {
    case kConditionMediaEmpty: return "paper out";
    case kConditionMediaLow: return "paper low";
    case kConditionMediaJam: return "paper jam";
    case kConditionCoverOpen: return "cover open";
    case kConditionRibbonEmpty: return "ribbon out";
    case kConditionOffline: return "off line";
    case kConditionOther: return "printer error";
    case kConditionBatteryLow: return "battery low";
    }
    return "";
}
