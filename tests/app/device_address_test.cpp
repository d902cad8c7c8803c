// A device address reaches only a printer: serial: opens terminals only,
// jobfile: writes only below the job-file folder the server was given. Each
// address is tried where a printer is made (through the server) and where
// the device opens (through PAPPL's device layer, as a job opens it).
#include "app_server.h"

#include "app/file_device.h"
#include "app/serial_device.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pappl/pappl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// Output of a command, without its last line break.
std::string Output(const std::string &command)
{
    std::string output;
    if (std::FILE *pipe = popen(command.c_str(), "r"); pipe != nullptr) {
        char buffer[256];
        while (std::fgets(buffer, sizeof(buffer), pipe) != nullptr)
            output += buffer;
        pclose(pipe);
    }
    while (!output.empty() && output.back() == '\n')
        output.pop_back();
    return output;
}

struct Address {
    std::string label;
    std::string uri;
    bool made;
    bool opened;
    // Opening it for real would set the line of a port of this machine.
    bool creationOnly = false;
};

class DeviceAddresses : public testing::Test {
protected:
    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root: loop devices and links in /dev";
        for (const char *folder : {"jobs", "jobs/sub", "elsewhere"})
            std::filesystem::create_directories(scratch.File(folder));
        std::filesystem::create_directory_symlink(scratch.File("elsewhere"), scratch.File("jobs/way-out"));
        WriteFileBytes(scratch.File("disk.img"), std::string(1 << 20, '\0'));
        loop = Output("losetup -f --show " + scratch.File("disk.img"));
        ASSERT_EQ(loop.rfind("/dev/loop", 0), 0u) << "losetup gave '" << loop << "'";
        std::filesystem::create_symlink(loop, link);
        terminal = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(terminal, 0);
        ASSERT_EQ(grantpt(terminal), 0);
        ASSERT_EQ(unlockpt(terminal), 0);
        pty = ptsname(terminal);
    }

    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove(link, ignored);
        if (!loop.empty())
            std::system(("losetup -d " + loop).c_str());
        if (terminal >= 0)
            close(terminal);
    }

    std::vector<Address> Addresses() const
    {
        const std::string jobs = scratch.File("jobs");
        std::vector<Address> addresses = {
            {"a block device", "serial:" + loop, false, false},
            {"a link to a block device", "serial:" + link, false, false},
            {"/dev/null", "serial:/dev/null", false, false},
            {"the console", "serial:/dev/console", false, false},
            {"a pseudo-terminal", "serial:" + pty + "?baud=9600", true, true},
            {"a serial line not plugged in", "serial:/dev/ttyUSB-dotweave-test-absent", true, false},
            {"the job-file folder", "jobfile:" + jobs, true, true},
            {"a folder inside it", "jobfile:" + jobs + "/sub", true, true},
            {"a folder outside it", "jobfile:" + scratch.File("elsewhere"), false, false},
            {"a way out through ..", "jobfile:" + jobs + "/../elsewhere", false, false},
            {".. that stays inside", "jobfile:" + jobs + "/sub/..", false, false},
            {"a link inside leading out", "jobfile:" + jobs + "/way-out", false, false},
            {"a folder that is not there", "jobfile:" + jobs + "/missing", false, false},
            {"root's home", "jobfile:/root", false, false},
        };
        if (access("/dev/mem", F_OK) == 0)
            addresses.push_back({"/dev/mem", "serial:/dev/mem", false, false});
        if (access("/dev/ttyS0", F_OK) == 0)
            addresses.push_back({"a serial port", "serial:/dev/ttyS0", true, true, true});
        return addresses;
    }

    ScopedTempDir scratch;
    std::string loop;
    std::string link = "/dev/dotweave-test-" + std::to_string(getpid());
    int terminal = -1;
    std::string pty;
};

TEST_F(DeviceAddresses, OnlyPrintersAreMadeAndOpened)
{
    AppServer server({"jobfile-directory=" + scratch.File("jobs")});
    // The device layer as the server sets it up.
    papplDeviceIsSupported("socket://localhost");
    static const bool added = (AddSerialScheme(), AddJobFileScheme(), true);
    (void)added;
    SetJobFileFolder(scratch.File("jobs"));

    int number = 0;
    for (const Address &address : Addresses()) {
        const std::string printer = "p" + std::to_string(++number);
        std::string output;
        const int status = server.Run({"add", "-d", printer, "-m", "escpos_203dpi", "-v", address.uri}, &output);
        EXPECT_EQ(status == 0, address.made) << address.label << " (" << address.uri << ") at creation: " << output;
        if (address.creationOnly)
            continue;
        std::string why;
        pappl_device_t *device = papplDeviceOpen(
            address.uri.c_str(), "test",
            [](const char *message, void *data) { *static_cast<std::string *>(data) = message; }, &why);
        EXPECT_EQ(device != nullptr, address.opened) << address.label << " (" << address.uri << ") at open: " << why;
        if (device != nullptr)
            papplDeviceClose(device);
    }
    // Nothing reached the disk.
    EXPECT_EQ(ReadFileBytes(scratch.File("disk.img")), std::string(1 << 20, '\0'));
}

// A printer saved while its folder was allowed is kept when the server
// starts again, though a link has led its folder out since; its device no
// longer opens, so its jobs write nothing outside.
TEST_F(DeviceAddresses, ASavedPrinterLedOutIsKeptButWritesNothing)
{
    AppServer server({"jobfile-directory=" + scratch.File("jobs")});
    server.AddPrinter("kept", "tspl_203dpi", "jobfile:" + scratch.File("jobs/sub"));
    server.Stop();
    std::filesystem::remove(scratch.File("jobs/sub"));
    std::filesystem::create_directory_symlink(scratch.File("elsewhere"), scratch.File("jobs/sub"));
    server.Start();
    server.WaitUntilUp("kept");
    std::string why;
    ASSERT_GT(server.Print("kept", DOTWEAVE_SOURCE_DIR "/samples/photo.png", "image/png", "", &why), 0) << why;
    std::string state;
    for (int i = 0; i < 300 && state.find("stopped") == std::string::npos; ++i) {
        usleep(100000);
        server.Run({"status", "-d", "kept"}, &state);
    }
    EXPECT_NE(state.find("stopped"), std::string::npos) << "the printer went on: " << state;
    EXPECT_TRUE(JobFiles(scratch.File("elsewhere")).empty());
    server.Run({"cancel", "-d", "kept", "-a"});
}

}  // namespace
