#include "preview/decoders.h"
#include "preview/escpos_commands.h"
#include "preview/inflate_block.h"

#include <zlib.h>

#include <cstdio>
#include <string>

namespace {

const char *MediaName(uint8_t media)
{
    switch (media) {
    case 0: return "black mark";
    case 1: return "continuous";
    case 2: return "gap labels";
    case 3: return "perforated";
    case 4: return "tattoo";
    case 5: return "tattoo, wrinkled";
    default: return nullptr;
    }
}

bool DecodeCompressed(ByteCursor &cursor, PreviewPage &page)
{
    const size_t start = cursor.Offset();
    uint16_t rowBytes = 0, rows = 0;
    uint32_t packed = 0;
    if (!cursor.Skip(2, "1F 00") || !cursor.ReadBe16(rowBytes, "the compressed bitmap's bytes per line") ||
        !cursor.ReadBe16(rows, "the compressed bitmap's line count") ||
        !cursor.ReadBe32(packed, "the compressed bitmap's data length"))
        return false;
    if (packed < 4)
        return cursor.FailAt(start + 6, "a compressed length that holds the Adler-32 trailer, found " +
                                            std::to_string(packed));
    const size_t dataAt = cursor.Offset();
    const uint8_t *data = nullptr;
    if (!cursor.ReadBytes(packed, data, "the compressed bitmap data"))
        return false;
    const size_t size = static_cast<size_t>(rowBytes) * rows;
    const std::string sizeText = std::to_string(size) + " bytes (" + std::to_string(rowBytes) + " bytes x " +
                                 std::to_string(rows) + " lines)";
    std::vector<uint8_t> bits;
    size_t used = 0;
    std::string problem;
    if (!InflateLimited(data, packed - 4, DeflateWrapper::Raw, size, bits, used, problem))
        return cursor.FailAt(dataAt, "deflate data inflating to " + sizeText + ": " + problem);
    if (bits.size() != size)
        return cursor.FailAt(dataAt, "deflate data inflating to " + sizeText + ", but it yields only " +
                                         std::to_string(bits.size()) + " bytes");
    if (used != packed - 4)
        return cursor.FailAt(dataAt + used, "the Adler-32 trailer right after the deflate data, found " +
                                                std::to_string(packed - 4 - used) + " more bytes");
    const uint8_t *trailer = data + used;
    const uint32_t sent = (static_cast<uint32_t>(trailer[0]) << 24) | (static_cast<uint32_t>(trailer[1]) << 16) |
                          (static_cast<uint32_t>(trailer[2]) << 8) | trailer[3];
    const uint32_t actual = static_cast<uint32_t>(adler32(adler32(0, nullptr, 0), bits.data(), static_cast<uInt>(size)));
    if (sent != actual) {
        char text[96];
        std::snprintf(text, sizeof(text), "the Adler-32 0x%08X of the inflated bitmap, found 0x%08X", actual, sent);
        return cursor.FailAt(dataAt + used, text);
    }
    page.Note("compressed bitmap (1F 00): " + std::to_string(rowBytes * 8) + " x " + std::to_string(rows) + " dots (" +
              std::to_string(rowBytes) + " bytes per line), " + std::to_string(packed) + " bytes deflate + Adler-32");
    if (size == 0)
        page.Odd("a compressed bitmap without dots at offset " + std::to_string(start));
    page.AppendRows(rowBytes, rows, bits.data(), false);
    return true;
}

// The commands of PeriPage's own, all starting with 10 or 1D 0C or 1F 00.
CommandResult DecodeOwnCommand(ByteCursor &cursor, PreviewPage &page, bool &pageOpen, bool &pageEnded)
{
    const size_t start = cursor.Offset();
    if (cursor.StartsWith("\x10\xFF\xFE\x01")) {
        if (pageOpen) {
            cursor.FailAt(start, "the end-of-page command (10 FF FE 45) before the next page begins");
            return CommandResult::Failed;
        }
        cursor.Skip(4, "10 FF FE 01");
        pageOpen = true;
        page.Note("begin page (10 FF FE 01)");
        return CommandResult::Handled;
    }
    if (cursor.StartsWith("\x10\xFF\xFE\x45")) {
        cursor.Skip(4, "10 FF FE 45");
        page.Note("end of page (10 FF FE 45)");
        pageEnded = true;
        return CommandResult::Handled;
    }
    if (cursor.StartsWith("\x10\xFF\x10\x03")) {
        uint8_t media = 0;
        cursor.Skip(4, "10 FF 10 03");
        if (!cursor.ReadU8(media, "the media byte"))
            return CommandResult::Failed;
        const char *name = MediaName(media);
        page.Note("media " + std::to_string(media) + " (10 FF 10 03): " + (name != nullptr ? name : "unknown"));
        if (name == nullptr)
            page.Odd("unknown media byte " + HexByte(media));
        return CommandResult::Handled;
    }
    if (cursor.StartsWith(std::string_view("\x10\xFF\x10\x00", 4))) {
        uint8_t density = 0;
        cursor.Skip(4, "10 FF 10 00");
        if (!cursor.ReadU8(density, "the density byte"))
            return CommandResult::Failed;
        page.Note("density " + std::to_string(density) + " (10 FF 10 00)");
        if (density > 5)
            page.Odd("density " + std::to_string(density) + " is above the printer's 0 to 5");
        return CommandResult::Handled;
    }
    if (cursor.StartsWith("\x10\x50")) {
        cursor.Skip(2, "10 50");
        page.Note("cut line (10 50)");
        return CommandResult::Handled;
    }
    if (cursor.StartsWith("\x1D\x0C")) {
        cursor.Skip(2, "1D 0C");
        page.Note("feed to the next label or mark (1D 0C)");
        return CommandResult::Handled;
    }
    if (cursor.StartsWith(std::string_view("\x1F\x00", 2)))
        return DecodeCompressed(cursor, page) ? CommandResult::Handled : CommandResult::Failed;
    return CommandResult::Unknown;
}

}  // namespace

bool DecodePeriPage(const uint8_t *data, size_t size, std::vector<PreviewPage> &pages, DecodeError &error)
{
    ByteCursor cursor(data, size, error);
    PreviewPage page;
    FeedTally feeds;
    bool pageOpen = false;
    while (!cursor.AtEnd()) {
        if (!pageOpen && !cursor.StartsWith("\x10\xFF\xFE\x01"))
            return cursor.Fail("the begin-page command 10 FF FE 01");
        bool pageEnded = false;
        CommandResult result = DecodeOwnCommand(cursor, page, pageOpen, pageEnded);
        if (result == CommandResult::Handled)
            feeds.open = false;
        else if (result == CommandResult::Unknown)
            result = DecodeEscPosCommand(cursor, page, feeds);
        if (result == CommandResult::Failed)
            return false;
        if (result == CommandResult::Unknown) {
            uint8_t byte = 0;
            cursor.Peek(0, byte);
            return cursor.Fail("a PeriPage command (10 FF ..., 10 50, 1D 0C, 1F 00 or ESC/POS), found byte " +
                               HexByte(byte));
        }
        if (pageEnded) {
            if (!page.HasBitmap())
                page.Odd("no bitmap on this page");
            pages.push_back(std::move(page));
            page = PreviewPage();
            feeds = FeedTally();
            pageOpen = false;
        }
    }
    if (pageOpen) {
        page.Odd("the stream ends before the end-of-page command");
        pages.push_back(std::move(page));
    }
    return true;
}
