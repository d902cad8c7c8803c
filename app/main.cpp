#include "app/app_system.h"
#include "app/printer_driver.h"

#include <pappl/pappl.h>

#include <vector>

int main(int argc, char *argv[])
{
    std::vector<pappl_pr_driver_t> drivers = PapplDrivers();
    // The version comes from the CMake project, like the packages'.
    return papplMainloop(argc, argv, DOTWEAVE_VERSION, nullptr, static_cast<int>(drivers.size()), drivers.data(), MatchDriver,
                         DescribeDriver, nullptr, nullptr, CreateSystem, nullptr, nullptr);
}
