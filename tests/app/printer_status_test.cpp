// Printers are asked how they are through the device they print through:
// what they report shows in printer-state-reasons, a job waits while they
// cannot print and prints whole once they can, and a printer that never
// answers still prints.
#include "app_server.h"
#include "serial_printer.h"
#include "socket_printer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

namespace {

// The printer's attributes as ipptool shows them.
std::string PrinterAttributes(const AppServer &server, const std::string &printer)
{
    const std::string test = server.Dir().File("get-printer.test");
    std::ofstream(test) << "{\n OPERATION Get-Printer-Attributes\n GROUP operation-attributes-tag\n"
                           " ATTR charset attributes-charset utf-8\n ATTR naturalLanguage attributes-natural-language en\n"
                           " ATTR uri printer-uri $uri\n STATUS successful-ok\n DISPLAY printer-state-reasons\n"
                           " DISPLAY printer-supply-description\n DISPLAY printer-supply\n}\n";
    const std::string out = server.Dir().File("get-printer.out");
    const std::string command = "ipptool -t '" + server.PrinterUri(printer) + "' '" + test + "' > '" + out + "' 2>&1";
    std::system(command.c_str());
    return ReadFileBytes(out);
}

// Asks until the attributes hold `text` (the printer is asked at most every
// few seconds); the last answer.
std::string WaitForAttribute(const AppServer &server, const std::string &printer, const std::string &text,
                             bool present = true)
{
    std::string attributes;
    for (int i = 0; i < 80; ++i) {
        attributes = PrinterAttributes(server, printer);
        if ((attributes.find(text) != std::string::npos) == present)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    return attributes;
}

std::string WriteFile(const AppServer &server, const std::string &name, const std::string &bytes)
{
    const std::string path = server.Dir().File(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

struct StopCase {
    const char *driver;
    const char *format;
    const char *stream;  // null: the sample photo
    PrinterState state;
    const char *reason;
};

const StopCase kStopCases[] = {
    {"escpos_203dpi", "application/vnd.epson-escpos", "\x1b@Receipt\n\x1dV\x41\x10", PrinterState::PaperOut,
     "media-empty"},
    {"escpos_203dpi", "image/png", nullptr, PrinterState::PaperOut, "media-empty"},
    {"escpos_203dpi", "application/vnd.epson-escpos", "\x1b@Receipt\n\x1dV\x41\x10", PrinterState::CoverOpen,
     "cover-open"},
    {"tspl_203dpi", "application/vnd.tsc-tspl", "SIZE 50 mm,30 mm\r\nCLS\r\nPRINT 1\r\n", PrinterState::PaperOut,
     "media-empty"},
    {"tspl_203dpi", "application/vnd.tsc-tspl", "SIZE 50 mm,30 mm\r\nCLS\r\nPRINT 1\r\n", PrinterState::CoverOpen,
     "cover-open"},
    {"tspl_203dpi", "application/vnd.tsc-tspl", "SIZE 50 mm,30 mm\r\nCLS\r\nPRINT 1\r\n", PrinterState::Jam,
     "media-jam"},
    {"cpcl_203dpi", "application/vnd.zebra-cpcl", "! 0 200 200 240 1\r\nFORM\r\nPRINT\r\n", PrinterState::PaperOut,
     "media-empty"},
    {"cpcl_203dpi", "application/vnd.zebra-cpcl", "! 0 200 200 240 1\r\nFORM\r\nPRINT\r\n", PrinterState::CoverOpen,
     "cover-open"},
};

TEST(PrinterStatus, AJobWaitsWhileThePrinterCannotPrintAndThenPrintsWhole)
{
    AppServer server;
    int number = 0;
    for (const StopCase &c : kStopCases) {
        const std::string name = "p" + std::to_string(++number);
        SCOPED_TRACE(std::string(c.driver) + " " + c.reason);
        SocketPrinter printer;
        printer.SetState(c.state);
        server.AddPrinter(name, c.driver, printer.Uri());
        const std::string shown = WaitForAttribute(server, name, c.reason);
        EXPECT_NE(shown.find(c.reason), std::string::npos) << shown;

        const std::string photo = std::string(DOTWEAVE_SOURCE_DIR) + "/samples/photo.png";
        const int job =
            server.Print(name, c.stream != nullptr ? WriteFile(server, name + ".raw", c.stream) : photo, c.format);
        ASSERT_GT(job, 0);
        std::this_thread::sleep_for(std::chrono::seconds(3));
        EXPECT_EQ(server.JobState(name, job), IPP_JSTATE_PROCESSING);
        EXPECT_NE(server.JobMessage(name, job).find("Waiting"), std::string::npos) << server.JobMessage(name, job);
        EXPECT_TRUE(printer.Streams().empty());

        printer.SetState(PrinterState::Ready);
        ASSERT_EQ(server.WaitForJob(name, job), IPP_JSTATE_COMPLETED) << server.JobMessage(name, job);
        for (int i = 0; i < 50 && printer.Streams().empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ASSERT_EQ(printer.Streams().size(), 1u);
        if (c.stream != nullptr)
            EXPECT_EQ(printer.Streams()[0], c.stream);
        else
            EXPECT_EQ(printer.Streams()[0].rfind("\x1b@", 0), 0u);
        const std::string cleared = WaitForAttribute(server, name, c.reason, false);
        EXPECT_EQ(cleared.find(c.reason), std::string::npos) << cleared;
        server.Run({"delete", "-d", name});
    }
}

// Paper that runs out while a job is on the wire: the job does not end
// completed, and says why.
TEST(PrinterStatus, AJobAfterWhichThePaperIsOutIsNotCompleted)
{
    AppServer server;
    SocketPrinter printer(0, 2048, 20);
    server.AddPrinter("receipt", "escpos_203dpi", printer.Uri());
    // Known to answer (clients ask for its attributes), so its jobs wait
    // for its answers.
    for (int i = 0; i < 40 && printer.Queries() == 0; ++i) {
        PrinterAttributes(server, "receipt");
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    const int job = server.Print("receipt", std::string(DOTWEAVE_SOURCE_DIR) + "/samples/photo.png", "image/png");
    ASSERT_GT(job, 0);
    // Past the questions before the job: in the middle of its pages.
    for (int i = 0; i < 100 && printer.BytesReceived() < 4096; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    printer.SetState(PrinterState::PaperOut);
    EXPECT_EQ(server.WaitForJob("receipt", job), IPP_JSTATE_ABORTED);
    EXPECT_NE(server.JobMessage("receipt", job).find("paper out after the job"), std::string::npos)
        << server.JobMessage("receipt", job);
}

// Through a serial line as through a socket: a pocket printer on its
// Bluetooth line shows its battery, a receipt printer on a wired one its
// paper running out.
TEST(PrinterStatus, SerialPrintersAnswerThroughTheirLine)
{
    AppServer server;
    SerialPrinter pocket;
    pocket.SetBattery(64);
    server.AddPrinter("pocket", "peripage_203dpi", pocket.Uri());
    std::string shown = WaitForAttribute(server, "pocket", "level=64");
    EXPECT_NE(shown.find("Battery"), std::string::npos) << shown;
    EXPECT_NE(shown.find("level=64"), std::string::npos) << shown;

    SerialPrinter receipt;
    receipt.SetState(PrinterState::PaperOut);
    server.AddPrinter("receipt", "escpos_203dpi", receipt.Uri());
    shown = WaitForAttribute(server, "receipt", "media-empty");
    EXPECT_NE(shown.find("media-empty"), std::string::npos) << shown;
    receipt.SetState(PrinterState::Ready);
    shown = WaitForAttribute(server, "receipt", "media-empty", false);
    EXPECT_EQ(shown.find("media-empty"), std::string::npos) << shown;
}

// A network printer that is switched off shows as off line, and no longer
// once it is back.
TEST(PrinterStatus, ANetworkPrinterSwitchedOffShowsOffLine)
{
    AppServer server;
    int port = 0;
    std::string uri;
    {
        SocketPrinter gone;
        port = gone.Port();
        uri = gone.Uri();
    }
    server.AddPrinter("off", "escpos_203dpi", uri);
    std::string shown = WaitForAttribute(server, "off", "offline");
    EXPECT_NE(shown.find("offline"), std::string::npos) << shown;
    SocketPrinter back(port);
    shown = WaitForAttribute(server, "off", "offline", false);
    EXPECT_EQ(shown.find("offline"), std::string::npos) << shown;
}

// A printer that never answers, or answers too late, costs its jobs no
// wait, is no longer asked after a few waits for clients, and prints every
// job.
TEST(PrinterStatus, APrinterThatDoesNotAnswerPrintsAndIsNoLongerAsked)
{
    for (const PrinterState state : {PrinterState::Silent, PrinterState::Slow}) {
        SCOPED_TRACE(state == PrinterState::Silent ? "silent" : "slow");
        AppServer server;
        SocketPrinter printer;
        printer.SetState(state);
        server.AddPrinter("quiet", "escpos_203dpi", printer.Uri());
        const std::string stream = "\x1b@Receipt\n";
        const std::string file = WriteFile(server, "receipt.raw", stream);
        int jobs = 0;
        for (int i = 0; i < 12 && server.Log().find("does not report its status") == std::string::npos; ++i) {
            const int job = server.Print("quiet", file, "application/vnd.epson-escpos");
            ASSERT_GT(job, 0);
            ++jobs;
            ASSERT_EQ(server.WaitForJob("quiet", job), IPP_JSTATE_COMPLETED) << server.JobMessage("quiet", job);
            PrinterAttributes(server, "quiet");
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        }
        EXPECT_NE(server.Log().find("does not report its status"), std::string::npos) << server.Log();
        // A slow printer takes its time over the last questions too.
        int asked = -1;
        for (int i = 0; i < 10 && asked != printer.Queries(); ++i) {
            asked = printer.Queries();
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        }
        const int job = server.Print("quiet", file, "application/vnd.epson-escpos");
        ASSERT_EQ(server.WaitForJob("quiet", job), IPP_JSTATE_COMPLETED);
        PrinterAttributes(server, "quiet");
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        EXPECT_EQ(printer.Queries(), asked);
        // PAPPL may keep the connection from one job to the next.
        server.Stop();
        int printed = 0;
        for (int i = 0; i < 50 && printed < jobs + 1; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            printed = 0;
            for (const std::string &received : printer.Streams())
                for (size_t at = received.find(stream); at != std::string::npos; at = received.find(stream, at + 1))
                    ++printed;
        }
        EXPECT_EQ(printed, jobs + 1);
    }
}

}  // namespace
