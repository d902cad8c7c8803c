#include "app/client_raster_page.h"

namespace {

struct Note {
    bool read = false;
    bool cut = false;
    cups_page_header2_t header{};
};

thread_local Note t_note;

}  // namespace

bool ClientRasterPage::Read(cups_page_header2_t *header)
{
    t_note.read = header != nullptr;
    t_note.cut = false;
    if (header == nullptr)
        return true;
    t_note.header = *header;
    if (header->cupsHeight <= kMaxLines && header->cupsBytesPerLine <= kMaxLineBytes)
        return true;
    t_note.cut = true;
    header->cupsHeight = 0;
    return false;
}

const cups_page_header2_t *ClientRasterPage::Last()
{
    return t_note.read ? &t_note.header : nullptr;
}

bool ClientRasterPage::LastWasCut()
{
    return t_note.read && t_note.cut;
}

void ClientRasterPage::Forget()
{
    t_note = Note{};
}
