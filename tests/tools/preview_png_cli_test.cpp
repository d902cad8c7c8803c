#include "preview_streams.h"

#include "preview/png_writer.h"
#include "preview/stream_decoder.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>

namespace {

struct GreyPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> pixels;  // 8-bit grey, 0 = black
};

bool ReadPng(const std::string &path, GreyPicture &picture)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_GRAY;
    picture.width = image.width;
    picture.height = image.height;
    picture.pixels.resize(PNG_IMAGE_SIZE(image));
    const bool ok = png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return ok;
}

PreviewPage PageOf(const Dots &dots)
{
    PreviewPage page;
    page.AppendRows(dots.rowBytes, dots.rows, dots.bits.data(), false);
    return page;
}

::testing::AssertionResult PictureShows(const GreyPicture &picture, const Dots &dots)
{
    if (picture.width != dots.rowBytes * 8 || picture.height != dots.rows)
        return ::testing::AssertionFailure() << "picture is " << picture.width << " x " << picture.height;
    for (uint32_t y = 0; y < dots.rows; ++y)
        for (uint32_t x = 0; x < picture.width; ++x) {
            const bool black = (dots.Row(y)[x / 8] >> (7 - x % 8)) & 1;
            const uint8_t grey = picture.pixels[static_cast<size_t>(y) * picture.width + x];
            if (grey != (black ? 0 : 255))
                return ::testing::AssertionFailure() << "pixel " << x << "," << y << " is " << int(grey);
        }
    return ::testing::AssertionSuccess();
}

TEST(PreviewPng, PictureHasOnePixelPerDotBlackDotsBlack)
{
    ScopedTempDir dir;
    const Dots dots = RandomDots(7, 13, 31);
    std::string problem;
    ASSERT_TRUE(WritePagePng(dir.File("page.png"), PageOf(dots), problem)) << problem;
    GreyPicture picture;
    ASSERT_TRUE(ReadPng(dir.File("page.png"), picture));
    EXPECT_TRUE(PictureShows(picture, dots));
}

TEST(PreviewPng, PagesTallerThanLibpngsDefaultLimitAreWritten)
{
    ScopedTempDir dir;
    const Dots dots{1, 1000001, std::vector<uint8_t>(1000001, 0x81)};
    std::string problem;
    EXPECT_TRUE(WritePagePng(dir.File("tall.png"), PageOf(dots), problem)) << problem;
    EXPECT_GT(ReadFileBytes(dir.File("tall.png")).size(), 100u);
}

TEST(PreviewPng, UnwritablePathIsReported)
{
    std::string problem;
    EXPECT_FALSE(WritePagePng("/nonexistent-dir/page.png", PageOf(RandomDots(1, 1, 1)), problem));
    EXPECT_NE(problem.find("/nonexistent-dir/page.png"), std::string::npos);
}

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

ToolRun RunTool(const ScopedTempDir &dir, const std::string &arguments)
{
    const std::string command = std::string(DOTWEAVE_BINARY_DIR) + "/tools/dotweave-preview " + arguments + " >" +
                                dir.File("stdout") + " 2>" + dir.File("stderr");
    ToolRun run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadFileBytes(dir.File("stdout"));
    run.err = ReadFileBytes(dir.File("stderr"));
    return run;
}

TEST(PreviewCommand, WritesOnePicturePerPageAndAReport)
{
    ScopedTempDir dir;
    const Dots first = RandomDots(3, 4, 41);
    const Dots second = RandomDots(2, 5, 42);
    WriteFileBytes(dir.File("job.prn"), PaperangPage(first) + PaperangPage(second));
    const ToolRun run = RunTool(dir, "-o " + dir.File("pictures") + " " + dir.File("job.prn"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("paperang stream"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Page 2: 16 x 5 dots"), std::string::npos) << run.out;
    GreyPicture picture;
    ASSERT_TRUE(ReadPng(dir.File("pictures/page-1.png"), picture));
    EXPECT_TRUE(PictureShows(picture, first));
    ASSERT_TRUE(ReadPng(dir.File("pictures/page-2.png"), picture));
    EXPECT_TRUE(PictureShows(picture, second));
}

TEST(PreviewCommand, ReadsStandardInputWithAForcedLanguage)
{
    ScopedTempDir dir;
    WriteFileBytes(dir.File("job.prn"), EscPosPage(RandomDots(2, 2, 43)));
    const ToolRun run = RunTool(dir, "--lang escpos -o " + dir.path() + " <" + dir.File("job.prn"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("escpos stream"), std::string::npos);
    GreyPicture picture;
    EXPECT_TRUE(ReadPng(dir.File("page-1.png"), picture));
}

TEST(PreviewCommand, UndecodableStreamsFailWithTheOffset)
{
    ScopedTempDir dir;
    Bytes stream = TsplLabel(RandomDots(2, 2, 44), false);
    WriteFileBytes(dir.File("good-then-cut.prn"), stream + stream.substr(0, stream.size() - 14));
    ToolRun run = RunTool(dir, "-o " + dir.path() + " " + dir.File("good-then-cut.prn"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("offset " + std::to_string(stream.size() + stream.find("BITMAP") + 17) +
                           ": expected 4 bytes of BITMAP data"),
              std::string::npos)
        << run.err;
    // The page before the fault is still shown.
    EXPECT_NE(run.out.find("Page 1: 16 x 2 dots"), std::string::npos) << run.out;

    WriteFileBytes(dir.File("junk.prn"), "\x01\x02\x03");
    run = RunTool(dir, dir.File("junk.prn"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("offset 0: expected the start of a TSPL"), std::string::npos) << run.err;

    run = RunTool(dir, "--lang pcl " + dir.File("junk.prn"));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("usage:"), std::string::npos);
}

}  // namespace
