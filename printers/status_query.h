#pragma once

#include "printers/printer_model.h"

#include <cstddef>
#include <cstdint>
#include <span>

// What a printer says of itself when asked, in its own language's public
// status queries, as conditions both front ends can name.
enum EPrinterCondition : unsigned {
    kConditionMediaEmpty = 1u << 0,
    kConditionMediaLow = 1u << 1,
    kConditionMediaJam = 1u << 2,
    kConditionCoverOpen = 1u << 3,
    kConditionRibbonEmpty = 1u << 4,
    kConditionOffline = 1u << 5,
    kConditionOther = 1u << 6,
    kConditionBatteryLow = 1u << 7,
};

// Conditions in which a printer cannot print a job whole.
constexpr unsigned kConditionsStoppingJobs = kConditionMediaEmpty | kConditionMediaJam | kConditionCoverOpen;

struct tagPrinterStatus {
    unsigned conditions = 0;  // EPrinterCondition bits
    int batteryPercent = -1;  // -1: not reported
};

// One question to the printer and the size of its answer.
struct tagStatusQuery {
    std::span<const uint8_t> command;
    size_t answerSize;
};

// The queries a language's printers answer, asked in this order; empty for
// a language with no public query.
std::span<const tagStatusQuery> StatusQueries(EPrinterLanguage language);

// Adds the answer to query number `index` to the status; false when the
// bytes are no answer that query gives (the printer is then taken as not
// reporting).
bool ReadStatusAnswer(EPrinterLanguage language, size_t index, std::span<const uint8_t> answer,
                      tagPrinterStatus &status);

// A condition as the job and printer messages name it: "paper out".
const char *ConditionName(EPrinterCondition condition);
