#include "preview/decoders.h"
#include "preview/escpos_commands.h"

bool DecodeEscPos(const uint8_t *data, size_t size, std::vector<PreviewPage> &pages, DecodeError &error)
{
    ByteCursor cursor(data, size, error);
    PreviewPage page;
    FeedTally feeds;
    bool open = false;
    while (!cursor.AtEnd()) {
        uint8_t first = 0, second = 0;
        cursor.Peek(0, first);
        // Every page starts with ESC @; one that follows an image begins the
        // next page. Cuts, feeds and pulses stay with the page before them.
        if (first == 0x1B && cursor.Peek(1, second) && second == 0x40 && page.HasBitmap()) {
            pages.push_back(std::move(page));
            page = PreviewPage();
            feeds = FeedTally();
        }
        if (first == 0x00) {
            page.Odd("a stray zero byte at offset " + std::to_string(cursor.Offset()));
            cursor.Skip(1, "a zero byte");
            continue;
        }
        const CommandResult result = DecodeEscPosCommand(cursor, page, feeds);
        if (result == CommandResult::Failed)
            return false;
        if (result == CommandResult::Unknown)
            return cursor.Fail("an ESC/POS command (ESC @, ESC a, ESC J, ESC p, GS V or GS v 0), found byte " +
                               HexByte(first));
        open = true;
    }
    if (open) {
        if (!page.HasBitmap())
            page.Odd("no raster image on this page");
        pages.push_back(std::move(page));
    }
    return true;
}
