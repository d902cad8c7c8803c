// Raster headers a hostile client may send: each refused page gets one
// "ERROR:" line, nothing is allocated for it, and the job goes on.
#include "filter/cups_instance.h"
#include "support/filter_runner.h"
#include "support/ppd_writer.h"
#include "support/raster_writer.h"
#include "support/raw_raster.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

cups_page_header2_t Header(unsigned width, unsigned height, unsigned bpp)
{
    cups_page_header2_t header;
    FillRasterHeader(MakeRasterPage(width, height, bpp, 0xFF), header);
    return header;
}

struct RefuseCase {
    const char *name;
    std::function<void(cups_page_header2_t &)> edit;
    const char *reason;  // null: the page is printed
};

TEST(HostileInput, RefusePageChecksEveryHeaderLimitBeforeAllocating)
{
    const RefuseCase cases[] = {
        {"ordinary page", [](cups_page_header2_t &) {}, nullptr},
        {"16 bits per pixel", [](cups_page_header2_t &h) { h.cupsBitsPerPixel = 16; }, "unsupported bits per pixel"},
        {"no width", [](cups_page_header2_t &h) { h.cupsWidth = 0; }, "the page has no width or height"},
        {"horizontal resolution 0", [](cups_page_header2_t &h) { h.HWResolution[0] = 0; },
         "the resolution is 0 or above 9600 dpi"},
        {"vertical resolution 0", [](cups_page_header2_t &h) { h.HWResolution[1] = 0; },
         "the resolution is 0 or above 9600 dpi"},
        {"resolution 9601", [](cups_page_header2_t &h) { h.HWResolution[0] = 9601; },
         "the resolution is 0 or above 9600 dpi"},
        {"resolution that is negative as an int", [](cups_page_header2_t &h) { h.HWResolution[1] = 0x80000000u; },
         "the resolution is 0 or above 9600 dpi"},
        {"resolutions 1 and 9600", [](cups_page_header2_t &h) { h.HWResolution[0] = 1, h.HWResolution[1] = 9600; },
         nullptr},
        {"line shorter than the width", [](cups_page_header2_t &h) { h.cupsBytesPerLine = 47; },
         "the line length does not hold the page width"},
        {"width whose bits wrap 32 bits",
         [](cups_page_header2_t &h) { h.cupsWidth = (1u << 29) + 1, h.cupsBitsPerPixel = 8, h.cupsBytesPerLine = 1; },
         "the line length does not hold the page width"},
        {"line padded to 32 bits", [](cups_page_header2_t &h) { h.cupsWidth = 381; }, nullptr},
        // Padding past the width is read and dropped; the image is sized
        // from the width, so any line length within the raster limit is fine.
        {"line padded past 32 bits", [](cups_page_header2_t &h) { h.cupsBytesPerLine = 52; }, nullptr},
        {"2 GiB line of one dot", [](cups_page_header2_t &h) { h.cupsWidth = 1, h.cupsHeight = 1, h.cupsBytesPerLine = 0x7FFFFFFF; },
         nullptr},
        {"2 GiB line of one dot, two of them",
         [](cups_page_header2_t &h) { h.cupsWidth = 1, h.cupsHeight = 2, h.cupsBytesPerLine = 0x7FFFFFFF; },
         "the page raster is larger than 2 GiB"},
        {"raster past 2 GiB",
         [](cups_page_header2_t &h) { h.cupsWidth = 70000, h.cupsBitsPerPixel = 8, h.cupsBytesPerLine = 70000, h.cupsHeight = 40000; },
         "the page raster is larger than 2 GiB"},
        // One dot per line, but the image stores 4 bytes per row: 8 GiB.
        {"rows of one dot, 2^31 - 1 of them",
         [](cups_page_header2_t &h) { h.cupsWidth = 1, h.cupsBytesPerLine = 1, h.cupsHeight = 0x7FFFFFFF; },
         "the page image would be larger than 256 MiB"},
        {"image just within 256 MiB",
         [](cups_page_header2_t &h) { h.cupsWidth = 32, h.cupsBytesPerLine = 4, h.cupsHeight = 1u << 26; }, nullptr},
        {"image one row past 256 MiB",
         [](cups_page_header2_t &h) { h.cupsWidth = 32, h.cupsBytesPerLine = 4, h.cupsHeight = (1u << 26) + 1; },
         "the page image would be larger than 256 MiB"},
        {"32 bits per pixel counted as a 24-bit image",
         [](cups_page_header2_t &h) { h.cupsBitsPerPixel = 32, h.cupsWidth = 4096, h.cupsBytesPerLine = 16384, h.cupsHeight = 21845; },
         nullptr},
    };
    for (const RefuseCase &c : cases) {
        cups_page_header2_t header = Header(384, 240, 1);
        c.edit(header);
        const char *reason = RefusePage(header);
        if (c.reason == nullptr)
            EXPECT_EQ(reason, nullptr) << c.name << ": " << reason;
        else
            EXPECT_STREQ(reason, c.reason) << c.name;
    }
}

class HostileJob : public ::testing::Test {
protected:
    FilterResult Run(const std::vector<RawRasterPage> &pages)
    {
        WritePpdFile(dir.File("test.ppd"), PpdDescription{});
        WriteFileBytes(dir.File("job.ras"), RawRasterStream(pages));
        return RunFilterOn(dir.File("test.ppd"), dir.File("job.ras"));
    }

    ScopedTempDir dir;
};

TEST_F(HostileJob, RefusedPagesAreReportedAndTheirLinesSkipped)
{
    RawRasterPage noResolution = MakeRawPage(MakeRasterPage(32, 4, 8, 0x00));
    noResolution.header.HWResolution[0] = 0;
    RawRasterPage printed = MakeRawPage(MakeRasterPage(24, 5, 8));
    // Claims one line of 2 GiB - 1 bytes; only a few follow.
    RawRasterPage hugeLine = MakeRawPage(MakeRasterPage(8, 1, 8));
    hugeLine.header.cupsBytesPerLine = 0x7FFFFFFF;
    hugeLine.data = std::string(100, '\0');

    const FilterResult result = Run({noResolution, printed, hugeLine});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_NE(result.err.find("ERROR: Page 1 cannot be printed: the resolution is 0 or above 9600 dpi"),
              std::string::npos)
        << result.err;
    EXPECT_TRUE(result.HasLog("create image width=24, height=5, bitsPerPixel=8, bytesPerLine=24"));
    // The padding of the long line is read in pieces and dropped; what the
    // stream holds of the line prints.
    EXPECT_TRUE(result.HasLog("create image width=8, height=1, bitsPerPixel=8, bytesPerLine=2147483647"));
    EXPECT_EQ(result.err.find("ERROR: Page 3"), std::string::npos) << result.err;
}

TEST_F(HostileJob, EnumeratedHeaderFieldsOutsideTheirRangeAreLoggedAsNumbers)
{
    RawRasterPage page = MakeRawPage(MakeRasterPage(32, 2, 8));
    const unsigned order = 16777216, space = 0xFFFFFFF0u, orientation = 9, duplex = 7;
    std::memcpy(&page.header.cupsColorOrder, &order, sizeof(order));
    std::memcpy(&page.header.cupsColorSpace, &space, sizeof(space));
    std::memcpy(&page.header.Orientation, &orientation, sizeof(orientation));
    std::memcpy(&page.header.Duplex, &duplex, sizeof(duplex));
    std::memcpy(&page.header.ManualFeed, &duplex, sizeof(duplex));

    const FilterResult result = Run({page});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_TRUE(result.HasLog("DEBUG: cupsColorOrder = 16777216\n"));
    EXPECT_TRUE(result.HasLog("DEBUG: cupsColorSpace = -16\n"));
    EXPECT_TRUE(result.HasLog("DEBUG: Orientation = 9\n"));
    EXPECT_TRUE(result.HasLog("DEBUG: Duplex = 7\n"));
    EXPECT_TRUE(result.HasLog("create image width=32, height=2, bitsPerPixel=8, bytesPerLine=32"));
}

}  // namespace
