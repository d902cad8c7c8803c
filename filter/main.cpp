#include "filter/cups_instance.h"

#include <cstdio>
#include <new>

// The scheduler's message function of libcups.
extern "C" int _cupsLangPrintFilter(FILE *fp, const char *prefix, const char *message, ...)
    __attribute__((format(printf, 3, 4)));

int main(int argc, char **argv)
{
    // The engine fails the job itself when memory runs out inside it; this
    // catches the job driver's own allocations.
    try {
        CCupsInstance instance;
        return instance.Run(argc, argv);
    } catch (const std::bad_alloc &) {
        _cupsLangPrintFilter(stderr, "ERROR", "Not enough memory to print this job.");
        return 1;
    }
}
