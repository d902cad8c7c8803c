// Pages of another size than the loaded media, as phones and PC clients send
// them, print whole on the label or roll that is loaded: the printer's
// page is the media's size, the frame round the page's content keeps all
// four sides, and the barcode still reads.
#include "app_server.h"
#include "preview/png_writer.h"
#include "preview/stream_decoder.h"
#include "support/raster_writer.h"
#include "test_png.h"

#include <gtest/gtest.h>
#include <png.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// A page with a frame 8 mm inside its edges (down to frameMm from the top
// when not 0), a line of text and a Code 128 barcode, drawn by zint and
// Ghostscript as a client's PWG raster page of 8-bit grey at 203 dpi.
std::string ClientPage(const ScopedTempDir &dir, const std::string &name, const std::string &paper, int frameMm = 0)
{
    const std::string eps = dir.File("bar.eps");
    if (std::system(("zint -b 20 -d DW25 --notext --filetype=eps -o " + eps + " >/dev/null").c_str()) != 0)
        return {};
    std::ifstream epsFile(eps);
    std::stringstream barcode;
    barcode << epsFile.rdbuf();
    std::ofstream ps(dir.File(name + ".ps"));
    ps << "%!PS\n/mm { 72 mul 25.4 div } def\n"
          "/W currentpagedevice /PageSize get 0 get def /H currentpagedevice /PageSize get 1 get def\n"
       << "/FH " << (frameMm > 0 ? std::to_string(frameMm) + " mm" : "H") << " def\n"
       << "/m 8 mm def /top H m sub def /bottom H FH sub m add def\n"
          "4 setlinewidth newpath m bottom moveto W m sub bottom lineto W m sub top lineto m top lineto "
          "closepath stroke\n"
          "/fs W 14 div def /Helvetica-Bold findfont fs scalefont setfont\n"
          "m 2 mul top m sub fs sub moveto (dotweave label) show\n"
          "/bw W m 4 mul sub 0.8 mul def\n"
          "gsave m 2 mul bottom m add translate bw 158 div FH 6 div 100 div scale\n"
       << barcode.str() << "\ngrestore showpage\n";
    ps.close();
    const std::string pwg = dir.File(name + ".pwg");
    const std::string command = "gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pwgraster -r203 " + paper +
                                " -dcupsColorSpace=18 -dcupsBitsPerColor=8 -sOutputFile=" + pwg + " " +
                                dir.File(name + ".ps") + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 ? pwg : std::string();
}

struct Box {
    uint32_t left = UINT32_MAX, top = UINT32_MAX, right = 0, bottom = 0;
};

Box InkBox(const PreviewPage &page)
{
    Box box;
    for (uint32_t y = 0; y < page.Height(); ++y)
        for (uint32_t x = 0; x < page.WidthDots(); ++x)
            if (page.Dot(x, y)) {
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x);
                box.top = std::min(box.top, y);
                box.bottom = std::max(box.bottom, y);
            }
    return box;
}

// Whether the ink's outline is a frame: each of its four sides nearly all
// black dots, within two dots of the outline.
bool HasWholeFrame(const PreviewPage &page, const Box &box)
{
    auto rowShare = [&](uint32_t y) {
        uint32_t ink = 0;
        for (uint32_t x = box.left; x <= box.right; ++x)
            ink += page.Dot(x, y);
        return static_cast<double>(ink) / (box.right - box.left + 1);
    };
    auto columnShare = [&](uint32_t x) {
        uint32_t ink = 0;
        for (uint32_t y = box.top; y <= box.bottom; ++y)
            ink += page.Dot(x, y);
        return static_cast<double>(ink) / (box.bottom - box.top + 1);
    };
    auto side = [](auto share, uint32_t edge, int inwards) {
        double best = 0;
        for (int i = 0; i < 3; ++i)
            best = std::max(best, share(static_cast<uint32_t>(static_cast<int>(edge) + i * inwards)));
        return best > 0.9;
    };
    return box.right > box.left + 4 && box.bottom > box.top + 4 && side(rowShare, box.top, 1) &&
           side(rowShare, box.bottom, -1) && side(columnShare, box.left, 1) && side(columnShare, box.right, -1);
}

std::string ReadBarcode(const ScopedTempDir &dir, const PreviewPage &page)
{
    const std::string png = dir.File("printed.png");
    std::string problem;
    if (!WritePagePng(png, page, problem))
        return problem;
    std::string text;
    if (FILE *zbar = popen(("zbarimg -q --raw " + png + " 2>/dev/null").c_str(), "r")) {
        std::array<char, 256> buffer{};
        while (fgets(buffer.data(), buffer.size(), zbar) != nullptr)
            text += buffer.data();
        pclose(zbar);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

// Prints a document and decodes the one page the printer received.
PreviewPage PrintOne(const AppServer &server, const std::string &printer, const std::string &folder,
                     const std::string &file, const std::string &format, StreamLanguage language, size_t jobs)
{
    std::string status;
    const int job = server.Print(printer, file, format, "", &status);
    EXPECT_GT(job, 0) << status;
    EXPECT_EQ(server.WaitForJob(printer, job), IPP_JSTATE_COMPLETED) << server.JobMessage(printer, job);
    const std::vector<std::string> files = WaitForJobFiles(folder, jobs);
    if (files.size() != jobs)
        return {};
    const std::string stream = ReadFileBytes(files.back());
    const DecodedStream decoded =
        DecodeStream(language, reinterpret_cast<const uint8_t *>(stream.data()), stream.size());
    EXPECT_FALSE(decoded.error.failed);
    EXPECT_EQ(decoded.pages.size(), 1u);
    return decoded.pages.empty() ? PreviewPage() : decoded.pages[0];
}

TEST(PageFit, PhonePagesPrintWholeOnTheLoadedMedia)
{
    AppServer server;
    const std::string labels = server.AddFilePrinter("label", "tspl_203dpi");
    const std::string roll = server.AddFilePrinter("receipt", "escpos_203dpi");
    const std::string a4 = ClientPage(server.Dir(), "a4", "-sPAPERSIZE=a4");
    const std::string letter = ClientPage(server.Dir(), "letter", "-sPAPERSIZE=letter");
    const std::string card = ClientPage(server.Dir(), "4x6", "-dDEVICEWIDTHPOINTS=288 -dDEVICEHEIGHTPOINTS=432 -dFIXEDMEDIA");
    ASSERT_FALSE(a4.empty() || letter.empty() || card.empty()) << "zint or gs failed";

    struct Case {
        const char *printer;
        const char *media;
        uint32_t width, height;  // the media in dots; height 0: a roll
        const char *size;        // as a page of the label's own size tells it, in whole dots
        const std::string &page;
        bool barcodeReadable;    // its narrowest bar at least 2 dots wide
    };
    const Case cases[] = {
        {"label", "om_50x30mm_50x30mm", 399, 239, "SIZE 49.92 mm,29.90 mm", a4, true},
        {"label", "om_50x30mm_50x30mm", 399, 239, "SIZE 49.92 mm,29.90 mm", letter, true},
        {"label", "om_50x30mm_50x30mm", 399, 239, "SIZE 49.92 mm,29.90 mm", card, true},
        {"label", "om_small-photo_100x150mm", 799, 1198, "SIZE 99.97 mm,149.90 mm", a4, true},
        {"label", "om_small-photo_100x150mm", 799, 1198, "SIZE 99.97 mm,149.90 mm", letter, true},
        {"label", "om_small-photo_100x150mm", 799, 1198, "SIZE 99.97 mm,149.90 mm", card, true},
        {"receipt", "om_58x210mm_58x210mm", 463, 0, "", a4, true},
        {"receipt", "om_58x210mm_58x210mm", 463, 0, "", letter, true},
        {"receipt", "om_58x210mm_58x210mm", 463, 0, "", card, true},
    };
    size_t labelJobs = 0, rollJobs = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.media) + " " + c.page);
        std::string output;
        ASSERT_EQ(server.Run({"modify", "-d", c.printer, "-o", std::string("media-ready=") + c.media}, &output), 0)
            << output;
        const bool label = c.height != 0;
        const PreviewPage page =
            PrintOne(server, c.printer, label ? labels : roll, c.page, "image/pwg-raster",
                     label ? StreamLanguage::Tspl : StreamLanguage::EscPos, label ? ++labelJobs : ++rollJobs);
        ASSERT_TRUE(page.HasBitmap());
        // The label's size; the roll's width.
        if (label) {
            EXPECT_EQ(page.Commands().at(0), c.size);
            EXPECT_EQ(page.Height(), c.height);
        } else {
            EXPECT_EQ(page.BytesPerRow(), (c.width + 7) / 8);
        }
        const Box box = InkBox(page);
        EXPECT_TRUE(HasWholeFrame(page, box)) << box.left << "," << box.top << " " << box.right << "," << box.bottom;
        if (c.barcodeReadable) {
            EXPECT_EQ(ReadBarcode(server.Dir(), page), "DW25");
        }
    }
}

TEST(PageFit, AReceiptOnAnA4PageIsAsLongAsItsContent)
{
    AppServer server;
    const std::string roll = server.AddFilePrinter("receipt", "escpos_203dpi");
    std::string output;
    ASSERT_EQ(server.Run({"modify", "-d", "receipt", "-o", "media-ready=om_58x210mm_58x210mm"}, &output), 0) << output;
    const std::string receipt = ClientPage(server.Dir(), "receipt", "-sPAPERSIZE=a4", 80);
    ASSERT_FALSE(receipt.empty());
    const PreviewPage page = PrintOne(server, "receipt", roll, receipt, "image/pwg-raster", StreamLanguage::EscPos, 1);
    ASSERT_TRUE(page.HasBitmap());
    const Box box = InkBox(page);
    EXPECT_TRUE(HasWholeFrame(page, box));
    // The content, 72 mm of the page's 194 mm width on the 48 mm of the
    // roll: 19 mm, plus at most 2 mm.
    EXPECT_LE(page.Height(), box.bottom - box.top + 1 + 16);
    EXPECT_LE(page.Height(), 21 * 203 / 25.4);

    // Asked to, the page keeps its own length (the printer's own trimming
    // of blank paper off too): A4's 297 mm scaled to the roll's printable 48 mm.
    std::string status;
    const int job = server.Print("receipt", receipt, "image/pwg-raster", "roll-length=page trim-blank-bottom=0", &status);
    ASSERT_GT(job, 0) << status;
    ASSERT_EQ(server.WaitForJob("receipt", job), IPP_JSTATE_COMPLETED) << server.JobMessage("receipt", job);
    const std::vector<std::string> files = WaitForJobFiles(roll, 2);
    ASSERT_EQ(files.size(), 2u);
    const std::string stream = ReadFileBytes(files[1]);
    const DecodedStream whole =
        DecodeStream(StreamLanguage::EscPos, reinterpret_cast<const uint8_t *>(stream.data()), stream.size());
    ASSERT_EQ(whole.pages.size(), 1u);
    EXPECT_NEAR(whole.pages[0].Height(), 297.0 * 48 / 210 * 203 / 25.4, 40);
}

// An 812x600 picture with a frame and a bar across its top, on a 4x6 in
// label: turned a quarter, all of it on the label.
TEST(PageFit, ALandscapePictureIsTurnedAndNothingCut)
{
    AppServer server;
    const std::string labels = server.AddFilePrinter("label", "tspl_203dpi");
    TestPng png = TestPng::Filled(812, 600, PNG_COLOR_TYPE_GRAY, 8, {255});
    auto fill = [&](uint32_t left, uint32_t top, uint32_t width, uint32_t height) {
        for (uint32_t y = top; y < top + height; ++y)
            std::fill_n(png.rows.begin() + y * png.width + left, width, 0);
    };
    fill(0, 0, 812, 6);
    fill(0, 594, 812, 6);
    fill(0, 0, 6, 600);
    fill(806, 0, 6, 600);
    fill(20, 20, 300, 60);  // the line of text, at the top left
    const std::string path = server.Dir().File("landscape.png");
    png.Write(path);
    for (const char *media : {"om_small-photo_100x150mm", "om_50x30mm_50x30mm"}) {
        SCOPED_TRACE(media);
        std::string output;
        ASSERT_EQ(server.Run({"modify", "-d", "label", "-o", std::string("media-ready=") + media}, &output), 0);
        static size_t jobs = 0;
        const PreviewPage page = PrintOne(server, "label", labels, path, "image/png", StreamLanguage::Tspl, ++jobs);
        ASSERT_TRUE(page.HasBitmap());
        const Box box = InkBox(page);
        EXPECT_TRUE(HasWholeFrame(page, box));
        const bool portraitLabel = page.Height() > page.WidthDots();
        // On the portrait label the picture runs down it; the text's bar
        // then lies along the frame's left side, at its bottom.
        EXPECT_EQ(box.bottom - box.top > box.right - box.left, portraitLabel);
        if (portraitLabel) {
            const uint32_t x = box.left + (box.right - box.left) / 20;
            EXPECT_TRUE(page.Dot(x, box.bottom - (box.bottom - box.top) / 10));
            EXPECT_FALSE(page.Dot(x, box.top + (box.bottom - box.top) / 10));
        }
    }
}

}  // namespace

namespace {

// A page too large to keep for its layout is left out with a message; the
// job goes on with its next page, which is laid out.
TEST(PageFit, APageTooLargeToLayOutIsLeftOutAndTheJobGoesOn)
{
    AppServer server;
    const std::string labels = server.AddFilePrinter("label", "tspl_203dpi");
    RasterPage huge = MakeRasterPage(8000, 5000, 8, 0xFF);
    RasterPage small = MakeRasterPage(1000, 700, 8, 0xFF);
    for (unsigned y = 100; y < 600; ++y)
        std::fill_n(small.Row(y) + 100, 800, 0);
    huge.colorSpace = small.colorSpace = CUPS_CSPACE_SW;
    const std::string path = server.Dir().File("pages.pwg");
    WriteRasterFile(path, {huge, small}, CUPS_RASTER_WRITE_PWG);
    const PreviewPage page = PrintOne(server, "label", labels, path, "image/pwg-raster", StreamLanguage::Tspl, 1);
    EXPECT_NE(server.Log().find("too large to lay out"), std::string::npos) << server.Log();
    ASSERT_TRUE(page.HasBitmap());
    EXPECT_EQ(page.Commands().at(0), "SIZE 99.97 mm,149.90 mm");
    EXPECT_TRUE(HasWholeFrame(page, InkBox(page)));
}

}  // namespace
