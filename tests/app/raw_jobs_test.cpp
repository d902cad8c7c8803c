// Documents in a printer's own language reach it unchanged, named by type
// or recognised by their first bytes, and only printers of that language
// take them.
#include "app_server.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
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

}  // namespace
