// Client raster pages. PAPPL 1.3.1 reads a PWG or Apple raster job from the
// client with libcups's cupsRasterReadHeader2, and reads every line a page
// header declares, one failing call per line the client never sent: a page
// declaring four billion lines holds the client's thread for most of a
// minute. PAPPL reaches libcups through its symbol table, so this
// executable's definition runs first: it notes each page header for the
// raster callbacks (ClientRasterPage) and cuts a page no printer has to no
// lines, which PAPPL refuses at once.
#include "app/client_raster_page.h"

#include <cups/raster.h>
#include <dlfcn.h>

namespace {

using ReadHeader = unsigned (*)(cups_raster_t *, cups_page_header2_t *);

ReadHeader Libcups()
{
    static const auto read = reinterpret_cast<ReadHeader>(dlsym(RTLD_NEXT, "cupsRasterReadHeader2"));
    return read;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) unsigned cupsRasterReadHeader2(cups_raster_t *raster,
                                                                                cups_page_header2_t *header)
{
    const ReadHeader read = Libcups();
    const unsigned got = read != nullptr ? read(raster, header) : 0;
    ClientRasterPage::Read(got != 0 ? header : nullptr);
    return got;
}
