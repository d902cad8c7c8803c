#include "preview/escpos_commands.h"

#include <string>

namespace {

const char *RasterModeName(uint8_t mode)
{
    switch (mode) {
    case 0: case '0': return "normal";
    case 1: case '1': return "double width";
    case 2: case '2': return "double height";
    case 3: case '3': return "double width and height";
    default: return nullptr;
    }
}

bool DecodeRaster(ByteCursor &cursor, PreviewPage &page)
{
    const size_t start = cursor.Offset();
    uint8_t mode = 0;
    uint16_t rowBytes = 0, rows = 0;
    if (!cursor.Skip(3, "GS v 0") || !cursor.ReadU8(mode, "the GS v 0 mode byte") ||
        !cursor.ReadLe16(rowBytes, "the GS v 0 width in bytes") || !cursor.ReadLe16(rows, "the GS v 0 height in rows"))
        return false;
    const char *modeName = RasterModeName(mode);
    if (modeName == nullptr)
        return cursor.FailAt(start + 3, "a GS v 0 mode of 0 to 3, found " + HexByte(mode));
    const size_t size = static_cast<size_t>(rowBytes) * rows;
    const uint8_t *bits = nullptr;
    if (!cursor.ReadBytes(size, bits,
                          "GS v 0 image data of " + std::to_string(rowBytes) + " bytes x " + std::to_string(rows) + " rows"))
        return false;
    page.Note("raster image (GS v 0): " + std::to_string(rowBytes * 8) + " x " + std::to_string(rows) + " dots (" +
              std::to_string(rowBytes) + " bytes per row), " + modeName);
    if (size == 0)
        page.Odd("a raster image without dots at offset " + std::to_string(start));
    if (mode != 0 && mode != '0')
        page.Odd("the printer enlarges this image (" + std::string(modeName) + "); the picture shows one pixel per dot");
    page.AppendRows(rowBytes, rows, bits, false);
    return true;
}

}  // namespace

void NoteFeed(PreviewPage &page, FeedTally &feeds, uint32_t dots, const char *how)
{
    if (!feeds.open) {
        feeds = FeedTally();
        feeds.open = true;
        feeds.noteIndex = page.Commands().size();
        page.Note("");
    }
    feeds.dots += dots;
    feeds.commands += 1;
    std::string text = "feed " + std::to_string(feeds.dots) + " dots (" + how;
    if (feeds.commands > 1)
        text += " x" + std::to_string(feeds.commands);
    text += ")";
    // The tally line was reserved when the run of feeds began.
    page.ReplaceNote(feeds.noteIndex, std::move(text));
}

CommandResult DecodeEscPosCommand(ByteCursor &cursor, PreviewPage &page, FeedTally &feeds)
{
    uint8_t first = 0, second = 0;
    if (!cursor.Peek(0, first) || !cursor.Peek(1, second))
        return CommandResult::Unknown;
    const size_t start = cursor.Offset();
    if (first == 0x1B && second == 0x4A) {
        uint8_t dots = 0;
        if (!cursor.Skip(2, "ESC J") || !cursor.ReadU8(dots, "the ESC J feed length"))
            return CommandResult::Failed;
        NoteFeed(page, feeds, dots, "ESC J");
        return CommandResult::Handled;
    }
    feeds.open = false;
    if (first == 0x1B && second == 0x40) {
        cursor.Skip(2, "ESC @");
        uint8_t next = 0xFF;
        if (cursor.Peek(0, next) && next == 0)
            cursor.Skip(1, "the zero byte after ESC @");
        page.Note("initialise (ESC @)");
        return CommandResult::Handled;
    }
    if (first == 0x1B && second == 0x61) {
        uint8_t how = 0;
        if (!cursor.Skip(2, "ESC a") || !cursor.ReadU8(how, "the ESC a alignment"))
            return CommandResult::Failed;
        const char *names[] = {"left", "centre", "right"};
        const uint8_t index = how >= '0' ? static_cast<uint8_t>(how - '0') : how;
        if (index > 2) {
            cursor.FailAt(start + 2, "an ESC a alignment of 0 to 2, found " + HexByte(how));
            return CommandResult::Failed;
        }
        page.Note(std::string("align ") + names[index] + " (ESC a)");
        return CommandResult::Handled;
    }
    if (first == 0x1B && second == 0x70) {
        uint8_t pin = 0, on = 0, off = 0;
        if (!cursor.Skip(2, "ESC p") || !cursor.ReadU8(pin, "the ESC p drawer pin") ||
            !cursor.ReadU8(on, "the ESC p on time") || !cursor.ReadU8(off, "the ESC p off time"))
            return CommandResult::Failed;
        page.Note("cash-drawer pulse (ESC p): pin " + std::to_string(pin & 1 ? 5 : 2) + ", on " +
                  std::to_string(on * 2) + " ms, off " + std::to_string(off * 2) + " ms");
        return CommandResult::Handled;
    }
    if (first == 0x1D && second == 0x56) {
        uint8_t how = 0;
        if (!cursor.Skip(2, "GS V") || !cursor.ReadU8(how, "the GS V cut mode"))
            return CommandResult::Failed;
        if (how == 0 || how == '0' || how == 1 || how == '1') {
            page.Note(std::string(how == 0 || how == '0' ? "full" : "partial") + " cut (GS V)");
            return CommandResult::Handled;
        }
        if (how == 65 || how == 66) {
            uint8_t dots = 0;
            if (!cursor.ReadU8(dots, "the GS V feed length"))
                return CommandResult::Failed;
            page.Note("feed " + std::to_string(dots) + " dots and " + (how == 65 ? "full" : "partial") + " cut (GS V)");
            return CommandResult::Handled;
        }
        cursor.FailAt(start + 2, "a GS V cut mode (0, 1, 48, 49, 65 or 66), found " + HexByte(how));
        return CommandResult::Failed;
    }
    if (first == 0x1D && second == 0x76) {
        uint8_t third = 0;
        if (!cursor.Peek(2, third) || third != 0x30) {
            cursor.FailAt(start + 2, "GS v 0 (1D 76 30)");
            return CommandResult::Failed;
        }
        return DecodeRaster(cursor, page) ? CommandResult::Handled : CommandResult::Failed;
    }
    return CommandResult::Unknown;
}
