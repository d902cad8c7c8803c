// Raster producers pad their lines to 4, 8, 16 or 64 bytes, or to a fixed
// length whatever the width: the padding is not part of the picture, so a
// padded page must reach the printer exactly as the same page unpadded.
#include "support/filter_runner.h"
#include "support/ppd_writer.h"
#include "support/raster_writer.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Language {
    const char *name;
    int modelNumber;
};

TEST(PaddedLines, EveryLanguageAndDepthPrintsThePageAsIfUnpadded)
{
    const Language languages[] = {{"TSPL", 20}, {"ESC/POS", 21}, {"CPCL", 22}, {"Paperang", 23}, {"PeriPage", 24}};
    // A byte, two pixels' worth, past the 32-bit rounding, and lines longer
    // than one read of the stream.
    const unsigned depths[] = {1, 4, 8, 24, 32};
    ScopedTempDir dir;
    for (const Language &language : languages) {
        const PpdDescription ppd{language.modelNumber, std::string("dotweave Padding"), std::nullopt,
                                 {Option("ImageFilter", "3"), Option("ImageCompress", "1")}, ""};
        WritePpdFile(dir.File("printer.ppd"), ppd);
        for (unsigned bpp : depths) {
            // 101 dots leave a partial last byte at every depth below 8.
            const RasterPage page = MakeRandomRasterPage(101, 37, bpp, 7 * bpp + 1);
            WriteRasterFile(dir.File("plain.ras"), {page, page});
            const FilterResult plain = RunFilterOn(dir.File("printer.ppd"), dir.File("plain.ras"));
            ASSERT_EQ(plain.exitStatus, 0) << language.name << " " << bpp << ": " << plain.err;
            ASSERT_FALSE(plain.out.empty()) << language.name << " " << bpp;

            const unsigned pixelsBytes = (2 * bpp + 7) / 8;
            // libcups takes lines of whole pixels only.
            const unsigned pixelBytes = bpp >= 8 ? bpp / 8 : 1;
            for (unsigned wanted : {1u, pixelsBytes, 67u, 70000u}) {
                const unsigned padding = (wanted + pixelBytes - 1) / pixelBytes * pixelBytes;
                for (cups_mode_t mode : {CUPS_RASTER_WRITE, CUPS_RASTER_WRITE_COMPRESSED}) {
                    const std::string what = std::string(language.name) + ", " + std::to_string(bpp) +
                                             " bits, padding " + std::to_string(padding) + ", mode " +
                                             std::to_string(mode);
                    const RasterPage padded = WithPaddedLines(page, padding, padding + bpp);
                    WriteRasterFile(dir.File("padded.ras"), {padded, padded}, mode);
                    const FilterResult result = RunFilterOn(dir.File("printer.ppd"), dir.File("padded.ras"));
                    EXPECT_EQ(result.exitStatus, 0) << what << ": " << result.err;
                    EXPECT_EQ(result.err.find("ERROR"), std::string::npos) << what << ": " << result.err;
                    EXPECT_TRUE(result.out == plain.out) << what;
                }
            }
        }
    }
}

}  // namespace
