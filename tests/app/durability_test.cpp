// Nothing is lost: printers and defaults survive a restart, a job waits for
// a printer that is switched off, and a cancelled job leaves the printer at
// a page boundary.
#include "printers/driver_table.h"
#include "app_server.h"
#include "app_test_pages.h"
#include "socket_printer.h"
#include "support/filter_runner.h"
#include "support/printer_streams.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <future>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

// The far end of a serial port.
class PseudoTerminal {
public:
    PseudoTerminal() : master(posix_openpt(O_RDWR | O_NOCTTY))
    {
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
            throw std::runtime_error("no pseudo-terminal");
    }
    ~PseudoTerminal() { close(master); }
    std::string Name() const { return ptsname(master); }

    // Reads until nothing came for `quiet`, or `enough` bytes arrived.
    std::string ReadFor(std::chrono::milliseconds quiet, size_t enough = SIZE_MAX)
    {
        std::string received;
        auto last = std::chrono::steady_clock::now();
        while (received.size() < enough && std::chrono::steady_clock::now() - last < quiet) {
            pollfd waiting{master, POLLIN, 0};
            char buffer[65536];
            if (poll(&waiting, 1, 50) <= 0)
                continue;
            const ssize_t got = read(master, buffer, sizeof(buffer));
            if (got <= 0)
                break;
            received.append(buffer, static_cast<size_t>(got));
            last = std::chrono::steady_clock::now();
        }
        return received;
    }

private:
    int master;
};

TEST(Durability, PrintersAndDefaultsSurviveARestart)
{
    AppServer server;
    const tagDriverInfo *row = FindDriver("tspl_203dpi");
    const std::string folder = server.AddFilePrinter("kept", row->name);
    std::string output;
    ASSERT_EQ(server.Run({"modify", "-d", "kept", "-o", "halftone-method-default=stucki", "-o",
                          "printer-darkness-configured=70"},
                         &output),
              0)
        << output;

    server.Stop();
    server.Start();
    ASSERT_EQ(server.Run({"printers"}, &output), 0);
    EXPECT_NE(output.find("kept"), std::string::npos) << output;

    // The job names no method and asks for 10 more darkness: the saved
    // defaults give Stucki diffusion and level (70 + 10) * 15 / 100 = 12.
    const std::string cupsRaster = server.Dir().File("page.ras");
    const std::string pwg = WriteBothRasters(cupsRaster, server.Dir().File("page.pwg"), {MakeLabelPage(*row)});
    const int job = server.Print("kept", pwg, "image/pwg-raster", "print-darkness=10");
    ASSERT_GT(job, 0);
    ASSERT_EQ(server.WaitForJob("kept", job), IPP_JSTATE_COMPLETED) << server.JobMessage("kept", job);
    const std::vector<std::string> files = WaitForJobFiles(folder, 1);
    ASSERT_EQ(files.size(), 1u);
    const FilterResult filter = RunFilterOn(PpdPath(*row), cupsRaster, "ImageFilter=4 Darkness=12");
    EXPECT_TRUE(ReadFileBytes(files[0]) == filter.out);
}

TEST(Durability, AJobWaitsForAPrinterThatIsOff)
{
    AppServer server;
    const tagDriverInfo *row = FindDriver("escpos_203dpi");
    int port = 0;
    {
        // Only to reserve a port number the printer will later listen on.
        SocketPrinter probe;
        port = probe.Port();
    }
    server.AddPrinter("receipt", row->name, "socket://127.0.0.1:" + std::to_string(port));
    const std::string cupsRaster = server.Dir().File("page.ras");
    const std::string pwg = WriteBothRasters(cupsRaster, server.Dir().File("page.pwg"), {MakeLabelPage(*row)});
    // PAPPL reads a PWG raster job while it prints it: the request is
    // answered once the printer has taken the job.
    std::future<int> job =
        std::async(std::launch::async, [&] { return server.Print("receipt", pwg, "image/pwg-raster"); });
    EXPECT_EQ(job.wait_for(std::chrono::seconds(3)), std::future_status::timeout);

    SocketPrinter printer(port);
    const int id = job.get();
    ASSERT_GT(id, 0);
    ASSERT_EQ(server.WaitForJob("receipt", id, 90), IPP_JSTATE_COMPLETED) << server.JobMessage("receipt", id);
    const FilterResult filter = RunFilterOn(PpdPath(*row), cupsRaster);
    for (int i = 0; i < 100 && printer.Streams().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(printer.Streams().size(), 1u);
    EXPECT_TRUE(printer.Streams()[0] == filter.out);
}

TEST(Durability, ACancelledJobEndsOnAPageBoundary)
{
    AppServer server;
    const tagDriverInfo *row = FindDriver("tspl_203dpi");
    // A serial port nobody reads yet: the first page fills the terminal's
    // buffer and the job waits on the device with most of its bytes unsent.
    PseudoTerminal port;
    server.AddPrinter("slow", row->name, "serial:" + port.Name() + "?baud=115200");
    const RasterPage page = MakeLabelPage(*row, 1218);
    const std::string pwg =
        WriteBothRasters(server.Dir().File("pages.ras"), server.Dir().File("pages.pwg"), {page, page, page, page});
    std::future<int> job = std::async(std::launch::async, [&] {
        return server.Print("slow", pwg, "image/pwg-raster", "halftone-method=floyd-steinberg");
    });
    std::string stream = port.ReadFor(std::chrono::seconds(2), 1);
    ASSERT_FALSE(stream.empty());
    std::string output;
    ASSERT_EQ(server.Run({"cancel", "-d", "slow", "-j", "1"}, &output), 0) << output;
    stream += port.ReadFor(std::chrono::seconds(3));
    ASSERT_EQ(job.get(), 1);
    ASSERT_EQ(server.WaitForJob("slow", 1, 60), IPP_JSTATE_CANCELED);
    stream += port.ReadFor(std::chrono::milliseconds(500));

    const StreamCheck check = CheckStreamOfModel(row->model->modelNumber, stream);
    EXPECT_TRUE(check.whole) << check.problem;
    EXPECT_GE(check.pages, 1);
    EXPECT_LT(check.pages, 4);
}

TEST(Durability, SerialPortsGetRawBytes)
{
    AppServer server;
    const tagDriverInfo *row = FindDriver("peripage_203dpi");
    PseudoTerminal port;
    server.AddPrinter("pocket", row->name, "serial:" + port.Name() + "?baud=115200");

    const std::string cupsRaster = server.Dir().File("page.ras");
    const std::string pwg = WriteBothRasters(cupsRaster, server.Dir().File("page.pwg"), {MakeLabelPage(*row)});
    // The port is read while the job prints: a terminal holds only a few
    // kilobytes, and a PWG raster request is answered once the job is out.
    std::future<int> job = std::async(std::launch::async, [&] {
        return server.Print("pocket", pwg, "image/pwg-raster", "bitmap-compression=true");
    });
    const std::string received = port.ReadFor(std::chrono::seconds(3));
    const int id = job.get();
    ASSERT_GT(id, 0);
    EXPECT_EQ(server.WaitForJob("pocket", id), IPP_JSTATE_COMPLETED) << server.JobMessage("pocket", id);
    const FilterResult filter = RunFilterOn(PpdPath(*row), cupsRaster, "ImageCompress=1");
    EXPECT_EQ(received.size(), filter.out.size());
    EXPECT_TRUE(received == filter.out);
}

}  // namespace
