// Printer output and log lines of the CUPS filter, as the render object
// hands them over.
#include "filter/filter_output.h"
#include "filter/system_log.h"
#include "printers/printer_cpcl.h"
#include "printers/printer_tspl.h"

#include <gtest/gtest.h>

#include <string>
#include <syslog.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Points file descriptor 1 at a pipe while it lives and collects the bytes.
class StdoutCapture {
public:
    StdoutCapture()
    {
        fflush(stdout);
        saved = dup(1);
        int fds[2];
        EXPECT_EQ(pipe(fds), 0);
        readEnd = fds[0];
        dup2(fds[1], 1);
        close(fds[1]);
        reader = std::thread([this] {
            char chunk[65536];
            ssize_t n;
            while ((n = read(readEnd, chunk, sizeof(chunk))) > 0)
                bytes.append(chunk, static_cast<size_t>(n));
        });
    }
    std::string Finish()
    {
        fflush(stdout);
        dup2(saved, 1);
        close(saved);
        reader.join();
        close(readEnd);
        return bytes;
    }

private:
    int saved = -1;
    int readEnd = -1;
    std::thread reader;
    std::string bytes;
};

std::vector<std::pair<int, std::string>> g_lines;

}  // namespace

TEST(WriteSpool, WritesWholeBlocksInCallOrderAndIgnoresEmptyOnes)
{
    CFilterOutput output;
    CPrinterTSPL render;
    render.SetOutput(&output);
    std::string big(3 * 1024 * 1024, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 31 + 7);

    StdoutCapture capture;
    EXPECT_TRUE(render.WriteSpool("abcde", 5));
    EXPECT_TRUE(render.WriteSpool("zz", 0));
    EXPECT_TRUE(render.WriteSpool("zz", -1));
    EXPECT_TRUE(render.WriteSpool(big.data(), static_cast<int>(big.size())));
    EXPECT_TRUE(render.WriteSpool("!", 1));
    EXPECT_EQ(capture.Finish(), "abcde" + big + "!");
}

TEST(WriteSpool, WithoutAnOutputNothingIsSentOrLogged)
{
    g_lines.clear();
    SetSystemLogTap([](int priority, const char *line) { g_lines.emplace_back(priority, line); });
    CPrinterCPCL plain;
    StdoutCapture capture;
    EXPECT_TRUE(plain.WriteSpool("abc", 3));
    plain.AddLog("iDensity = %d", 8);
    EXPECT_EQ(capture.Finish(), "");
    SetSystemLogTap(nullptr);
    EXPECT_TRUE(g_lines.empty());
}

TEST(AddLog, FormatsOneDebugLineForTheSystemLog)
{
    g_lines.clear();
    SetSystemLogTap([](int priority, const char *line) { g_lines.emplace_back(priority, line); });
    CFilterOutput output;
    CPrinterTSPL render;
    render.SetOutput(&output);
    render.AddLog("iDensity = %d", 8);
    SetSystemLogTap(nullptr);
    ASSERT_EQ(g_lines.size(), 1u);
    EXPECT_EQ(g_lines[0].first, LOG_DEBUG);
    EXPECT_EQ(g_lines[0].second, "iDensity = 8");
}
