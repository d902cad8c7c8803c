// On this machine alone by default; on the network, administration needs a
// login while printing stays open.
#include "app_server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace {

// Local addresses of the sockets listening on a TCP port, from /proc.
std::set<std::string> ListeningAddresses(int port)
{
    std::set<std::string> addresses;
    for (const char *table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state;
            fields >> slot >> local >> remote >> state;
            const size_t colon = local.rfind(':');
            if (state == "0A" && colon != std::string::npos && std::stoi(local.substr(colon + 1), nullptr, 16) == port)
                addresses.insert(local.substr(0, colon));
        }
    }
    return addresses;
}

bool IsLoopback(const std::string &hex)
{
    // 127.0.0.0/8 as /proc writes it (little-endian), and ::1.
    return (hex.size() == 8 && hex.substr(6) == "7F") || hex == "00000000000000000000000001000000";
}

bool Refused(ipp_status_t status)
{
    // libcups reports a refused login as cancelled when it has no password to try.
    return status == IPP_STATUS_ERROR_NOT_AUTHENTICATED || status == IPP_STATUS_ERROR_NOT_AUTHORIZED ||
           status == IPP_STATUS_ERROR_FORBIDDEN || status == IPP_STATUS_ERROR_CUPS_AUTHENTICATION_CANCELED;
}

// Sets the printer's location over TCP, answering a login prompt with
// `password` (none: no answer).
ipp_status_t SetLocation(const AppServer &server, const std::string &printer, const char *password = nullptr)
{
    http_t *http = httpConnect2("127.0.0.1", server.Port(), nullptr, AF_INET, HTTP_ENCRYPTION_NEVER, 1, 10000, nullptr);
    ipp_t *request = ippNewRequest(IPP_OP_SET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, server.PrinterUri(printer).c_str());
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_TEXT, "printer-location", nullptr, "Dispatch");
    static int tries = 0;
    tries = 0;
    cupsSetPasswordCB2(
        [](const char *, http_t *, const char *, const char *, void *data) -> const char * {
            // One answer only: libcups asks again after a refusal.
            return tries++ == 0 ? static_cast<const char *>(data) : nullptr;
        },
        const_cast<char *>(password));
    ippDelete(cupsDoRequest(http, request, ("/ipp/print/" + printer).c_str()));
    httpClose(http);
    return cupsLastError();
}

TEST(Security, ListensOnThisMachineOnlyByDefault)
{
    AppServer server;
    const std::set<std::string> addresses = ListeningAddresses(server.Port());
    ASSERT_FALSE(addresses.empty());
    for (const std::string &address : addresses)
        EXPECT_TRUE(IsLoopback(address)) << address;
}

TEST(Security, OnTheNetworkAdministrationNeedsALogin)
{
    AppServer server({"listen-hostname=*"});
    std::set<std::string> addresses = ListeningAddresses(server.Port());
    EXPECT_TRUE(addresses.count("00000000") + addresses.count("00000000000000000000000000000000") > 0);

    // The control socket is the machine's own administrator's way in.
    const std::string folder = server.AddFilePrinter("shared", "tspl_203dpi");

    const ipp_status_t status = SetLocation(server, "shared");
    EXPECT_TRUE(Refused(status)) << ippErrorString(status);
    // A wrong password is refused by PAM.
    cupsSetUser("root");
    EXPECT_TRUE(Refused(SetLocation(server, "shared", "not-the-password"))) << ippErrorString(cupsLastError());
    cupsSetUser(nullptr);

    std::string why;
    const int job = server.Print("shared", std::string(DOTWEAVE_SOURCE_DIR) + "/samples/photo.png", "image/png", "",
                                 &why);
    ASSERT_GT(job, 0) << why;
    EXPECT_EQ(server.WaitForJob("shared", job), IPP_JSTATE_COMPLETED);
}

TEST(Security, OnThisMachineAdministrationIsOpen)
{
    AppServer server;
    const std::string folder = server.AddFilePrinter("local", "tspl_203dpi");
    EXPECT_EQ(SetLocation(server, "local"), IPP_STATUS_OK);
}

}  // namespace
