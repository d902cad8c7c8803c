#include "filter/out_of_memory.h"

#include <cstdlib>
#include <new>
#include <unistd.h>

void OutOfMemory()
{
    // Nothing here may allocate: write the fixed text straight to the fd.
    static const char kMessage[] = "ERROR: Not enough memory to print this job.\n";
    ssize_t ignored = write(2, kMessage, sizeof(kMessage) - 1);
    (void)ignored;
    std::_Exit(1);
}

void InstallOutOfMemoryHandler()
{
    std::set_new_handler([] { OutOfMemory(); });
}
