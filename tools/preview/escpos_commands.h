#pragma once

#include "preview/byte_cursor.h"
#include "preview/preview_page.h"

#include <cstddef>
#include <cstdint>

// Paper feeds in a row are reported as one line with their total.
struct FeedTally {
    bool open = false;
    size_t noteIndex = 0;
    uint32_t dots = 0;
    uint32_t commands = 0;
};

enum class CommandResult {
    Handled,
    Unknown,  // not a command of this set; nothing consumed
    Failed,   // the cursor's error tells why
};

// The ESC/POS commands dotweave writes for receipt printers and, as a
// subset, for PeriPage printers: ESC @ (with the zero byte after it), ESC a,
// ESC J, ESC p, GS V and GS v 0.
CommandResult DecodeEscPosCommand(ByteCursor &cursor, PreviewPage &page, FeedTally &feeds);

// Adds a feed of the given dots to the report, merging it with the feeds
// just before it; any other command closes the tally.
void NoteFeed(PreviewPage &page, FeedTally &feeds, uint32_t dots, const char *how);
