// Writes the seed corpora of the fuzz targets: pages of the kinds the test
// suite prints (1, 4, 8, 24 and 32 bits per pixel, blank, random, framed,
// cut short, several pages), in uncompressed and compressed raster streams;
// PNG and JPEG pictures of every kind and of extreme shapes; jobs' IPP values.
// Usage: fuzz_seeds OUTPUT-FOLDER (gets fuzz_job/, fuzz_settings/, fuzz_hfm/,
// fuzz_picture/, fuzz_job_settings/).
#include "fuzz_support.h"
#include "job_settings_input.h"

#include "support/raster_writer.h"
#include "test_jpeg.h"
#include "test_png.h"

#include <png.h>

#include <cups/raster.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void Save(const std::filesystem::path &folder, const std::string &name, const Bytes &bytes)
{
    std::filesystem::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()),
                                                         static_cast<std::streamsize>(bytes.size()));
}

Bytes RasterStream(const std::vector<RasterPage> &pages, cups_mode_t mode)
{
    const int fd = memfd_create("seed", 0);
    cups_raster_t *ras = cupsRasterOpen(fd, mode);
    for (const RasterPage &page : pages) {
        cups_page_header2_t header;
        FillRasterHeader(page, header);
        cupsRasterWriteHeader2(ras, &header);
        const unsigned lines = page.linesToWrite < page.height ? page.linesToWrite : page.height;
        for (unsigned y = 0; y < lines; ++y)
            cupsRasterWritePixels(ras, const_cast<unsigned char *>(page.Row(y)), page.BytesPerLine());
    }
    cupsRasterClose(ras);
    Bytes bytes(static_cast<size_t>(lseek(fd, 0, SEEK_END)));
    lseek(fd, 0, SEEK_SET);
    if (read(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        bytes.clear();
    close(fd);
    return bytes;
}

// A black frame inside a white page: something for every crop edge to find.
RasterPage FramedPage(unsigned width, unsigned height, unsigned bpp)
{
    RasterPage page = MakeRasterPage(width, height, bpp, 0xFF);
    for (unsigned y = height / 4; y < height * 3 / 4; ++y) {
        for (unsigned x = width / 4; x < width * 3 / 4; ++x) {
            const unsigned bit = x * bpp;
            uint8_t &byte = page.Row(y)[bit / 8];
            if (bpp >= 8)
                std::memset(&byte, 0, bpp / 8);
            else
                byte = static_cast<uint8_t>(byte & ~(((1u << bpp) - 1) << (8 - bpp - bit % 8)));
        }
    }
    return page;
}

std::vector<std::vector<RasterPage>> SeedJobs()
{
    RasterPage shortPage = MakeRandomRasterPage(64, 20, 8, 7);
    shortPage.linesToWrite = 5;
    return {
        {MakeRasterPage(32, 4, 1)},
        {MakeRasterPage(64, 8, 8, 0x00)},
        {MakeRandomRasterPage(40, 12, 8, 1)},
        {MakeRandomRasterPage(33, 9, 4, 2)},
        {MakeRandomRasterPage(24, 8, 24, 3)},
        {MakeRandomRasterPage(16, 6, 32, 4)},
        {FramedPage(96, 40, 1)},
        {FramedPage(80, 30, 8)},
        {MakeRasterPage(385, 3, 1, 0x55)},
        {MakeRasterPage(48, 6, 8, 0x80, 100)},
        {MakeRasterPage(48, 6, 8, 0x80, 300)},
        {MakeRasterPage(16, 2, 1), MakeRandomRasterPage(16, 4, 8, 5), MakeRasterPage(8, 1, 24, 0x00)},
        {shortPage},
    };
}

void JobSeeds(const std::filesystem::path &folder)
{
    const auto &options = fuzz::FilterOptions();
    int n = 0;
    const auto jobs = SeedJobs();
    for (size_t j = 0; j < jobs.size(); ++j) {
        for (cups_mode_t mode : {CUPS_RASTER_WRITE, CUPS_RASTER_WRITE_COMPRESSED}) {
            const Bytes stream = RasterStream(jobs[j], mode);
            Bytes seed;
            seed.push_back(static_cast<uint8_t>(j % 5));
            // Every option at the PPD default, except a few jobs with image options set.
            for (size_t o = 0; o < options.size(); ++o) {
                size_t pick = options[o].choices.size();
                if (j % 3 == 1 && o >= 14)
                    pick = 15;  // crop limit 5 mm
                if (j % 3 == 2 && (o == 5 || o == 13))
                    pick = 2;   // rotate by 90, compression on
                seed.push_back(static_cast<uint8_t>(pick));
            }
            seed.insert(seed.end(), stream.begin(), stream.end());
            Save(folder, "job" + std::to_string(n++), seed);
        }
    }
}

void SettingsSeeds(const std::filesystem::path &folder)
{
    const auto &options = fuzz::FilterOptions();
    for (int s = 0; s < 10; ++s) {
        Bytes seed;
        seed.push_back(static_cast<uint8_t>(s % 5));
        for (size_t o = 0; o < options.size(); ++o) {
            const size_t size = options[o].choices.size();
            const size_t want = static_cast<size_t>(s * 7 + o) % size;
            seed.push_back(static_cast<uint8_t>(0xC0 + (want + size - 0xC0 % size) % size));
        }
        const unsigned width = 8 + static_cast<unsigned>(s) * 37;
        seed.push_back(static_cast<uint8_t>(width));
        seed.push_back(static_cast<uint8_t>(width >> 8));
        seed.push_back(static_cast<uint8_t>(10 + s * 9));
        seed.push_back(static_cast<uint8_t>(s));
        seed.push_back(static_cast<uint8_t>(s % 3));
        seed.push_back(static_cast<uint8_t>(s % 3));
        std::mt19937 random(static_cast<uint32_t>(s));
        for (int i = 0; i < 64; ++i)
            seed.push_back(s % 2 ? static_cast<uint8_t>(random() >> 24) : static_cast<uint8_t>(i < 32 ? 0xFF : 0));
        Save(folder, "settings" + std::to_string(s), seed);
    }
}

void HuffmanSeeds(const std::filesystem::path &folder)
{
    std::mt19937 random(11);
    const auto seed = [](int lineLength, int bandSize, const Bytes &data) {
        Bytes bytes{static_cast<uint8_t>(lineLength - 1), static_cast<uint8_t>((bandSize - 1) & 0xFF),
                    static_cast<uint8_t>((bandSize - 1) >> 8)};
        bytes.insert(bytes.end(), data.begin(), data.end());
        return bytes;
    };
    Save(folder, "blank", seed(48, 256, Bytes(48 * 60, 0x00)));
    Save(folder, "single", seed(4, 256, Bytes{0x00, 0x00, 0x00, 0x01}));
    Bytes text(48 * 40);
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = (i / 48) % 8 < 3 ? static_cast<uint8_t>(random() & random() & 0xFF) : 0x00;
    Save(folder, "text", seed(48, 256, text));
    Bytes all(512);
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<uint8_t>(i * 7);
    Save(folder, "allvalues", seed(64, 256, all));
    Save(folder, "smallband", seed(8, 2, Bytes(64, 0x3C)));
}

void PictureSeeds(const std::filesystem::path &folder)
{
    std::filesystem::create_directories(folder);
    const auto png = [&](const std::string &name, TestPng picture) { picture.Write(folder / (name + ".png")); };
    // The shapes that once stopped the printer application.
    png("tall", TestPng::Filled(1, 16384, PNG_COLOR_TYPE_GRAY, 8, {0}));
    png("wide", TestPng::Filled(16384, 1, PNG_COLOR_TYPE_GRAY, 8, {0}));
    png("wide-3000", TestPng::Filled(3000, 1, PNG_COLOR_TYPE_GRAY, 8, {0}));
    TestJpeg{1, 8000, {0}}.Write(folder / "tall.jpg");
    TestJpeg{8000, 1, {0}}.Write(folder / "wide.jpg");
    // Every PNG kind, small.
    png("grey-1", TestPng::Filled(13, 5, PNG_COLOR_TYPE_GRAY, 1, {1}));
    png("grey-4", TestPng::Filled(13, 5, PNG_COLOR_TYPE_GRAY, 4, {10}));
    png("grey-16", TestPng::Filled(13, 5, PNG_COLOR_TYPE_GRAY, 16, {0x5A5A}));
    png("rgb", TestPng::Filled(13, 5, PNG_COLOR_TYPE_RGB, 8, {255, 0, 0}));
    png("rgba-16", TestPng::Filled(7, 3, PNG_COLOR_TYPE_RGB_ALPHA, 16, {0, 0, 0xFFFF, 0x8000}));
    TestPng palette = TestPng::Filled(13, 5, PNG_COLOR_TYPE_PALETTE, 2, {3});
    palette.palette = {255, 255, 255, 200, 200, 200, 100, 100, 100, 0, 0, 0};
    palette.paletteAlpha = {255, 0};
    png("palette", palette);
    TestPng interlaced = TestPng::Filled(37, 29, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {0, 128});
    interlaced.interlaced = true;
    interlaced.ppi = 300;
    png("interlaced-alpha", interlaced);
    // JPEG kinds: grey, colour, progressive, with a resolution, CMYK.
    TestJpeg{16, 8, {90}}.Write(folder / "grey.jpg");
    TestJpeg{16, 8, {255, 0, 0}, 1, 300, 300}.Write(folder / "rgb-300dpi.jpg");
    TestJpeg{40, 30, {30}, 2, 118, 59, true}.Write(folder / "progressive.jpg");
    TestJpeg{8, 8, {0, 0, 0, 255}}.Write(folder / "cmyk.jpg");
}

// The job settings target: every integer the application reads from IPP at
// INT_MIN and INT_MAX, on the job, in media-col, as a vendor attribute, as a
// printer default and in an override, for every driver; and ordinary jobs.
class JobSettingsSeed {
public:
    explicit JobSettingsSeed(int driver) { bytes.push_back(static_cast<uint8_t>(driver)); }
    JobSettingsSeed &Byte(int value)
    {
        bytes.push_back(static_cast<uint8_t>(value));
        return *this;
    }
    JobSettingsSeed &Number(int32_t value)
    {
        Byte(fuzz::kRawNumber);
        for (int i = 0; i < 4; ++i)
            Byte(static_cast<int>((static_cast<uint32_t>(value) >> (8 * i)) & 0xFF));
        return *this;
    }
    JobSettingsSeed &Name(const std::string &name)
    {
        const std::vector<std::string> names = fuzz::JobMemberNames();
        for (size_t i = 0; i < names.size(); ++i)
            if (names[i] == name)
                return Byte(static_cast<int>(i));
        return Byte(0xFF);
    }
    Bytes bytes;
};

void JobSettingsSeeds(const std::filesystem::path &folder)
{
    constexpr int kDrivers = 8;
    // Top and left offset, darkness, configured darkness, speed, orientation.
    constexpr int32_t kOrdinary[] = {0, 0, 0, 50, 0, 3};
    const char *const integers[] = {"print-darkness", "print-speed", "orientation-requested", "threshold-level",
                                    "brightness", "contrast", "trim-blank-top", "trim-blank-bottom",
                                    "trim-blank-left", "trim-blank-right", "feed-after-page"};
    int n = 0;
    auto job = [&](int driver, int extreme, int32_t value) {
        JobSettingsSeed seed(driver);
        for (int i = 0; i < 6; ++i)
            seed.Number(i == extreme ? value : kOrdinary[i]);
        seed.Byte(1).Byte(0).Byte(0);  // monochrome, the first media type, tracking not said
        return seed;
    };
    for (int driver = 0; driver < kDrivers; ++driver) {
        // An ordinary job with a vendor value and an override of two pages.
        JobSettingsSeed plain = job(driver, -1, 0);
        plain.Byte(1).Name("halftone-method").Byte(0).Byte(3);
        plain.Byte(0).Byte(1).Byte(0).Number(2).Number(3).Byte(2).Name("print-darkness").Byte(0).Number(30);
        plain.Name("trim-blank-top").Byte(0).Number(5);
        Save(folder, "plain" + std::to_string(n++), plain.bytes);
        for (const int32_t value : {INT_MIN, INT_MAX}) {
            for (int i = 0; i < 6; ++i)
                Save(folder, "job" + std::to_string(n++), job(driver, i, value).Byte(0).Byte(0).Byte(0).bytes);
            for (const char *name : integers) {
                // As the job's vendor attribute (text), the printer's default and in an override.
                JobSettingsSeed vendor = job(driver, -1, 0);
                vendor.Byte(1).Name(name).Byte(2).Number(value).Byte(0).Byte(0);
                Save(folder, "vendor" + std::to_string(n++), vendor.bytes);
                JobSettingsSeed byDefault = job(driver, -1, 0);
                byDefault.Byte(0).Byte(1).Name(name).Byte(0).Number(value).Byte(0);
                Save(folder, "default" + std::to_string(n++), byDefault.bytes);
                JobSettingsSeed override = job(driver, -1, 0);
                const int tag = std::string(name) == "orientation-requested" ? 1 : 0;
                override.Byte(0).Byte(0).Byte(1).Byte(0).Number(1).Number(1).Byte(1).Name(name).Byte(tag).Number(value);
                Save(folder, "override" + std::to_string(n++), override.bytes);
            }
        }
    }
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path root = argv[1];
    JobSeeds(root / "fuzz_job");
    SettingsSeeds(root / "fuzz_settings");
    HuffmanSeeds(root / "fuzz_hfm");
    PictureSeeds(root / "fuzz_picture");
    JobSettingsSeeds(root / "fuzz_job_settings");
    return 0;
}
