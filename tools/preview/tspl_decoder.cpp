#include "preview/decoders.h"
#include "preview/inflate_block.h"
#include "preview/text_lines.h"

#include <set>
#include <string>

namespace {

// Commands a label job may carry besides BITMAP and PRINT; anything else is
// shown but flagged.
const std::set<std::string> kKnownCommands = {
    "SIZE", "GAP", "BLINE", "OFFSET", "REFERENCE", "DENSITY", "SPEED", "SET", "SETC", "CLS", "DIRECTION", "SHIFT",
};

std::string Describe(int32_t rowBytes, int32_t rows)
{
    return std::to_string(static_cast<int64_t>(rowBytes) * 8) + " x " + std::to_string(rows) + " dots (" +
           std::to_string(rowBytes) + " bytes per row)";
}

bool DecodeBitmap(ByteCursor &cursor, PreviewPage &page)
{
    const size_t start = cursor.Offset();
    int32_t x = 0, y = 0, rowBytes = 0, rows = 0, mode = 0;
    if (!cursor.Expect("BITMAP ", "a BITMAP command") || !ReadNumberField(cursor, ',', x, "the BITMAP x position") ||
        !ReadNumberField(cursor, ',', y, "the BITMAP y position") ||
        !ReadNumberField(cursor, ',', rowBytes, "the BITMAP width in bytes") ||
        !ReadNumberField(cursor, ',', rows, "the BITMAP height in rows") ||
        !ReadNumberField(cursor, ',', mode, "the BITMAP mode"))
        return false;
    if (rowBytes <= 0 || rows <= 0)
        return cursor.FailAt(start, "a BITMAP with a positive width and height, found " + std::to_string(rowBytes) +
                                        " bytes by " + std::to_string(rows) + " rows");
    const uint64_t size = static_cast<uint64_t>(rowBytes) * static_cast<uint64_t>(rows);
    const std::string sizeText = std::to_string(size) + " bytes of BITMAP data (" + std::to_string(rowBytes) +
                                 " bytes x " + std::to_string(rows) + " rows)";
    const uint8_t *bits = nullptr;
    std::vector<uint8_t> inflated;
    bool zeroIsBlack = false;
    std::string how;
    if (mode == 1) {
        if (!cursor.ReadBytes(size, bits, sizeText))
            return false;
        zeroIsBlack = true;
        how = "mode 1 (raw, 0 = black)";
    } else if (mode == 3) {
        int32_t packed = 0;
        if (!ReadNumberField(cursor, ',', packed, "the compressed BITMAP length"))
            return false;
        if (packed <= 0)
            return cursor.Fail("a positive compressed BITMAP length, found " + std::to_string(packed));
        const size_t dataStart = cursor.Offset();
        const uint8_t *zdata = nullptr;
        if (!cursor.ReadBytes(static_cast<size_t>(packed), zdata, "the compressed BITMAP data"))
            return false;
        size_t used = 0;
        std::string problem;
        if (!InflateLimited(zdata, static_cast<size_t>(packed), DeflateWrapper::Zlib, size, inflated, used, problem))
            return cursor.FailAt(dataStart, "zlib data inflating to " + sizeText + ": " + problem);
        if (inflated.size() != size)
            return cursor.FailAt(dataStart, "zlib data inflating to " + sizeText + ", but it yields only " +
                                                std::to_string(inflated.size()) + " bytes");
        if (used != static_cast<size_t>(packed))
            page.Odd(std::to_string(packed - used) + " bytes follow the zlib stream inside the BITMAP data");
        bits = inflated.data();
        how = "mode 3 (zlib, " + std::to_string(packed) + " bytes compressed, 1 = black)";
    } else {
        return cursor.FailAt(start, "BITMAP mode 1 (raw) or 3 (zlib), found mode " + std::to_string(mode));
    }
    if (!cursor.Expect("\r\n", "CR LF after the BITMAP data"))
        return false;
    page.Note("BITMAP at " + std::to_string(x) + "," + std::to_string(y) + ": " + Describe(rowBytes, rows) + ", " + how);
    if (x != 0 || y != 0)
        page.Odd("the bitmap is placed at " + std::to_string(x) + "," + std::to_string(y) +
                 "; the picture shows it at the label origin");
    if (!page.HasBitmap()) {
        page.AppendRows(static_cast<uint32_t>(rowBytes), static_cast<uint32_t>(rows), bits, zeroIsBlack);
    } else {
        page.Odd("more than one BITMAP on the label; later ones are drawn over the first from its top-left corner");
        page.OverlayRows(static_cast<uint32_t>(rowBytes), static_cast<uint32_t>(rows), bits, zeroIsBlack, 0);
    }
    return true;
}

}  // namespace

bool DecodeTspl(const uint8_t *data, size_t size, std::vector<PreviewPage> &pages, DecodeError &error)
{
    ByteCursor cursor(data, size, error);
    PreviewPage page;
    bool open = false;
    while (!cursor.AtEnd()) {
        if (cursor.StartsWith("BITMAP ")) {
            if (!DecodeBitmap(cursor, page))
                return false;
            open = true;
            continue;
        }
        uint8_t first = 0;
        cursor.Peek(0, first);
        if (first < 'A' || first > 'Z')
            return cursor.Fail("a TSPL command, found byte " + HexByte(first));
        const size_t start = cursor.Offset();
        std::string line;
        bool crlf = false;
        if (!ReadTextLine(cursor, line, crlf, "TSPL command"))
            return false;
        open = true;
        if (!crlf)
            page.Odd("the line at offset " + std::to_string(start) + " ends in LF without CR");
        const std::string word = line.substr(0, line.find(' '));
        page.Note(line);
        if (word == "PRINT") {
            pages.push_back(std::move(page));
            page = PreviewPage();
            open = false;
        } else if (word == "CLS") {
            if (page.HasBitmap())
                page.Odd("CLS after the bitmap clears the label before it prints");
        } else if (kKnownCommands.count(word) == 0) {
            page.Odd("unknown command \"" + word + "\"");
        }
    }
    if (open) {
        page.Odd("the stream ends before PRINT: the printer never prints this label");
        pages.push_back(std::move(page));
    }
    return true;
}
