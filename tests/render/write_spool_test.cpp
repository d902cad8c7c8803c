// Printer output and log lines of the CUPS binding.
#include "filter/system_log.h"
#include "render/cups_render.h"

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
    CCupsRender<CPrinterTSPL> *render = new CCupsRender<CPrinterTSPL>();
    std::string big(3 * 1024 * 1024, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 31 + 7);

    StdoutCapture capture;
    render->WriteSpool("abcde", 5);
    render->WriteSpool("zz", 0);
    render->WriteSpool("zz", -1);
    render->WriteSpool(big.data(), static_cast<int>(big.size()));
    render->WriteSpool("!", 1);
    EXPECT_EQ(capture.Finish(), "abcde" + big + "!");
    render->Release();
}

TEST(WriteSpool, BaseClassDropsOutputAndLog)
{
    CPrinterCPCL *plain = new CPrinterCPCL();
    StdoutCapture capture;
    plain->WriteSpool("abc", 3);
    plain->AddLog("iDensity = %d", 8);
    EXPECT_EQ(capture.Finish(), "");
    plain->Release();
}

TEST(AddLog, FormatsOneDebugLine)
{
    g_lines.clear();
    SetSystemLogTap([](int priority, const char *line) { g_lines.emplace_back(priority, line); });
    CCupsRender<CPrinterTSPL> *render = new CCupsRender<CPrinterTSPL>();
    render->AddLog("iDensity = %d", 8);
    SetSystemLogTap(nullptr);
    ASSERT_EQ(g_lines.size(), 1u);
    EXPECT_EQ(g_lines[0].first, LOG_DEBUG);
    EXPECT_EQ(g_lines[0].second, "iDensity = 8");
    render->Release();
}
