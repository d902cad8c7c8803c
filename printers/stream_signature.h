#pragma once

#include "printers/printer_model.h"

#include <cstddef>
#include <cstdint>
#include <span>

// The printer language a document of unnamed type is written in, told from
// its first bytes; null when they start no stream of TSPL, ESC/POS or CPCL
// (the pocket printers' streams have no telling start).
const tagPrinterModel *LanguageOfStream(std::span<const uint8_t> head);
