#pragma once

#include <cups/raster.h>

#include <cstdint>

// The page header PAPPL last read from a client's raster stream, kept for
// the raster callbacks: PAPPL reads a raster job and runs its callbacks in
// the client's thread, but hands over its own header in place of the
// client's when the two differ in depth.
//
// PAPPL reads every line a page header declares, and after a short page it
// keeps reading, one failing call per line that never came. A page that
// declares more than the limits below is cut to no lines at all: PAPPL then
// ends the job at once as bad raster data, instead of running billions of
// such reads while the client's connection waits.
class ClientRasterPage {
public:
    // No page a driver prints comes near these: the longest, a 3 m roll at
    // 300 dpi, has 35433 lines, and the widest, 112 mm at 300 dpi, 1323
    // bytes. Once the client has sent all it sends, PAPPL reads through a
    // million missing lines in about 10 ms, and it sets aside one line of at
    // most 1 MiB.
    static constexpr uint32_t kMaxLines = 1u << 20;
    static constexpr uint32_t kMaxLineBytes = 1u << 20;

    // Notes a header just read (null: none could be read); false when the
    // page is too large to read through, after which the header declares no
    // lines.
    static bool Read(cups_page_header2_t *header);

    // The header last read in this thread as the client sent it, or null.
    static const cups_page_header2_t *Last();
    // Whether the page last read was cut (Last() gives what it declared).
    static bool LastWasCut();
    // Forgets the thread's pages, at the end of a job.
    static void Forget();
};
