// Documents in a printer's own language reach it unchanged, named by type
// or recognised by their first bytes, and only printers of that language
// take them.
#include "app_server.h"
#include "socket_printer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <utility>

namespace {

struct RawCase {
    const char *driver;
    const char *format;
    std::string stream;
};

const RawCase kCases[] = {
    {"tspl_203dpi", "application/vnd.tsc-tspl",
     "SIZE 50 mm,30 mm\r\nGAP 2 mm,0 mm\r\nCLS\r\nBAR 10,10,200,40\r\nPRINT 1\r\n"},
    // Every byte value, NUL included, must arrive as it was.
    {"escpos_203dpi", "application/vnd.epson-escpos",
     std::string("\x1b@\x1b\x61\x01Total\x00\xff\n\x1dV\x41\x10", 17)},
    {"cpcl_203dpi", "application/vnd.zebra-cpcl", "! 0 200 200 240 1\r\nBOX 10 10 200 200 2\r\nFORM\r\nPRINT\r\n"},
};

std::string WriteFile(const AppServer &server, const std::string &name, const std::string &bytes)
{
    const std::string path = server.Dir().File(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// A page of the server's web interface, through libcups.
std::string Fetch(const AppServer &server, const std::string &resource)
{
    http_t *http =
        httpConnect2("127.0.0.1", server.Port(), nullptr, AF_INET, HTTP_ENCRYPTION_NEVER, 1, 10000, nullptr);
    if (http == nullptr)
        return "no connection";
    httpClearFields(http);
    httpSetField(http, HTTP_FIELD_HOST, "localhost");
    httpGet(http, resource.c_str());
    http_status_t status;
    while ((status = httpUpdate(http)) == HTTP_STATUS_CONTINUE) {
    }
    std::string page;
    char buffer[8192];
    for (ssize_t bytes; (bytes = httpRead2(http, buffer, sizeof(buffer))) > 0;)
        page.append(buffer, static_cast<size_t>(bytes));
    httpClose(http);
    return status == HTTP_STATUS_OK ? page : "HTTP status " + std::to_string(status);
}

// A network of this thread's own, with its loopback up, left on
// destruction: PAPPL's AppSocket listeners take the fixed ports 9100 and up,
// which another server on the machine may hold.
class OwnNetwork {
public:
    OwnNetwork()
    {
        if (original < 0 || unshare(CLONE_NEWNET) != 0)
            return;
        entered = true;
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        ifreq request{};
        std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
        if (fd >= 0 && ioctl(fd, SIOCGIFFLAGS, &request) == 0) {
            request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
            up = ioctl(fd, SIOCSIFFLAGS, &request) == 0;
        }
        if (fd >= 0)
            close(fd);
    }
    ~OwnNetwork()
    {
        if (entered)
            setns(original, CLONE_NEWNET);
        if (original >= 0)
            close(original);
    }
    OwnNetwork(const OwnNetwork &) = delete;
    OwnNetwork &operator=(const OwnNetwork &) = delete;
    bool Ready() const { return up; }

private:
    int original = open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    bool entered = false;
    bool up = false;
};

// Sends the stream to a loopback port as an AppSocket client does, once
// the port listens; false if it never did.
bool SendToPort(int port, const std::string &stream)
{
    for (int i = 0; i < 50; ++i) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) == 0) {
            const bool sent = write(fd, stream.data(), stream.size()) == static_cast<ssize_t>(stream.size());
            close(fd);
            return sent;
        }
        close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

TEST(RawJobs, ReachThePrinterByteIdenticalByTypeOrByTheirFirstBytes)
{
    AppServer server;
    for (const RawCase &c : kCases) {
        SCOPED_TRACE(c.driver);
        const std::string folder = server.AddFilePrinter(c.driver, c.driver);
        const std::string file = WriteFile(server, std::string(c.driver) + ".raw", c.stream);
        size_t printed = 0;
        for (const char *format : {c.format, "application/octet-stream"}) {
            SCOPED_TRACE(format);
            std::string status;
            const int job = server.Print(c.driver, file, format, "", &status);
            ASSERT_GT(job, 0) << status;
            ASSERT_EQ(server.WaitForJob(c.driver, job), IPP_JSTATE_COMPLETED) << server.JobMessage(c.driver, job);
            const std::vector<std::string> files = WaitForJobFiles(folder, ++printed);
            ASSERT_EQ(files.size(), printed);
            EXPECT_EQ(ReadFileBytes(files.back()), c.stream);
        }
        // The preview page shows the raw job like any other.
        const std::string page = Fetch(server, "/" + std::string(c.driver) + "/preview");
        EXPECT_NE(page.find(std::to_string(c.stream.size()) + " bytes sent to the printer"), std::string::npos)
            << page.substr(0, 2000);
    }
}

TEST(RawJobs, OnlyPrintersOfTheirLanguageTakeThem)
{
    AppServer server;
    const std::string folder = server.AddFilePrinter("receipt", "escpos_203dpi");
    const std::string tspl = WriteFile(server, "label.tspl", kCases[0].stream);
    // Named or recognised as TSPL, or starting no printer language, it is
    // not passed on to an ESC/POS printer.
    const std::string text = WriteFile(server, "note", "SIZES of labels we stock\n");
    const std::pair<std::string, const char *> documents[] = {
        {tspl, "application/vnd.tsc-tspl"}, {tspl, "application/octet-stream"}, {text, "application/octet-stream"}};
    for (const auto &[file, format] : documents) {
        SCOPED_TRACE(file + " as " + format);
        const int job = server.Print("receipt", file, format);
        ASSERT_GT(job, 0);
        EXPECT_EQ(server.WaitForJob("receipt", job), IPP_JSTATE_ABORTED);
        EXPECT_NE(server.JobMessage("receipt", job).find("cannot be printed"), std::string::npos)
            << server.JobMessage("receipt", job);
    }
    EXPECT_TRUE(JobFiles(folder).empty());
}

// With raw-socket=yes, a stream sent to the first printer's AppSocket port
// (9100) reaches that printer unchanged.
TEST(RawJobs, TheAppSocketPortPassesTheStreamOnUnchanged)
{
    OwnNetwork network;
    if (!network.Ready())
        GTEST_SKIP() << "needs a network of its own (run as root)";
    SocketPrinter printer;
    AppServer server({"raw-socket=yes"});
    server.AddPrinter("label", "tspl_203dpi", printer.Uri());
    ASSERT_TRUE(SendToPort(9100, kCases[0].stream));
    for (int i = 0; i < 100 && printer.Streams().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(printer.Streams().size(), 1u) << server.Log();
    EXPECT_EQ(printer.Streams()[0], kCases[0].stream);
}

}  // namespace
