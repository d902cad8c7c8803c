#include "app/app_system.h"
#include "app/printer_driver.h"
#if defined(DOTWEAVE_PAPPL_HOOKS)
#include "app/pappl_hooks.h"
#endif

#include <pappl/pappl.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char *argv[])
{
#if defined(DOTWEAVE_PAPPL_HOOKS)
    // Without its workarounds PAPPL 1.3 can crash or print a job twice: no
    // server and no command runs then.
    if (std::string why; !PapplHooksBound(why)) {
        std::fprintf(stderr,
                     "dotweave-app: FATAL: the workarounds for PAPPL 1.3 are not in effect: %s. "
                     "Refusing to start.\n",
                     why.c_str());
        return 1;
    }
#endif
    std::vector<pappl_pr_driver_t> drivers = PapplDrivers();
    // The version comes from the CMake project, like the packages'.
    return papplMainloop(argc, argv, DOTWEAVE_VERSION, nullptr, static_cast<int>(drivers.size()), drivers.data(), MatchDriver,
                         DescribeDriver, nullptr, nullptr, CreateSystem, nullptr, nullptr);
}
