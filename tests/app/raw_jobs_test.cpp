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

std::string Fetch(const std::string &url)
{
    std::string page;
    if (FILE *pipe = popen(("curl -s '" + url + "'").c_str(), "r"); pipe != nullptr) {
        char buffer[4096];
        for (size_t got; (got = fread(buffer, 1, sizeof(buffer), pipe)) > 0;)
            page.append(buffer, got);
        pclose(pipe);
    }
    return page;
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
        const std::string page =
            Fetch("http://localhost:" + std::to_string(server.Port()) + "/" + c.driver + "/preview");
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
