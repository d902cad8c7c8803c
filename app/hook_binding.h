#pragma once

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

// For the executable's replacements of library functions: ends the process
// at start-up, before it serves anyone, when calls to `name` would not reach
// the replacement `ours` (it was not exported) or the library's own is
// missing.
inline void RequireHook(const char *name, void *ours)
{
    if (dlsym(RTLD_NEXT, name) != nullptr && dlsym(RTLD_DEFAULT, name) == ours)
        return;
    std::fprintf(stderr, "dotweave-app: %s is not bound to the application's own guard.\n", name);
    std::_Exit(70);
}
