// The filter's own output, decoded by the preview, must give back exactly the
// page bitmap the filter prepared: the check that what the preview shows is
// what the printer burns.

#include "preview/stream_decoder.h"

#include "filter/system_log.h"
#include "filter/cups_render.h"
#include "support/filter_runner.h"
#include "support/ppd_writer.h"
#include "support/raster_writer.h"
#include "support/temp_dir.h"

#include <cups/ppd.h>
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <tuple>

void PrintTo(StreamLanguage language, std::ostream *os)
{
    *os << LanguageName(language);
}

namespace {

// The page after preparation: one bit per dot, 0 = black, rows of effWidth
// bytes, first row on top.
struct PreparedPage {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t effWidth = 0;
    std::vector<uint8_t> bits;

    bool Black(uint32_t x, uint32_t y) const
    {
        return ((bits[static_cast<size_t>(y) * effWidth + x / 8] >> (7 - x % 8)) & 1) == 0;
    }
};

void DropLogLine(int, const char *) {}

// Runs the same preparation as the filter, in this process: settings from
// the same PPD, the page image built from the raster page, AdjustImage.
template <class Printer>
std::vector<PreparedPage> Prepare(const std::string &ppdPath, const std::vector<RasterPage> &pages)
{
    SetSystemLogTap(DropLogLine);
    std::vector<PreparedPage> prepared;
    ppd_file_t *ppd = ppdOpenFile(ppdPath.c_str());
    if (ppd == nullptr) {
        ADD_FAILURE() << "cannot open " << ppdPath;
        return prepared;
    }
    ppdMarkDefaults(ppd);
    CCupsRender<Printer> render;
    render.ppd = ppd;
    render.GetPrinterParameters();
    for (const RasterPage &page : pages) {
        cups_page_header2_t header;
        FillRasterHeader(page, header);
        render.header = &header;
        render.iDpi = static_cast<int>(header.HWResolution[0]);
        if (!render.image.CreateFromArray(page.data.data(), header.cupsWidth, header.cupsHeight,
                                          header.cupsBitsPerPixel, header.cupsBytesPerLine, false)) {
            ADD_FAILURE() << "CreateFromArray failed";
            break;
        }
        render.image.SetXDPI(static_cast<int>(header.HWResolution[0]));
        render.image.SetYDPI(static_cast<int>(header.HWResolution[1]));
        render.AdjustImage();
        PreparedPage out;
        out.width = render.image.GetWidth();
        out.height = render.image.GetHeight();
        out.effWidth = render.image.GetEffWidth();
        const uint8_t *bits = render.image.GetBits(0);
        if (bits != nullptr)
            out.bits.assign(bits, bits + static_cast<size_t>(out.effWidth) * out.height);
        prepared.push_back(std::move(out));
    }
    render.header = nullptr;
    render.ppd = nullptr;
    ppdClose(ppd);
    SetSystemLogTap(nullptr);
    return prepared;
}

enum class RowLength {
    Stored,  // the image's stored row, padding included
    Packed,  // just the bytes the dots need
};

struct Family {
    const char *name;
    int modelNumber;
    StreamLanguage language;
    bool compressed;
    RowLength rows;
    std::function<std::vector<PreparedPage>(const std::string &, const std::vector<RasterPage> &)> prepare;
    // Set when the family's back-end is not in the build yet.
    const char *missing;
};

const Family kFamilies[] = {
    {"Tspl", 20, StreamLanguage::Tspl, false, RowLength::Stored, Prepare<CPrinterTSPL>, nullptr},
    {"TsplCompressed", 20, StreamLanguage::Tspl, true, RowLength::Stored, Prepare<CPrinterTSPL>, nullptr},
    {"EscPos", 21, StreamLanguage::EscPos, false, RowLength::Packed, Prepare<CPrinterESCPOS>, nullptr},
    {"Cpcl", 22, StreamLanguage::Cpcl, false, RowLength::Stored, Prepare<CPrinterCPCL>, nullptr},
    {"Paperang", 23, StreamLanguage::Paperang, false, RowLength::Stored, Prepare<CPrinterPaperang>, nullptr},
    {"PeriPage", 24, StreamLanguage::PeriPage, false, RowLength::Packed, Prepare<CPrinterPeriPage>, nullptr},
    {"PeriPageCompressed", 24, StreamLanguage::PeriPage, true, RowLength::Packed, Prepare<CPrinterPeriPage>, nullptr},
};

void PrintTo(const Family &family, std::ostream *os)
{
    *os << family.name;
}

std::string PpdFor(const ScopedTempDir &dir, const Family &family)
{
    PpdDescription description;
    description.modelNumber = family.modelNumber;
    description.options.push_back(Option("ImageCompress", family.compressed ? "1" : "0", {"0", "1"}));
    const std::string path = dir.File("printer.ppd");
    WritePpdFile(path, description);
    return path;
}

// Every dot of the decoded page equals the prepared one; dots past the
// image width, which a printer may receive as row padding, are white.
::testing::AssertionResult SameAsPrepared(const PreviewPage &decoded, const PreparedPage &prepared, RowLength rows)
{
    const uint32_t rowBytes = rows == RowLength::Stored ? prepared.effWidth : (prepared.width + 7) / 8;
    if (decoded.BytesPerRow() != rowBytes || decoded.Height() != prepared.height)
        return ::testing::AssertionFailure() << "decoded " << decoded.WidthDots() << " x " << decoded.Height()
                                             << " dots, prepared " << prepared.width << " x " << prepared.height
                                             << " (expected " << rowBytes << " bytes per row)";
    for (uint32_t y = 0; y < prepared.height; ++y)
        for (uint32_t x = 0; x < decoded.WidthDots(); ++x) {
            const bool black = x < prepared.width && prepared.Black(x, y);
            if (decoded.Dot(x, y) != black)
                return ::testing::AssertionFailure() << "dot " << x << "," << y << " is "
                                                     << (decoded.Dot(x, y) ? "black" : "white");
        }
    return ::testing::AssertionSuccess();
}

struct RoundTrip {
    FilterResult filter;
    DecodedStream decoded;
    std::vector<PreparedPage> prepared;
};

RoundTrip RunJob(const Family &family, const std::vector<RasterPage> &pages)
{
    ScopedTempDir dir;
    RoundTrip trip;
    const std::string ppd = PpdFor(dir, family);
    WriteRasterFile(dir.File("job.ras"), pages);
    trip.filter = RunFilterOn(ppd, dir.File("job.ras"));
    trip.decoded = DecodeStream(family.language, reinterpret_cast<const uint8_t *>(trip.filter.out.data()),
                                trip.filter.out.size());
    trip.prepared = family.prepare(ppd, pages);
    return trip;
}

class EveryFamily : public ::testing::TestWithParam<std::tuple<Family, unsigned>> {};

TEST_P(EveryFamily, RandomPagesComeBackDotForDot)
{
    const auto &[family, depth] = GetParam();
    if (family.missing != nullptr)
        GTEST_SKIP() << family.missing;
    // Widths that are not whole bytes or stored rows, two resolutions, two
    // pages per job so page boundaries are checked too.
    const std::vector<RasterPage> pages = {MakeRandomRasterPage(203, 61, depth, 100 + depth, 203),
                                           MakeRandomRasterPage(385, 40, depth, 200 + depth, 300)};
    const RoundTrip trip = RunJob(family, pages);
    ASSERT_EQ(trip.filter.exitStatus, 0) << trip.filter.err;
    EXPECT_EQ(trip.filter.err.find("ERROR"), std::string::npos) << trip.filter.err;
    const auto detected =
        DetectLanguage(reinterpret_cast<const uint8_t *>(trip.filter.out.data()), trip.filter.out.size());
    EXPECT_EQ(detected, family.language);
    ASSERT_FALSE(trip.decoded.error.failed) << trip.decoded.error.Message();
    ASSERT_EQ(trip.decoded.pages.size(), pages.size());
    ASSERT_EQ(trip.prepared.size(), pages.size());
    for (size_t i = 0; i < pages.size(); ++i) {
        EXPECT_TRUE(SameAsPrepared(trip.decoded.pages[i], trip.prepared[i], family.rows)) << "page " << i + 1;
        for (const std::string &odd : trip.decoded.pages[i].Oddities())
            ADD_FAILURE() << "page " << i + 1 << ": " << odd;
    }
}

INSTANTIATE_TEST_SUITE_P(Preview, EveryFamily,
                         ::testing::Combine(::testing::ValuesIn(kFamilies), ::testing::Values(1u, 8u, 24u, 32u)),
                         [](const ::testing::TestParamInfo<std::tuple<Family, unsigned>> &info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::to_string(std::get<1>(info.param)) + "bit";
                         });

// A receipt taller than one raster command is sent as several; the preview
// puts them back together into the one prepared page.
TEST(PreviewRoundTrip, TallReceiptComesBackAsOnePage)
{
    const Family &family = kFamilies[2];
    if (family.missing != nullptr)
        GTEST_SKIP() << family.missing;
    const std::vector<RasterPage> pages = {MakeRandomRasterPage(20, 65600, 1, 7, 203)};
    const RoundTrip trip = RunJob(family, pages);
    ASSERT_EQ(trip.filter.exitStatus, 0) << trip.filter.err;
    ASSERT_FALSE(trip.decoded.error.failed) << trip.decoded.error.Message();
    ASSERT_EQ(trip.decoded.pages.size(), 1u);
    ASSERT_EQ(trip.prepared.size(), 1u);
    EXPECT_TRUE(SameAsPrepared(trip.decoded.pages[0], trip.prepared[0], family.rows));
    size_t rasterCommands = 0;
    for (const std::string &line : trip.decoded.pages[0].Commands())
        rasterCommands += line.rfind("raster image", 0) == 0;
    EXPECT_GE(rasterCommands, 2u);
}

}  // namespace
