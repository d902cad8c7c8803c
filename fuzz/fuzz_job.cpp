// A whole job per input. Byte 0 chooses the model number (20 to 24), the next
// bytes (one per option the filter reads) the job's option choices, the rest
// is the raster stream on standard input. Printer output goes to /dev/null.
#include "fuzz_support.h"

#include "filter/cups_instance.h"

#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::QuietProcess();
    for (int model = 20; model <= 24; ++model)
        fuzz::FuzzPpdPath(model);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::InputReader input(data, size);
    const int model = 20 + input.Byte() % 5;
    std::string options = fuzz::JobOptionsFrom(input);

    const int fd = fuzz::MemoryFile(input.Rest(), input.RestSize());
    if (fd < 0)
        return 0;
    if (!fuzz::RasterWithinBudget(fd)) {
        close(fd);
        return -1;
    }
    const int savedStdin = dup(0);
    dup2(fd, 0);
    close(fd);

    setenv("PPD", fuzz::FuzzPpdPath(model).c_str(), 1);
    char name[] = "dotweave", job[] = "1", user[] = "fuzz", title[] = "fuzz", copies[] = "1";
    char *argv[] = {name, job, user, title, copies, options.data(), nullptr};
    {
        CCupsInstance instance;
        instance.Run(6, argv);
    }

    dup2(savedStdin, 0);
    close(savedStdin);
    return 0;
}
