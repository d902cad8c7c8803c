#pragma once

#include "printers/printer_model.h"

// The paper of the pocket printers (Paperang, PeriPage): 57 mm rolls,
// stickers and the special papers their apps sell.
inline constexpr const char *kPocketMediaSizes[] = {
    "om_57x30mm_57x30mm", "om_57x50mm_57x50mm", "om_57x100mm_57x100mm",
    "om_57x150mm_57x150mm", "om_57x297mm_57x297mm",
};
inline constexpr tagMediaType kPocketMediaTypes[] = {
    {"continuous", "Continuous"},          {"a4-sheets", "A4Stock"},
    {"labels", nullptr},                   {"labels-fan-fold", "BLine_Fold"},
    {"perforated", "Perforated"},          {"roll", "Roll"},
    {"recording", "Recording"},            {"tattoo", "Tattoo"},
    {"tattoo-wrinkled", "TattooWrinkle"},  {"tattoo-guidelines", "TattooGuidelines"},
};
