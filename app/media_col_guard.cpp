// Media collections. PAPPL 1.3.1 reads a job's media-col (and a printer's
// media-col-default and -ready) with _papplMediaColImport, which copies
// media-source and media-type and looks up media-tracking as strings without
// looking at their kind, and takes the size it finds for media-size-name or
// media-size without looking whether there is one: a Print-Job whose
// media-type is an integer, or a Set-Printer-Attributes whose default size is
// "bogus", crashes the server. PAPPL calls the function through its symbol
// table, so this executable's definition runs first and hands on a copy of
// the collection without such members (the printer's default then stands
// for them, as for a member left out).

#include <pappl/pappl.h>

#include <dlfcn.h>

#include <cstring>
#include <initializer_list>

namespace {

using Import = void (*)(ipp_t *, pappl_media_col_t *);

// A media-size PAPPL can turn into a size: a collection whose dimensions,
// when it has both, are a size libcups knows.
bool KnownSize(ipp_attribute_t *attribute)
{
    if (ippGetValueTag(attribute) != IPP_TAG_BEGIN_COLLECTION)
        return false;
    ipp_t *size = ippGetCollection(attribute, 0);
    ipp_attribute_t *x = ippFindAttribute(size, "x-dimension", IPP_TAG_INTEGER);
    ipp_attribute_t *y = ippFindAttribute(size, "y-dimension", IPP_TAG_INTEGER);
    return x == nullptr || y == nullptr || pwgMediaForSize(ippGetInteger(x, 0), ippGetInteger(y, 0)) != nullptr;
}

// Members PAPPL reads as strings, and the sizes it looks up.
int WellFormed(void *, ipp_t *, ipp_attribute_t *attribute)
{
    const char *name = ippGetName(attribute);
    if (name == nullptr)
        return 0;
    const char *text = ippGetString(attribute, 0, nullptr);
    if (std::strcmp(name, "media-size-name") == 0)
        return text != nullptr && pwgMediaForPWG(text) != nullptr;
    for (const char *member : {"media-source", "media-type", "media-tracking"})
        if (std::strcmp(name, member) == 0)
            return text != nullptr;
    if (std::strcmp(name, "media-size") == 0)
        return KnownSize(attribute);
    return 1;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void _papplMediaColImport(ipp_t *collection,
                                                                             pappl_media_col_t *media)
{
    static const auto pappls = reinterpret_cast<Import>(dlsym(RTLD_NEXT, "_papplMediaColImport"));
    if (pappls == nullptr || collection == nullptr)
        return;
    // ippCopyAttributes walks the list without moving its search position,
    // which other threads may be using.
    ipp_t *wellFormed = ippNew();
    ippCopyAttributes(wellFormed, collection, 0, WellFormed, nullptr);
    pappls(wellFormed, media);
    ippDelete(wellFormed);
}
