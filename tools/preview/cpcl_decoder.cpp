#include "preview/decoders.h"
#include "preview/text_lines.h"

#include <string>

namespace {

struct Label {
    bool open = false;
    int32_t height = 0;
    int32_t pageWidth = -1;
};

bool DecodeHeader(ByteCursor &cursor, const std::string &line, size_t start, Label &label, PreviewPage &page)
{
    const std::vector<std::string> words = SplitWords(line, " ");
    int32_t offset = 0, hres = 0, vres = 0, height = 0, quantity = 0;
    if (words.size() != 6 || words[0] != "!" || !ParseInt32(words[1], offset) || !ParseInt32(words[2], hres) ||
        !ParseInt32(words[3], vres) || !ParseInt32(words[4], height) || !ParseInt32(words[5], quantity))
        return cursor.FailAt(start, "a CPCL label header \"! offset resolution resolution height quantity\"");
    page.Note(line + "  (offset " + std::to_string(offset) + ", " + std::to_string(hres) + " x " +
              std::to_string(vres) + " resolution, label " + std::to_string(height) + " dots high, " +
              std::to_string(quantity) + (quantity == 1 ? " copy)" : " copies)"));
    if (quantity != 1)
        page.Odd("the label is printed " + std::to_string(quantity) + " times");
    label.open = true;
    label.height = height;
    return true;
}

bool DecodeGraphic(ByteCursor &cursor, const std::vector<std::string> &words, size_t start, Label &label,
                   PreviewPage &page)
{
    int32_t rowBytes = 0, rows = 0, x = 0, y = 0;
    if (words.size() != 5 || !ParseInt32(words[1], rowBytes) || !ParseInt32(words[2], rows) ||
        !ParseInt32(words[3], x) || !ParseInt32(words[4], y))
        return cursor.FailAt(start, "a CG command \"CG width-bytes height x y\"");
    if (rowBytes <= 0 || rows <= 0)
        return cursor.FailAt(start, "a CG graphic with a positive width and height, found " + std::to_string(rowBytes) +
                                        " bytes by " + std::to_string(rows) + " rows");
    const uint64_t size = static_cast<uint64_t>(rowBytes) * static_cast<uint64_t>(rows);
    const uint8_t *bits = nullptr;
    if (!cursor.ReadBytes(size, bits,
                          std::to_string(size) + " bytes of CG data (" + std::to_string(rowBytes) + " bytes x " +
                              std::to_string(rows) + " rows)"))
        return false;
    page.Note(words[0] + " " + words[1] + " " + words[2] + " " + words[3] + " " + words[4] + "  (graphic " +
              std::to_string(static_cast<int64_t>(rowBytes) * 8) + " x " + std::to_string(rows) + " dots at " +
              std::to_string(x) + "," + std::to_string(y) + ", 1 = black)");
    if (x != 0 || y != 0)
        page.Odd("the graphic is placed at " + std::to_string(x) + "," + std::to_string(y) +
                 "; the picture shows it at the label origin");
    if (rows > label.height)
        page.Odd("the graphic (" + std::to_string(rows) + " rows) is taller than the label (" +
                 std::to_string(label.height) + " dots)");
    if (!page.HasBitmap()) {
        page.AppendRows(static_cast<uint32_t>(rowBytes), static_cast<uint32_t>(rows), bits, false);
    } else {
        page.Odd("more than one graphic on the label; later ones are drawn over the first from its top-left corner");
        page.OverlayRows(static_cast<uint32_t>(rowBytes), static_cast<uint32_t>(rows), bits, false, 0);
    }
    return true;
}

}  // namespace

bool DecodeCpcl(const uint8_t *data, size_t size, std::vector<PreviewPage> &pages, DecodeError &error)
{
    ByteCursor cursor(data, size, error);
    PreviewPage page;
    Label label;
    while (!cursor.AtEnd()) {
        const size_t start = cursor.Offset();
        std::string line;
        bool crlf = false;
        if (!ReadTextLine(cursor, line, crlf, "CPCL command"))
            return false;
        if (!crlf)
            page.Odd("the line at offset " + std::to_string(start) + " ends in LF without CR");
        if (!label.open) {
            if (line.rfind("! ", 0) != 0)
                return cursor.FailAt(start, "a CPCL label header starting with \"! \"");
            if (!DecodeHeader(cursor, line, start, label, page))
                return false;
            continue;
        }
        const std::vector<std::string> words = SplitWords(line, " ");
        const std::string word = words.empty() ? std::string() : words[0];
        if (word == "CG" || word == "COMPRESSED-GRAPHICS") {
            if (!DecodeGraphic(cursor, words, start, label, page))
                return false;
        } else if (word == "PAGE-WIDTH" || word == "PW") {
            int32_t width = 0;
            if (words.size() != 2 || !ParseInt32(words[1], width))
                return cursor.FailAt(start, "\"PAGE-WIDTH width\"");
            label.pageWidth = width;
            page.Note(line);
        } else if (word == "PRINT") {
            page.Note(line);
            if (!page.HasBitmap())
                page.Odd("no graphic on this label");
            else if (label.pageWidth >= 0 && static_cast<uint32_t>(label.pageWidth) > page.WidthDots())
                page.Odd("the page width (" + std::to_string(label.pageWidth) + " dots) is wider than the graphic");
            pages.push_back(std::move(page));
            page = PreviewPage();
            label = Label();
        } else if (word == "FORM") {
            page.Note(line + "  (feed to the next label or mark)");
        } else if (line.rfind("! ", 0) == 0) {
            return cursor.FailAt(start, "PRINT before the next label header");
        } else {
            page.Note(line);
            page.Odd("unknown command \"" + word + "\"");
        }
    }
    if (label.open) {
        page.Odd("the stream ends before PRINT: the printer never prints this label");
        pages.push_back(std::move(page));
    }
    return true;
}
