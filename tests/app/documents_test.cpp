// Documents as clients send them: pictures of every PNG kind print what they
// show, and a document the application cannot convert fails its own job
// only.
#include "app_server.h"
#include "preview/stream_decoder.h"
#include "test_png.h"

#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

// Share of the page's dots that burn.
double InkShare(const std::string &stream)
{
    const DecodedStream decoded =
        DecodeStream(StreamLanguage::Tspl, reinterpret_cast<const uint8_t *>(stream.data()), stream.size());
    EXPECT_FALSE(decoded.error.failed);
    if (decoded.pages.size() != 1)
        return -1;
    const PreviewPage &page = decoded.pages[0];
    size_t ink = 0;
    for (uint8_t byte : page.Bits())
        ink += static_cast<size_t>(__builtin_popcount(byte));
    return static_cast<double>(ink) / (static_cast<double>(page.Bits().size()) * 8);
}

TEST(Documents, EveryKindOfPngPrintsWhatItShows)
{
    struct Case {
        const char *name;
        TestPng png;
        bool ink;
    };
    TestPng palette = TestPng::Filled(200, 300, PNG_COLOR_TYPE_PALETTE, 2, {3});
    palette.palette = {255, 255, 255, 200, 200, 200, 100, 100, 100, 0, 0, 0};
    const Case cases[] = {
        {"red", TestPng::Filled(200, 300, PNG_COLOR_TYPE_RGB, 8, {255, 0, 0}), true},
        {"blue", TestPng::Filled(200, 300, PNG_COLOR_TYPE_RGB_ALPHA, 8, {0, 0, 255, 255}), true},
        {"black, 1 bit", TestPng::Filled(200, 300, PNG_COLOR_TYPE_GRAY, 1, {0}), true},
        {"white, 1 bit", TestPng::Filled(200, 300, PNG_COLOR_TYPE_GRAY, 1, {1}), false},
        {"palette", palette, true},
        {"transparent", TestPng::Filled(200, 300, PNG_COLOR_TYPE_RGB_ALPHA, 8, {0, 0, 0, 0}), false},
    };
    AppServer server;
    const std::string folder = server.AddFilePrinter("label", "tspl_203dpi");
    size_t printed = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = server.Dir().File("picture.png");
        c.png.Write(path);
        const int job = server.Print("label", path, "image/png", "print-color-mode=bi-level");
        ASSERT_GT(job, 0);
        ASSERT_EQ(server.WaitForJob("label", job), IPP_JSTATE_COMPLETED) << server.JobMessage("label", job);
        const std::vector<std::string> files = WaitForJobFiles(folder, ++printed);
        ASSERT_EQ(files.size(), printed);
        const double share = InkShare(ReadFileBytes(files.back()));
        if (c.ink)
            EXPECT_GT(share, 0.5);
        else
            EXPECT_EQ(share, 0.0);
    }
}

TEST(Documents, OneThatCannotBeConvertedFailsItsJobOnly)
{
    AppServer server;
    const std::string folder = server.AddFilePrinter("label", "tspl_203dpi");
    std::ofstream(server.Dir().File("note")) << "Hello, printer.\n";
    std::ofstream(server.Dir().File("page.ps")) << "%!PS\nshowpage\n";
    // Sent as application/octet-stream: the server finds out their type itself.
    for (const std::string &file :
         {std::string(DOTWEAVE_SOURCE_DIR) + "/samples/shipping-label.pdf", server.Dir().File("page.ps"), server.Dir().File("note")}) {
        SCOPED_TRACE(file);
        const int job = server.Print("label", file, "application/octet-stream");
        ASSERT_GT(job, 0);
        EXPECT_EQ(server.WaitForJob("label", job), IPP_JSTATE_CANCELED);
        EXPECT_NE(server.JobMessage("label", job).find("cannot be printed"), std::string::npos)
            << server.JobMessage("label", job);
        ASSERT_TRUE(server.Running()) << server.Problems();
    }
    const int job = server.Print("label", std::string(DOTWEAVE_SOURCE_DIR) + "/samples/photo.png", "image/png");
    ASSERT_GT(job, 0);
    EXPECT_EQ(server.WaitForJob("label", job), IPP_JSTATE_COMPLETED) << server.JobMessage("label", job);
    EXPECT_EQ(WaitForJobFiles(folder, 1).size(), 1u);
}

}  // namespace
