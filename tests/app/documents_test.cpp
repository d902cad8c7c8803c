// Documents as clients send them: pictures of every PNG kind and of any
// shape print what they show, and a document the application cannot convert
// fails its own job only.
#include "printers/driver_table.h"
#include "app_server.h"
#include "preview/stream_decoder.h"
#include "test_jpeg.h"
#include "test_png.h"

#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <fstream>
#include <optional>
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
    struct Case {
        std::string file;
        const char *format;
        const char *message;
    };
    // Sent as application/octet-stream, the server finds out their type
    // itself.
    const Case cases[] = {
        {std::string(DOTWEAVE_SOURCE_DIR) + "/samples/shipping-label.pdf", "application/octet-stream",
         "application/pdf cannot be printed"},
        {server.Dir().File("page.ps"), "application/octet-stream", "application/postscript cannot be printed"},
        {server.Dir().File("note"), "application/octet-stream", "application/octet-stream cannot be printed"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        const int job = server.Print("label", c.file, c.format);
        ASSERT_GT(job, 0);
        EXPECT_EQ(server.WaitForJob("label", job), IPP_JSTATE_ABORTED);
        EXPECT_NE(server.JobMessage("label", job).find(c.message), std::string::npos) << server.JobMessage("label", job);
        ASSERT_TRUE(server.Running()) << server.Problems();
    }
    const int job = server.Print("label", std::string(DOTWEAVE_SOURCE_DIR) + "/samples/photo.png", "image/png");
    ASSERT_GT(job, 0);
    EXPECT_EQ(server.WaitForJob("label", job), IPP_JSTATE_COMPLETED) << server.JobMessage("label", job);
    EXPECT_EQ(WaitForJobFiles(folder, 1).size(), 1u);
}

// Pictures whose scaled short side is less than a dot once stopped the
// whole server: every driver prints them, in both formats and as either
// type, and the server goes on.
TEST(Documents, PicturesOfExtremeShapesPrintOnEveryDriver)
{
    AppServer server;
    struct Picture {
        const char *file;
        const char *format;
    };
    const Picture pictures[] = {
        {"tall.png", "image/png"},           {"wide.png", "image/png"},
        {"wide-3000.png", "application/octet-stream"}, {"tall.jpg", "image/jpeg"},
        {"wide.jpg", "application/octet-stream"},
    };
    TestPng::Filled(1, 16384, PNG_COLOR_TYPE_GRAY, 8, {0}).Write(server.Dir().File("tall.png"));
    TestPng::Filled(16384, 1, PNG_COLOR_TYPE_GRAY, 8, {0}).Write(server.Dir().File("wide.png"));
    TestPng::Filled(3000, 1, PNG_COLOR_TYPE_GRAY, 8, {0}).Write(server.Dir().File("wide-3000.png"));
    TestJpeg{1, 8000, {0}}.Write(server.Dir().File("tall.jpg"));
    TestJpeg{8000, 1, {0}}.Write(server.Dir().File("wide.jpg"));
    for (const tagDriverInfo *driver : AllDrivers()) {
        const tagDriverInfo &row = *driver;
        SCOPED_TRACE(row.name);
        const std::string folder = server.AddFilePrinter(row.name, row.name);
        size_t printed = 0;
        for (const Picture &picture : pictures) {
            SCOPED_TRACE(picture.file);
            const int job = server.Print(row.name, server.Dir().File(picture.file), picture.format);
            ASSERT_GT(job, 0);
            ASSERT_EQ(server.WaitForJob(row.name, job), IPP_JSTATE_COMPLETED)
                << server.JobMessage(row.name, job) << server.Problems();
            const std::vector<std::string> files = WaitForJobFiles(folder, ++printed);
            ASSERT_EQ(files.size(), printed);
            const std::string stream = ReadFileBytes(files.back());
            const auto *bytes = reinterpret_cast<const uint8_t *>(stream.data());
            const std::optional<StreamLanguage> language = DetectLanguage(bytes, stream.size());
            ASSERT_TRUE(language.has_value());
            const DecodedStream decoded = DecodeStream(*language, bytes, stream.size());
            EXPECT_FALSE(decoded.error.failed) << decoded.error.Message();
            EXPECT_EQ(decoded.pages.size(), 1u);
        }
    }
    const int job = server.Print("tspl_203dpi", std::string(DOTWEAVE_SOURCE_DIR) + "/samples/photo.png", "image/png");
    ASSERT_GT(job, 0);
    EXPECT_EQ(server.WaitForJob("tspl_203dpi", job), IPP_JSTATE_COMPLETED);
}

}  // namespace
