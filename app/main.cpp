#include "app/app_system.h"
#include "app/printer_driver.h"
#include "app/socket_peer_check.h"

#include <pappl/pappl.h>

#include <cstdio>
#include <vector>

int main(int argc, char *argv[])
{
    // Without its own check of the control socket's clients, any local user
    // could administer the server.
    if (!SocketPeerCheckIsBound()) {
        std::fputs("dotweave-app: PAPPL's authorization does not reach this program's check of the control socket; "
                   "not starting.\n",
                   stderr);
        return 1;
    }
    std::vector<pappl_pr_driver_t> drivers = PapplDrivers();
    // The version comes from the CMake project, like the packages'.
    return papplMainloop(argc, argv, DOTWEAVE_VERSION, nullptr, static_cast<int>(drivers.size()), drivers.data(), MatchDriver,
                         DescribeDriver, nullptr, nullptr, CreateSystem, nullptr, nullptr);
}
