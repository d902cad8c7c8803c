// PAPPL 1.3.1 searches a printer's attributes from several threads at once
// while holding only a shared lock: a client's job request checks its media
// against them while the main thread saves the state after the previous job.
// libcups's search keeps its place inside the attribute list itself, so two
// at once can miss an attribute that is there, and the job's media is then
// ignored ("Ignoring unsupported media keyword value."). PAPPL takes these
// threads and locks itself; no public interface decides how it searches.
// PAPPL reaches libcups's search through its symbol table, so this
// executable's definition runs first and lets one search run at a time.
//
// libcups also answers a search for a path ("media-col/media-size/
// x-dimension") with a member on the way that is not a collection, the
// keyword "media-size" say; PAPPL 1.3.1 then reads a keyword as the size and
// crashes on one job request. A path finds only what it names.
#include "app/pappl_hooks.h"

#include <cups/ipp.h>

#include <dlfcn.h>

#include <cstring>

std::recursive_mutex &AttributeSearchLock()
{
    // A search for a member of a collection ("media-col/media-size") runs
    // further searches inside the first one, in the same thread.
    static std::recursive_mutex searching;
    return searching;
}

extern "C" __attribute__((visibility("default"))) ipp_attribute_t *ippFindAttribute(ipp_t *ipp, const char *name,
                                                                                   ipp_tag_t type)
{
    using Find = ipp_attribute_t *(*)(ipp_t *, const char *, ipp_tag_t);
    static const auto cups = reinterpret_cast<Find>(dlsym(RTLD_NEXT, "ippFindAttribute"));
    if (cups == nullptr)
        return nullptr;
    std::lock_guard<std::recursive_mutex> lock(AttributeSearchLock());
    ipp_attribute_t *found = cups(ipp, name, type);
    const char *last = name != nullptr ? std::strrchr(name, '/') : nullptr;
    if (found != nullptr && last != nullptr && std::strcmp(ippGetName(found), last + 1) != 0)
        return nullptr;
    return found;
}
