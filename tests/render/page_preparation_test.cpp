#include "render/base_render.h"
#include "support/collecting_output.h"

#include <cups/language.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A one-bit page as a plain dot matrix, true = black.
using Dots = std::vector<std::vector<bool>>;

bool IsBlack(const CRasterImage &image, uint32_t x, uint32_t y)
{
    return ((image.GetBits(y)[x / 8] >> (7 - x % 8)) & 1) == 0;
}

Dots ReadDots(const CRasterImage &image)
{
    Dots dots(image.GetHeight(), std::vector<bool>(image.GetWidth()));
    for (uint32_t y = 0; y < image.GetHeight(); ++y)
        for (uint32_t x = 0; x < image.GetWidth(); ++x)
            dots[y][x] = IsBlack(image, x, y);
    return dots;
}

// A white one-bit page whose row tails are black, as a fresh image leaves
// them, so that no scan may look past the width.
void WhitePage(CBaseRender &render, uint32_t width, uint32_t height, int dpi = 203)
{
    ASSERT_NE(render.image.Create(width, height, 1, 0), nullptr);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t *row = render.image.GetBits(y);
        std::memset(row, 0xFF, width / 8);
        if (width % 8 != 0)
            row[width / 8] = static_cast<uint8_t>(0xFF00u >> (width % 8));
    }
    render.iDpi = dpi;
}

void SetBlack(CBaseRender &render, uint32_t x, uint32_t y)
{
    render.image.GetBits(y)[x / 8] &= static_cast<uint8_t>(~(0x80u >> (x % 8)));
}

// The cuts of each edge, found dot by dot.
struct Cuts {
    int64_t top = 0, bottom = 0, left = 0, right = 0;
};

Cuts ReferenceCuts(const Dots &dots, const CBaseRender &render, int top, int bottom, int left, int right)
{
    // A negative limit means no limit: the edge is scanned up to 9999 mm.
    top = top < 0 ? 9999 : top;
    bottom = bottom < 0 ? 9999 : bottom;
    left = left < 0 ? 9999 : left;
    right = right < 0 ? 9999 : right;
    const auto limit = [&](int mm) { return int64_t{render.mm_2_dots(mm)}; };
    const int64_t h = static_cast<int64_t>(dots.size());
    const int64_t w = static_cast<int64_t>(dots[0].size());
    Cuts cuts;
    for (int64_t y = h - 1; bottom > 0 && y >= 0; --y)
        if (std::find(dots[y].begin(), dots[y].end(), true) != dots[y].end()) {
            cuts.bottom = std::min(h - 1 - y, limit(bottom));
            break;
        }
    for (int64_t y = 0; top > 0 && y < h; ++y)
        if (std::find(dots[y].begin(), dots[y].end(), true) != dots[y].end()) {
            cuts.top = std::min(y, limit(top));
            break;
        }
    bool found = false;
    for (int64_t x = 0; left > 0 && x < w && !found; ++x)
        for (int64_t y = 0; y < h && !found; ++y)
            if (dots[y][x]) {
                cuts.left = std::min(x, limit(left));
                found = true;
            }
    found = false;
    for (int64_t x = w - 1; right > 0 && x >= 0 && !found; --x)
        for (int64_t y = 0; y < h && !found; ++y)
            if (dots[y][x]) {
                cuts.right = std::min(w - 1 - x, limit(right) + 1);
                found = true;
            }
    return cuts;
}

Dots Cut(const Dots &dots, const Cuts &cuts)
{
    Dots kept;
    for (size_t y = cuts.top; y < dots.size() - cuts.bottom; ++y)
        kept.emplace_back(dots[y].begin() + cuts.left, dots[y].end() - cuts.right);
    return kept;
}

} // namespace

TEST(MmToDots, RoundsUpAtThePageResolutionAndClampsWhatDoesNotFit)
{
    struct Case {
        int dpi;
        int mm;
        int dots;
    };
    const Case cases[] = {
        {203, 1, 8},       {203, 5, 40},           {203, 10, 80},     {203, 0, 0},
        {203, -1, -6},     {300, 9999, 118099},    {0, 100, 0},       {203, INT_MAX, INT_MAX},
        {INT_MAX, 9999, INT_MAX}, {INT_MAX, INT_MIN, INT_MIN}, {-300, 9999, -118097},
    };
    for (const Case &c : cases) {
        CBaseRender render;
        render.iDpi = c.dpi;
        EXPECT_EQ(render.mm_2_dots(c.mm), c.dots) << c.dpi << " dpi, " << c.mm << " mm";
    }
}

TEST(CropWhiteEdge, AllLimitsZeroLeaveTheImageObjectUntouched)
{
    CBaseRender render;
    WhitePage(render, 100, 50);
    SetBlack(render, 60, 30);
    const uint8_t *before = render.image.GetBits(0);
    render.CropWhiteEdge(0, 0, 0, 0);
    EXPECT_EQ(render.image.GetBits(0), before);
    EXPECT_EQ(render.image.GetWidth(), 100u);
    EXPECT_EQ(render.image.GetHeight(), 50u);
}

TEST(CropWhiteEdge, EachEdgeStopsAtItsLimitOrAtTheFirstBlackDot)
{
    struct Case {
        const char *name;
        int top, bottom, left, right;  // limits in millimetres
        uint32_t blackX, blackY;       // the only black dot of a 300 x 300 page
        uint32_t width, height;        // expected size
        uint32_t keptX, keptY;         // where the black dot ends up
    };
    const Case cases[] = {
        {"top 5 mm, 100 white rows", 5, 0, 0, 0, 150, 100, 300, 260, 150, 60},
        {"top 5 mm, 30 white rows", 5, 0, 0, 0, 150, 30, 300, 270, 150, 0},
        {"top without limit", -1, 0, 0, 0, 150, 100, 300, 200, 150, 0},
        {"bottom 5 mm, 100 white rows", 0, 5, 0, 0, 150, 199, 300, 260, 150, 199},
        {"bottom without limit", 0, -1, 0, 0, 150, 199, 300, 200, 150, 199},
        {"left 5 mm, 100 white columns", 0, 0, 5, 0, 100, 150, 260, 300, 60, 150},
        {"left without limit", 0, 0, -1, 0, 100, 150, 200, 300, 0, 150},
        {"right 5 mm, 100 white columns", 0, 0, 0, 5, 199, 150, 259, 300, 199, 150},
        {"right 5 mm, 20 white columns", 0, 0, 0, 5, 279, 150, 280, 300, 279, 150},
        {"right without limit", 0, 0, 0, -1, 199, 150, 200, 300, 199, 150},
        {"every edge without limit", -1, -1, -1, -1, 10, 290, 1, 1, 0, 0},
        {"huge limits", INT_MAX, INT_MAX, INT_MAX, INT_MAX, 10, 290, 1, 1, 0, 0},
    };
    for (const Case &c : cases) {
        CBaseRender render;
        WhitePage(render, 300, 300);
        SetBlack(render, c.blackX, c.blackY);
        render.CropWhiteEdge(c.top, c.bottom, c.left, c.right);
        ASSERT_TRUE(render.image.IsValid()) << c.name;
        EXPECT_EQ(render.image.GetBpp(), 1) << c.name;
        EXPECT_EQ(render.image.GetWidth(), c.width) << c.name;
        EXPECT_EQ(render.image.GetHeight(), c.height) << c.name;
        Dots expected(c.height, std::vector<bool>(c.width));
        expected[c.keptY][c.keptX] = true;
        EXPECT_EQ(ReadDots(render.image), expected) << c.name;
    }
}

TEST(CropWhiteEdge, BlankPageKeepsItsSize)
{
    CBaseRender render;
    WhitePage(render, 385, 120);
    render.CropWhiteEdge(5, 5, 5, 5);
    ASSERT_TRUE(render.image.IsValid());
    EXPECT_EQ(render.image.GetWidth(), 385u);
    EXPECT_EQ(render.image.GetHeight(), 120u);
}

TEST(CropWhiteEdge, RandomPagesMatchTheDotByDotScan)
{
    std::mt19937 random(2024);
    const int limits[] = {-1, 0, 1, 2, 5};
    for (int round = 0; round < 200; ++round) {
        const uint32_t width = 1 + random() % 140;
        const uint32_t height = 1 + random() % 60;
        CBaseRender render;
        WhitePage(render, width, height, round % 3 == 0 ? 96 : 203);
        // A few black dots, clustered somewhere inside the page.
        const uint32_t count = random() % 4;
        for (uint32_t i = 0; i < count; ++i)
            SetBlack(render, random() % width, random() % height);
        const int top = limits[random() % 5], bottom = limits[random() % 5];
        const int left = limits[random() % 5], right = limits[random() % 5];
        const Dots before = ReadDots(render.image);
        const Cuts cuts = ReferenceCuts(before, render, top, bottom, left, right);
        render.CropWhiteEdge(top, bottom, left, right);
        const Dots expected = Cut(before, cuts);
        ASSERT_EQ(ReadDots(render.image), expected)
            << "round " << round << ": " << width << "x" << height << " limits " << top << " " << bottom << " "
            << left << " " << right;
    }
}

// A bar 3 dots wide on paper with grey rims of level `rim` on both sides,
// through the whole preparation with the given tone settings.
Dots PrepareRimmedBar(int grayMethod, int threshold, int brightness, int contrast, uint8_t rim)
{
    CBaseRender render;
    render.iDpi = 203;
    render.image.Create(24, 8, 8, 0);
    render.image.SetGrayPalette();
    for (uint32_t y = 0; y < 8; ++y) {
        uint8_t *row = render.image.GetBits(y);
        std::memset(row, 255, 24);
        row[9] = row[13] = rim;
        std::memset(row + 10, 0, 3);
    }
    render.halftone.iGrayMethod = grayMethod;
    render.halftone.iThreValue = threshold;
    render.halftone.iLiangdu = brightness;
    render.halftone.iDuibidu = contrast;
    render.AdjustImage();
    return ReadDots(render.image);
}

// Width of the bar of a prepared rimmed bar, where all rows agree.
int BarWidth(const Dots &dots)
{
    for (const auto &row : dots)
        if (row != dots[0])
            return -1;
    return static_cast<int>(std::count(dots[0].begin(), dots[0].end(), true));
}

TEST(AdjustImage, AutomaticHalftoneCutsTheRimsAtTheToneSettings)
{
    // The rims print when they are no lighter than the threshold level,
    // after brightness and contrast have moved them; the bar's own black and
    // the paper stay whatever the settings.
    struct Case {
        int threshold, brightness, contrast;
        uint8_t rim;
        int width;
    };
    const Case cases[] = {
        {128, 0, 0, 150, 3},  {175, 0, 0, 150, 5},  {150, 0, 0, 150, 5},   {149, 0, 0, 150, 3},
        {175, 32, 0, 150, 3}, {128, -32, 0, 150, 5}, {128, 0, 100, 150, 3}, {175, 0, 100, 120, 5},
        {300, 0, 0, 40, 5},   {300, 0, 0, 50, 3},   // only the low 8 bits count: 300 cuts at 44
    };
    for (const Case &c : cases)
        EXPECT_EQ(BarWidth(PrepareRimmedBar(11, c.threshold, c.brightness, c.contrast, c.rim)), c.width)
            << "threshold " << c.threshold << ", brightness " << c.brightness << ", contrast " << c.contrast
            << ", rim " << int{c.rim};
}

TEST(AdjustImage, ChoicesPastTheAutomaticHalftoneStillMeanFloydSteinberg)
{
    for (int choice : {12, 99, 1000})
        EXPECT_EQ(PrepareRimmedBar(choice, 175, 0, 0, 150), PrepareRimmedBar(1, 175, 0, 0, 150)) << choice;
    EXPECT_NE(PrepareRimmedBar(11, 175, 0, 0, 150), PrepareRimmedBar(1, 175, 0, 0, 150));
}

#if !defined(__SANITIZE_ADDRESS__)
// Memory runs out while the page becomes one bit per dot (the address space
// is limited in a child process): the page must not go on as an 8-bit page
// read as one-bit rows, but be dropped with a message for the scheduler.
TEST(AdjustImage, PageThatCannotBecomeOneBitIsDroppedWithAnError)
{
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(pipeFds[1], 2);
        close(pipeFds[0]);
        CBaseRender render;
        CollectingOutput messages;
        render.SetOutput(&messages);
        render.iDpi = 203;
        if (render.image.Create(8192, 4096, 8, 0) == nullptr)
            _exit(2);
        render.image.SetGrayPalette();
        std::memset(render.image.GetBits(0), 0x80, size_t{render.image.GetEffWidth()} * 4096);
        // Load the scheduler message catalogue before memory becomes scarce.
        cupsLangDefault();
        long pages = 0;
        FILE *statm = fopen("/proc/self/statm", "r");
        if (statm == nullptr || fscanf(statm, "%ld", &pages) != 1)
            _exit(3);
        fclose(statm);
        const rlim_t used = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
        const rlimit limit{used + (1u << 20), used + (1u << 20)};
        if (setrlimit(RLIMIT_AS, &limit) != 0)
            _exit(4);
        const bool goesOn = render.AdjustImage();
        // The message text is already held; writing it needs no memory.
        if (write(2, messages.messages.data(), messages.messages.size()) < 0)
            _exit(6);
        _exit(!goesOn || render.image.IsValid() || render.image.GetWidth() != 0 ? 5 : 0);
    }
    close(pipeFds[1]);
    std::string err;
    char chunk[256];
    for (ssize_t n; (n = read(pipeFds[0], chunk, sizeof(chunk))) > 0;)
        err.append(chunk, static_cast<size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << err;
    EXPECT_EQ(WEXITSTATUS(status), 0) << err;
    EXPECT_EQ(err.rfind("ERROR: The page could not be converted to one bit per dot", 0), 0u) << err;
}
#endif
