#include "filter/raster_page_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Lines of a refused page are skipped in pieces of at most this size.
constexpr uint32_t kSkipPieceBytes = 65536;

// Lines are read many to a call: on an uncompressed stream libcups makes one
// system call per call, and one per line cost more than the page's own work.
constexpr uint32_t kReadPieceBytes = 65536;

// Reads and drops `bytes` bytes of the stream in pieces of a bounded size;
// false when the stream ends first.
bool SkipBytes(cups_raster_t *ras, uint64_t bytes)
{
    std::vector<unsigned char> piece(static_cast<size_t>(std::min<uint64_t>(bytes, kSkipPieceBytes)) + 1);
    while (bytes > 0) {
        const uint32_t take = static_cast<uint32_t>(std::min<uint64_t>(bytes, kSkipPieceBytes));
        if (cupsRasterReadPixels(ras, piece.data(), take) == 0)
            return false;
        bytes -= take;
    }
    return true;
}

uint32_t LinesPerRead(uint32_t lineBytes)
{
    return lineBytes == 0 || lineBytes >= kReadPieceBytes ? 1 : kReadPieceBytes / lineBytes;
}

}  // namespace

void SkipPageLines(cups_raster_t *ras, const cups_page_header2_t &header)
{
    SkipBytes(ras, uint64_t{header.cupsBytesPerLine} * header.cupsHeight);
}

bool ReadLines(cups_raster_t *ras, uint8_t *target, uint32_t lineBytes, uint32_t lines)
{
    const uint32_t perRead = LinesPerRead(lineBytes);
    for (uint32_t done = 0; done < lines;) {
        const uint32_t count = std::min(perRead, lines - done);
        const size_t bytes = static_cast<size_t>(count) * lineBytes;
        // White first: if the stream ends inside the piece, what it delivered
        // stays and the rest prints as paper.
        std::memset(target, 0xFF, bytes);
        if (cupsRasterReadPixels(ras, target, static_cast<unsigned>(bytes)) == 0) {
            std::memset(target + bytes, 0xFF, static_cast<size_t>(lines - done - count) * lineBytes);
            return false;
        }
        target += bytes;
        done += count;
    }
    return true;
}

// The image holds what CreateFromArray would build from the collected lines,
// without a page buffer (a whole raster of memory) and its copies.
void ReadPageLines(cups_raster_t *ras, CPageAssembler &page)
{
    const uint32_t lineBytes = page.LineBytes();
    const uint32_t perRead = LinesPerRead(lineBytes);
    if (page.TakesPackedLines()) {
        // A piece of lines is read packed at the start of its rows, then
        // each line moves to its own row.
        while (page.RowsLeft() > 0) {
            const uint32_t count = std::min(perRead, page.RowsLeft());
            const bool complete = ReadLines(ras, page.PackedTarget(), lineBytes, count);
            page.PlacePacked(count);
            if (!complete)
                break;
        }
    } else if (lineBytes <= kReadPieceBytes) {
        // Lines longer than their rows, or of 32 bits per pixel, go through
        // a buffer of one piece.
        std::vector<uint8_t> piece(static_cast<size_t>(perRead) * lineBytes);
        while (page.RowsLeft() > 0) {
            const uint32_t count = std::min(perRead, page.RowsLeft());
            const bool complete = ReadLines(ras, piece.data(), lineBytes, count);
            for (uint32_t i = 0; i < count; ++i)
                page.AddLine(piece.data() + static_cast<size_t>(i) * lineBytes, lineBytes);
            if (!complete)
                break;
        }
    } else {
        // Long lines: the bytes a row keeps go through a buffer of one row,
        // the padding after them is read in pieces and dropped.
        std::vector<uint8_t> line(page.KeptBytes());
        while (page.RowsLeft() > 0) {
            const bool complete = ReadLines(ras, line.data(), page.KeptBytes(), 1) &&
                                  SkipBytes(ras, lineBytes - page.KeptBytes());
            page.AddLine(line.data(), line.size());
            if (!complete)
                break;
        }
    }
    page.Finish();
}

bool ReadPageIntoImage(cups_raster_t *ras, const cups_page_header2_t &header, CRasterImage &image)
{
    CPageAssembler page;
    if (!page.Begin(header, image))
        return false;
    ReadPageLines(ras, page);
    return true;
}

