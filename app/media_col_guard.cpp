// Media collections. PAPPL 1.3.1 reads a job's media-col (and a printer's
// media-col-default and -ready) with _papplMediaColImport, which copies
// media-source and media-type and looks up media-tracking as strings without
// looking at their kind, after checking only the size: a Print-Job whose
// media-type is an integer crashes the server. PAPPL calls the function
// through its symbol table, so this executable's definition runs first and
// hands on a copy of the collection without members of the wrong kind (the
// job then gets the printer's default for them, as for a member it leaves
// out).
#include "app/hook_binding.h"

#include <pappl/pappl.h>

#include <dlfcn.h>

#include <cstring>
#include <initializer_list>

namespace {

using Import = void (*)(ipp_t *, pappl_media_col_t *);

// Members PAPPL reads as strings, and the one it reads as a collection.
int WellFormed(void *, ipp_t *, ipp_attribute_t *attribute)
{
    const char *name = ippGetName(attribute);
    if (name == nullptr)
        return 0;
    for (const char *text : {"media-size-name", "media-source", "media-type", "media-tracking"})
        if (std::strcmp(name, text) == 0)
            return ippGetString(attribute, 0, nullptr) != nullptr;
    if (std::strcmp(name, "media-size") == 0)
        return ippGetValueTag(attribute) == IPP_TAG_BEGIN_COLLECTION;
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

namespace {

__attribute__((constructor)) void CheckMediaColHook()
{
    RequireHook("_papplMediaColImport", reinterpret_cast<void *>(&_papplMediaColImport));
}

}  // namespace
