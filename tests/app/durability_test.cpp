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
#include <cstdlib>
#include <cstdint>
#include <stdexcept>
#include <future>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <termios.h>
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
    // The line's speed as the far end set it up.
    speed_t OutputSpeed() const
    {
        termios settings{};
        return tcgetattr(master, &settings) == 0 ? cfgetospeed(&settings) : B0;
    }

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

// PAPPL saves the state as it takes the request after a change; a server
// killed then (a crash, say) keeps what it had saved before.
TEST(Durability, PrintersSurviveAKillWhileTheStateIsSaved)
{
    AppServer server;
    server.AddFilePrinter("kept", "tspl_203dpi");
    for (int i = 0; i < 100 && ReadFileBytes(server.Dir().File("state")).find("name=\"kept\"") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    for (int round = 0; round < 3; ++round) {
        std::string output;
        ASSERT_EQ(server.Run({"modify", "-d", "kept", "-o", "threshold-level-default=" + std::to_string(100 + round)},
                             &output),
                  0)
            << output;
        server.JobState("kept", 1);
        server.Kill();
        server.Start();
        ASSERT_EQ(server.Run({"printers"}, &output), 0);
        EXPECT_NE(output.find("kept"), std::string::npos) << "round " << round;
    }
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

// A job cancelled while its first page is on the wire ends with that page
// whole: no further page, nor copy of a picture, reaches the printer.
TEST(Durability, ACancelledJobEndsOnAPageBoundary)
{
    // The stream is checked command by command: no status questions in it.
    AppServer server({"status-queries=no"});
    const tagDriverInfo *row = FindDriver("tspl_203dpi");
    const RasterPage page = MakeLabelPage(*row, 1218);
    const std::string pwg =
        WriteBothRasters(server.Dir().File("pages.ras"), server.Dir().File("pages.pwg"), {page, page, page, page});
    struct Case {
        const char *name;
        std::string file;
        const char *format;
        const char *attributes;
    };
    const Case cases[] = {
        {"four raster pages", pwg, "image/pwg-raster", "halftone-method=floyd-steinberg"},
        {"four copies of a picture", std::string(DOTWEAVE_SOURCE_DIR) + "/samples/photo.png", "image/png",
         "copies=4 halftone-method=floyd-steinberg"},
    };
    int printers = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        // A serial port nobody reads yet: the first page fills the
        // terminal's buffer and the job (the printer's first) waits on the
        // device with most of its bytes unsent.
        PseudoTerminal port;
        const std::string printer = "slow-" + std::to_string(++printers);
        server.AddPrinter(printer, row->name, "serial:" + port.Name() + "?baud=115200");
        std::future<int> job =
            std::async(std::launch::async, [&] { return server.Print(printer, c.file, c.format, c.attributes); });
        std::string stream = port.ReadFor(std::chrono::seconds(2), 1);
        ASSERT_FALSE(stream.empty());
        std::string output;
        ASSERT_EQ(server.Run({"cancel", "-d", printer, "-j", "1"}, &output), 0) << output;
        stream += port.ReadFor(std::chrono::seconds(3));
        ASSERT_EQ(job.get(), 1);
        ASSERT_EQ(server.WaitForJob(printer, 1, 60), IPP_JSTATE_CANCELED);
        stream += port.ReadFor(std::chrono::milliseconds(500));

        const StreamCheck check = CheckStreamOfModel(row->model->modelNumber, stream);
        EXPECT_TRUE(check.whole) << check.problem;
        EXPECT_GE(check.pages, 1);
        EXPECT_LT(check.pages, 4);
    }
}

StreamCheck CheckTspl(const std::string &stream)
{
    return CheckStreamOfModel(FindDriver("tspl_203dpi")->model->modelNumber, stream);
}

// What the port receives until the job stops (at most a minute).
std::string ReadUntilJobStops(PseudoTerminal &port, const AppServer &server, const std::string &printer, int job)
{
    std::string stream;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (server.JobState(printer, job) < IPP_JSTATE_STOPPED && std::chrono::steady_clock::now() < deadline)
        stream += port.ReadFor(std::chrono::milliseconds(100));
    return stream + port.ReadFor(std::chrono::milliseconds(300));
}

// A job that was printing when the server died is held at the next start:
// it is not printed again unasked (a picture that crashed the server would
// crash it again, for good under Restart=on-failure), nor lost.
TEST(Durability, AJobInterruptedByACrashIsHeldAtRestart)
{
    // The stream is checked command by command: no status questions in it.
    AppServer server({"status-queries=no"});
    PseudoTerminal port;
    server.AddPrinter("slow", "tspl_203dpi", "serial:" + port.Name() + "?baud=115200");
    const std::string picture = std::string(DOTWEAVE_SOURCE_DIR) + "/samples/photo.png";
    // Nobody reads the port beyond its first bytes: the job waits on the
    // device, most of its label unsent.
    const int interrupted = server.Print("slow", picture, "image/png");
    ASSERT_GT(interrupted, 0);
    ASSERT_FALSE(port.ReadFor(std::chrono::seconds(5), 1).empty());
    ASSERT_EQ(server.JobState("slow", interrupted), IPP_JSTATE_PROCESSING);
    // PAPPL keeps a job across a restart once its state file holds it.
    for (int i = 0; i < 100 && ReadFileBytes(server.Dir().File("state")).find("Job ") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    server.Kill();
    port.ReadFor(std::chrono::milliseconds(300));

    server.Start();
    EXPECT_EQ(server.JobState("slow", interrupted), IPP_JSTATE_HELD);
    EXPECT_NE(server.JobMessage("slow", interrupted).find("stopped while this job was printing"), std::string::npos)
        << server.JobMessage("slow", interrupted);
    // The next job prints, alone.
    const int next = server.Print("slow", picture, "image/png");
    ASSERT_GT(next, 0);
    StreamCheck check = CheckTspl(ReadUntilJobStops(port, server, "slow", next));
    EXPECT_EQ(server.JobState("slow", next), IPP_JSTATE_COMPLETED) << server.JobMessage("slow", next);
    EXPECT_TRUE(check.whole) << check.problem;
    EXPECT_EQ(check.pages, 1);
    EXPECT_EQ(server.JobState("slow", interrupted), IPP_JSTATE_HELD);

    // Released, it prints.
    ASSERT_EQ(server.JobOperation(IPP_OP_RELEASE_JOB, "slow", interrupted), IPP_STATUS_OK);
    check = CheckTspl(ReadUntilJobStops(port, server, "slow", interrupted));
    EXPECT_EQ(server.JobState("slow", interrupted), IPP_JSTATE_COMPLETED) << server.JobMessage("slow", interrupted);
    EXPECT_TRUE(check.whole) << check.problem;
    EXPECT_EQ(check.pages, 1);
}

// PAPPL 1.3 starts a Create-Job job that is released before its document
// arrives: it waits for the document and prints it.
TEST(Durability, AJobReleasedBeforeItsDocumentWaitsForIt)
{
    AppServer server;
    const std::string folder = server.AddFilePrinter("label", "tspl_203dpi");
    const std::string uri = server.PrinterUri("label");
    http_t *http = httpConnect2("127.0.0.1", server.Port(), nullptr, AF_INET, HTTP_ENCRYPTION_NEVER, 1, 10000, nullptr);
    ASSERT_NE(http, nullptr);
    auto request = [&](ipp_op_t op, int jobId) {
        ipp_t *message = ippNewRequest(op);
        ippAddString(message, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
        if (jobId > 0)
            ippAddInteger(message, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", jobId);
        ippAddString(message, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, "tester");
        return message;
    };
    ipp_t *create = request(IPP_OP_CREATE_JOB, 0);
    ippAddString(create, IPP_TAG_JOB, IPP_TAG_KEYWORD, "job-hold-until", nullptr, "indefinite");
    ipp_t *created = cupsDoRequest(http, create, "/ipp/print/label");
    const int id = ippGetInteger(ippFindAttribute(created, "job-id", IPP_TAG_INTEGER), 0);
    ippDelete(created);
    ASSERT_GT(id, 0) << cupsLastErrorString();
    ippDelete(cupsDoRequest(http, request(IPP_OP_RELEASE_JOB, id), "/ipp/print/label"));
    ASSERT_EQ(cupsLastError(), IPP_STATUS_OK) << cupsLastErrorString();
    // PAPPL's job check has started the job by now.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    ASSERT_TRUE(server.Running()) << server.Problems();

    ipp_t *send = request(IPP_OP_SEND_DOCUMENT, id);
    ippAddString(send, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr, "image/png");
    ippAddBoolean(send, IPP_TAG_OPERATION, "last-document", 1);
    ippDelete(cupsDoFileRequest(http, send, "/ipp/print/label", DOTWEAVE_SOURCE_DIR "/samples/photo.png"));
    ASSERT_EQ(cupsLastError(), IPP_STATUS_OK) << cupsLastErrorString();
    httpClose(http);
    EXPECT_EQ(server.WaitForJob("label", id), IPP_JSTATE_COMPLETED) << server.JobMessage("label", id) << server.Problems();
    EXPECT_EQ(WaitForJobFiles(folder, 1).size(), 1u);
}

// Every byte in order at the speed the address names, though the line
// takes a few bytes per write and some writes are interrupted.
TEST(Durability, SerialPortsGetRawBytesAtTheirSpeed)
{
    const char *sanitizer = std::getenv("ASAN_OPTIONS");
    // The bytes are compared whole: no status questions among them.
    AppServer server({"status-queries=no"}, {std::string("LD_PRELOAD=") + DOTWEAVE_SHORT_WRITE_SHIM_PATH,
                          std::string("ASAN_OPTIONS=") + (sanitizer != nullptr ? sanitizer : "") +
                              ":verify_asan_link_order=0"});
    const tagDriverInfo *row = FindDriver("peripage_203dpi");
    PseudoTerminal port;
    server.AddPrinter("pocket", row->name, "serial:" + port.Name() + "?baud=9600");

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
    EXPECT_EQ(port.OutputSpeed(), B9600);
    const FilterResult filter = RunFilterOn(PpdPath(*row), cupsRaster, "ImageCompress=1");
    EXPECT_EQ(received.size(), filter.out.size());
    EXPECT_TRUE(received == filter.out);
}

}  // namespace
