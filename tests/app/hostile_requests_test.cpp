// Requests an attacker could send, one after the other to one server (in CI
// also an ASan + UBSan build): each is answered with an IPP error or a job
// that ends with a state message, the server stays up without a sanitizer
// report, and the next ordinary job prints. A case is a row of the table:
// the attributes it adds to a Print-Job, the document it sends, and what
// must follow where more than that is known.
#include "app_server.h"
#include "printers/driver_table.h"
#include "support/printer_streams.h"
#include "support/raster_writer.h"
#include "test_png.h"

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

using Attributes = std::function<void(ipp_t *)>;

struct Case {
    std::string name;
    // A Print-Job's job attributes, or a Set-Printer-Attributes' printer
    // attributes (which makes no job).
    ipp_op_t operation = IPP_OP_PRINT_JOB;
    Attributes attributes;
    std::string format = "image/png";
    // The document; empty: a small picture that prints.
    std::string document;
    // What must follow where it is known: the job's end, a part of its
    // message, the labels the printer received.
    ipp_jstate_t state = static_cast<ipp_jstate_t>(0);
    std::string message;
    int labels = -1;
    // A failed job may end with PAPPL's bare "Job aborted." (a raster stream
    // whose first page header PAPPL cannot read: it says nothing more).
    bool bareEnd = false;
};

// A Print-Job of the small picture with hostile attributes.
Case Attribute(const std::string &name, Attributes attributes)
{
    Case c;
    c.name = name;
    c.attributes = std::move(attributes);
    return c;
}

// A hostile document.
Case Document(const std::string &name, const std::string &format, const std::string &document,
              ipp_jstate_t state = static_cast<ipp_jstate_t>(0), const std::string &message = "", int labels = -1)
{
    Case c;
    c.name = name;
    c.format = format;
    c.document = document;
    c.state = state;
    c.message = message;
    c.labels = labels;
    return c;
}

// A Set-Printer-Attributes with hostile printer defaults.
Case Defaults(const std::string &name, Attributes attributes)
{
    Case c = Attribute(name, std::move(attributes));
    c.operation = IPP_OP_SET_PRINTER_ATTRIBUTES;
    return c;
}

// A document PAPPL reads itself and fails without saying why: a raster
// stream whose first page header cannot be read.
Case Unexplained(const std::string &name, const std::string &format, const std::string &document)
{
    Case c = Document(name, format, document, IPP_JSTATE_ABORTED);
    c.bareEnd = true;
    return c;
}

// ---- IPP attributes ----

Attributes Integer(const char *name, int value, ipp_tag_t tag = IPP_TAG_INTEGER)
{
    return [=](ipp_t *request) { ippAddInteger(request, IPP_TAG_JOB, tag, name, value); };
}

Attributes Keyword(const char *name, const std::string &value, ipp_tag_t tag = IPP_TAG_KEYWORD)
{
    return [=](ipp_t *request) { ippAddString(request, IPP_TAG_JOB, tag, name, nullptr, value.c_str()); };
}

Attributes Keywords(const char *name, int count)
{
    return [=](ipp_t *request) {
        std::vector<std::string> values;
        for (int i = 0; i < count; ++i)
            values.push_back("value-" + std::to_string(i));
        std::vector<const char *> pointers;
        for (const std::string &value : values)
            pointers.push_back(value.c_str());
        ippAddStrings(request, IPP_TAG_JOB, IPP_TAG_KEYWORD, name, count, nullptr, pointers.data());
    };
}

Attributes Range(const char *name, int lower, int upper)
{
    return [=](ipp_t *request) { ippAddRange(request, IPP_TAG_JOB, name, lower, upper); };
}

// A collection attribute whose members `fill` adds.
Attributes Collection(const char *name, const std::function<void(ipp_t *)> &fill, int count = 1,
                      ipp_tag_t group = IPP_TAG_JOB)
{
    return [=](ipp_t *request) {
        ipp_attribute_t *attribute = nullptr;
        for (int i = 0; i < count; ++i) {
            ipp_t *member = ippNew();
            fill(member);
            if (attribute == nullptr)
                attribute = ippAddCollection(request, group, name, member);
            else
                ippSetCollection(request, &attribute, ippGetCount(attribute), member);
            ippDelete(member);
        }
    };
}

// media-col holding media-col holding ... `depth` deep.
void NestedMediaCol(ipp_t *collection, int depth)
{
    if (depth == 0) {
        ippAddString(collection, IPP_TAG_ZERO, IPP_TAG_KEYWORD, "media-type", nullptr, "labels");
        return;
    }
    ipp_t *inner = ippNew();
    NestedMediaCol(inner, depth - 1);
    ippAddCollection(collection, IPP_TAG_ZERO, "media-col", inner);
    ippDelete(inner);
}

void MediaSize(ipp_t *collection, int width, int length)
{
    ipp_t *size = ippNew();
    ippAddInteger(size, IPP_TAG_ZERO, IPP_TAG_INTEGER, "x-dimension", width);
    ippAddInteger(size, IPP_TAG_ZERO, IPP_TAG_INTEGER, "y-dimension", length);
    ippAddCollection(collection, IPP_TAG_ZERO, "media-size", size);
    ippDelete(size);
}

// overrides with these pages and a setting.
Attributes Overrides(int lower, int upper, int count = 1)
{
    return Collection(
        "overrides",
        [=](ipp_t *member) {
            ippAddRange(member, IPP_TAG_ZERO, "pages", lower, upper);
            ippAddString(member, IPP_TAG_ZERO, IPP_TAG_KEYWORD, "halftone-method", nullptr, "threshold");
        },
        count);
}

// ---- Documents ----

std::string PngBytes(const TestPng &png, const ScopedTempDir &dir)
{
    const std::string path = dir.File("case.png");
    png.Write(path);
    return ReadFileBytes(path);
}

// The PNG with its IHDR's size replaced (and the chunk's CRC made good, so
// that only the size is wrong).
std::string PngSized(std::string png, uint32_t width, uint32_t height)
{
    auto put = [&](size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            png[at + i] = static_cast<char>(value >> (24 - 8 * i));
    };
    put(16, width);
    put(20, height);
    put(29, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef *>(png.data() + 12), 17)));
    return png;
}

std::string JpegBytes(unsigned width, unsigned height)
{
    jpeg_compress_struct compress{};
    jpeg_error_mgr errors{};
    compress.err = jpeg_std_error(&errors);
    jpeg_create_compress(&compress);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&compress, &buffer, &size);
    compress.image_width = width;
    compress.image_height = height;
    compress.input_components = 1;
    compress.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&compress);
    jpeg_start_compress(&compress, TRUE);
    std::vector<JSAMPLE> row(width, 90);
    while (compress.next_scanline < height) {
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&compress, rows, 1);
    }
    jpeg_finish_compress(&compress);
    jpeg_destroy_compress(&compress);
    std::string bytes(reinterpret_cast<char *>(buffer), size);
    std::free(buffer);
    return bytes;
}

// The JPEG with the size in its frame header replaced.
std::string JpegSized(std::string jpeg, unsigned width, unsigned height)
{
    const size_t frame = jpeg.find("\xFF\xC0");
    jpeg[frame + 5] = static_cast<char>(height >> 8);
    jpeg[frame + 6] = static_cast<char>(height);
    jpeg[frame + 7] = static_cast<char>(width >> 8);
    jpeg[frame + 8] = static_cast<char>(width);
    return jpeg;
}

// A page of `width` dots, 8-bit grey, 1-bit black or 24-bit colour, that
// declares `height` lines and sends `sent` of them (all by default).
RasterPage Page(unsigned bitsPerPixel = 8, unsigned width = 320, unsigned height = 240, unsigned sent = ~0u,
                unsigned dpi = 203)
{
    RasterPage page = MakeRasterPage(width, std::min(height, sent), bitsPerPixel, 0x60, dpi);
    page.colorSpace = bitsPerPixel == 1 ? CUPS_CSPACE_K : bitsPerPixel == 24 ? CUPS_CSPACE_SRGB : CUPS_CSPACE_SW;
    page.height = height;
    page.linesToWrite = sent;
    return page;
}

// The pages as libcups writes a PWG raster stream.
std::string PwgBytes(const std::vector<RasterPage> &pages, const ScopedTempDir &dir)
{
    const std::string path = dir.File("case.pwg");
    WriteRasterFile(path, pages, CUPS_RASTER_WRITE_PWG);
    return ReadFileBytes(path);
}

// Number of sanitizer reports in the server's output.
size_t SanitizerReports(const AppServer &server)
{
    const std::string output = ReadFileBytes(server.Dir().File("server.out"));
    size_t count = 0;
    for (const char *marker : {"Sanitizer", "runtime error:"})
        for (size_t at = output.find(marker); at != std::string::npos; at = output.find(marker, at + 1))
            ++count;
    return count;
}

struct Answer {
    ipp_status_t status = IPP_STATUS_ERROR_INTERNAL;
    int job = 0;
};

Answer Send(const AppServer &server, const std::string &printer, const Case &c, const std::string &document)
{
    Answer answer;
    const bool print = c.operation == IPP_OP_PRINT_JOB;
    // Printer defaults take an administrator: root over the control socket.
    http_t *http = print ? httpConnect2("127.0.0.1", server.Port(), nullptr, AF_INET, HTTP_ENCRYPTION_NEVER, 1, 30000,
                                        nullptr)
                         : httpConnect2(server.ControlSocket().c_str(), 0, nullptr, AF_LOCAL, HTTP_ENCRYPTION_NEVER,
                                        1, 30000, nullptr);
    if (http == nullptr)
        return answer;
    const std::string file = server.Dir().File("document");
    WriteFileBytes(file, document);
    ipp_t *request = ippNewRequest(c.operation);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, server.PrinterUri(printer).c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, "tester");
    if (print)
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr, c.format.c_str());
    if (c.attributes)
        c.attributes(request);
    ipp_t *response =
        cupsDoFileRequest(http, request, ("/ipp/print/" + printer).c_str(), print ? file.c_str() : nullptr);
    answer.status = response != nullptr ? ippGetStatusCode(response) : cupsLastError();
    answer.job = ippGetInteger(ippFindAttribute(response, "job-id", IPP_TAG_INTEGER), 0);
    ippDelete(response);
    httpClose(http);
    return answer;
}

std::vector<Case> Cases(const ScopedTempDir &dir)
{
    const std::string picture = PngBytes(TestPng::Filled(64, 48, PNG_COLOR_TYPE_GRAY, 8, {90}), dir);
    const std::string jpeg = JpegBytes(64, 48);
    const std::string huge(32000, 'x');
    const std::string script = "<script>document.title='PWNED'</script><b>x</b>";
    const RasterPage good = Page();
    const RasterPage noResolution = Page(8, 320, 240, 240, 0);
    const unsigned most = 0xFFFFFFFFu;
    const std::string pwg = "image/pwg-raster";
    const ipp_jstate_t aborted = IPP_JSTATE_ABORTED;
    std::vector<Case> cases = {
        // Attributes the application reads, malformed or oversized.
        Attribute("media: 32000-byte keyword", Keyword("media", huge)),
        Attribute("media: an integer", Integer("media", 7)),
        Attribute("media: 300 values", Keywords("media", 300)),
        Attribute("media-col: nested 40 deep", Collection("media-col", [](ipp_t *c) { NestedMediaCol(c, 40); })),
        Attribute("media-col: size 0 x 0", Collection("media-col", [](ipp_t *c) { MediaSize(c, 0, 0); })),
        Attribute("media-col: negative size", Collection("media-col", [](ipp_t *c) { MediaSize(c, -500, -500); })),
        Attribute("media-col: size as a keyword", Collection("media-col",
                                                             [](ipp_t *c) {
                                                                 ippAddString(c, IPP_TAG_ZERO, IPP_TAG_KEYWORD,
                                                                              "media-size", nullptr, "big");
                                                             })),
        Attribute("media-col: members of the wrong kinds",
                  Collection("media-col",
                             [](ipp_t *c) {
                                 ippAddInteger(c, IPP_TAG_ZERO, IPP_TAG_INTEGER, "media-type", 3);
                                 ippAddString(c, IPP_TAG_ZERO, IPP_TAG_KEYWORD, "media-tracking", nullptr, "sideways");
                                 ippAddString(c, IPP_TAG_ZERO, IPP_TAG_KEYWORD, "media-top-offset", nullptr, "far");
                             })),
        Attribute("media-col: 200 values", Collection("media-col", [](ipp_t *c) { MediaSize(c, 4000, 3000); }, 200)),
        Attribute("print-darkness: a keyword", Keyword("print-darkness", "black")),
        Attribute("print-darkness: 101", Integer("print-darkness", 101)),
        Attribute("print-speed: text", Keyword("print-speed", "fast", IPP_TAG_TEXT)),
        Attribute("print-color-mode: unknown", Keyword("print-color-mode", "ultraviolet")),
        Attribute("print-color-mode: an integer", Integer("print-color-mode", 2)),
        Attribute("orientation-requested: 0", Integer("orientation-requested", 0, IPP_TAG_ENUM)),
        Attribute("orientation-requested: 99", Integer("orientation-requested", 99, IPP_TAG_ENUM)),
        Attribute("copies: 0", Integer("copies", 0)),
        Attribute("copies: INT_MAX", Integer("copies", INT_MAX)),
        Attribute("page-ranges: backwards", Range("page-ranges", 5, 2)),
        Attribute("page-ranges: 0-0", Range("page-ranges", 0, 0)),
        Attribute("overrides: pages backwards", Overrides(5, 2)),
        Attribute("overrides: pages 0-0", Overrides(0, 0)),
        Attribute("overrides: pages INT_MIN-INT_MAX", Overrides(INT_MIN, INT_MAX)),
        Attribute("overrides: 500 of them", Overrides(1, 1, 500)),
        Attribute("overrides: no pages", Collection("overrides",
                                                    [](ipp_t *c) {
                                                        ippAddString(c, IPP_TAG_ZERO, IPP_TAG_KEYWORD,
                                                                     "halftone-method", nullptr, "stucki");
                                                    })),
        Attribute("overrides: pages as text", Collection("overrides",
                                                         [](ipp_t *c) {
                                                             ippAddString(c, IPP_TAG_ZERO, IPP_TAG_TEXT, "pages",
                                                                          nullptr, "1-2");
                                                         })),
        Attribute("overrides: a keyword", Keyword("overrides", "everything")),
        Attribute("overrides: inside overrides", Collection("overrides",
                                                            [](ipp_t *c) {
                                                                ippAddRange(c, IPP_TAG_ZERO, "pages", 1, 1);
                                                                ipp_t *inner = ippNew();
                                                                ippAddRange(inner, IPP_TAG_ZERO, "pages", 1, 1);
                                                                ippAddCollection(c, IPP_TAG_ZERO, "overrides", inner);
                                                                ippDelete(inner);
                                                            })),
        Attribute("halftone-method: 32000-byte keyword", Keyword("halftone-method", huge)),
        Attribute("halftone-method: an integer", Integer("halftone-method", 3)),
        Attribute("threshold-level: 256", Integer("threshold-level", 256)),
        Attribute("threshold-level: a keyword", Keyword("threshold-level", "half")),
        Attribute("brightness: a boolean", [](ipp_t *r) { ippAddBoolean(r, IPP_TAG_JOB, "brightness", 1); }),
        Attribute("trim-blank-top: 100000", Integer("trim-blank-top", 100000)),
        Attribute("feed-after-page: text", Keyword("feed-after-page", "lots", IPP_TAG_TEXT)),
        Attribute("bitmap-compression: an integer", Integer("bitmap-compression", 1)),
        Attribute("cutter-mode: unknown", Keyword("cutter-mode", "guillotine")),
        Attribute("print-method: two values", Keywords("print-method", 2)),
        Attribute("job-name: HTML and script", Keyword("job-name", script, IPP_TAG_NAME)),
        Attribute("job-name: 32000 bytes", Keyword("job-name", huge, IPP_TAG_NAME)),
        Attribute("an unknown attribute with 1000 values", Keywords("dotweave-nonsense", 1000)),
        // Printer defaults (an administrator's request).
        Defaults("media-col-default: an unknown size name", Collection("media-col-default",
                                                                       [](ipp_t *c) {
                                                                           ippAddString(c, IPP_TAG_ZERO, IPP_TAG_KEYWORD,
                                                                                        "media-size-name", nullptr,
                                                                                        "bogus");
                                                                       },
                                                                       1, IPP_TAG_PRINTER)),
        Defaults("media-col-default: size 0 x 0",
                 Collection("media-col-default", [](ipp_t *c) { MediaSize(c, 0, 0); }, 1, IPP_TAG_PRINTER)),
        Defaults("media-col-ready: a type of the wrong kind", Collection("media-col-ready",
                                                                         [](ipp_t *c) {
                                                                             ippAddInteger(c, IPP_TAG_ZERO,
                                                                                           IPP_TAG_INTEGER,
                                                                                           "media-type", 3);
                                                                         },
                                                                         1, IPP_TAG_PRINTER)),
        // Pictures.
        Document("PNG: cut short", "image/png", picture.substr(0, 60), aborted),
        Document("PNG: garbage after the signature", "image/png", picture.substr(0, 8) + std::string(500, 'Z'),
                 aborted),
        Document("PNG: 100000 x 100000 declared", "image/png", PngSized(picture, 100000, 100000), aborted),
        Document("PNG: 0 x 0 declared", "image/png", PngSized(picture, 0, 0), aborted),
        Document("PNG: cut short, sent as octet-stream", "application/octet-stream", picture.substr(0, 60)),
        Document("JPEG: cut short", "image/jpeg", jpeg.substr(0, jpeg.size() / 2), aborted),
        Document("JPEG: garbage after the start", "image/jpeg", jpeg.substr(0, 2) + std::string(500, 'Z'), aborted),
        Document("JPEG: 65000 x 65000 declared", "image/jpeg", JpegSized(jpeg, 65000, 65000), aborted),
        Document("JPEG: 0 x 0 declared", "image/jpeg", JpegSized(jpeg, 0, 0), aborted),
        Document("HTML sent as a document", "text/html", "<html><body>" + script + "</body></html>"),
        // Raster pages.
        Unexplained("PWG: the header cut short", pwg, PwgBytes({good}, dir).substr(0, 300)),
        Unexplained("PWG: garbage after the sync word", pwg, "RaS2" + std::string(3000, 'Z')),
        Document("PWG: 4294967295 lines declared, 10 sent", pwg, PwgBytes({Page(8, 320, most, 10)}, dir), aborted,
                 "more than any page has", 0),
        Document("PWG: 2147483647 lines declared after a good page", pwg,
                 PwgBytes({good, Page(8, 320, most / 2, 10)}, dir), aborted, "Page 2 cannot be printed", 1),
        Document("PWG: 1-bit, 4294967295 lines declared", pwg, PwgBytes({Page(1, 320, most, 10)}, dir), aborted,
                 "more than any page has", 0),
        // 536870913 dots of 8 bits overflow 32 bits into 1 byte per line.
        Document("PWG: 536870913 dots wide in 1 byte per line", pwg, PwgBytes({Page(8, (1u << 29) + 1, 2)}, dir), aborted,
                 "Page 1 cannot be printed", 0),
        Document("PWG: lines of 16 MiB", pwg, PwgBytes({Page(8, 1u << 24, 2)}, dir), aborted, "more than any page has", 0),
        Document("PWG: 16 bits per colour", pwg, PwgBytes({Page(16)}, dir), aborted, "Page 1 cannot be printed", 0),
        Document("PWG: colour", pwg, PwgBytes({Page(24)}, dir), aborted, "Page 1 cannot be printed", 0),
        // Pages the engine refuses: a job of nothing else fails, one with
        // good pages too prints those and says which it left out.
        Document("PWG: the only page at 0 dpi", pwg, PwgBytes({noResolution}, dir), aborted,
                 "Page 1 cannot be printed: the resolution is 0", 0),
        Document("PWG: three pages at 0 dpi", pwg, PwgBytes({noResolution, noResolution, noResolution}, dir), aborted,
                 "None of the 3 pages was printed", 0),
        Document("PWG: a page at 0 dpi between good ones", pwg, PwgBytes({good, noResolution, good}, dir),
                 IPP_JSTATE_COMPLETED, "Page 2 was not printed, the other 2 were. Page 2 cannot be printed", 2),
        Document("PWG: a 1-bit page between good ones", pwg, PwgBytes({good, Page(1), good}, dir), IPP_JSTATE_COMPLETED,
                 "Page 2 was not printed", 2),
    };
    return cases;
}

bool Ended(ipp_jstate_t state)
{
    return state == IPP_JSTATE_COMPLETED || state == IPP_JSTATE_ABORTED || state == IPP_JSTATE_CANCELED;
}

TEST(HostileRequests, EachIsAnsweredAndTheServerGoesOn)
{
    AppServer server;
    const std::string folder = server.AddFilePrinter("hostile", "tspl_203dpi");
    std::string output;
    // Small labels keep each job short under the sanitizers.
    ASSERT_EQ(server.Run({"modify", "-d", "hostile", "-o", "media-default=om_40x30mm_40x30mm"}, &output), 0) << output;
    const std::string ordinary = server.Dir().File("ordinary.png");
    TestPng::Filled(64, 48, PNG_COLOR_TYPE_GRAY, 8, {90}).Write(ordinary);
    const std::string picture = ReadFileBytes(ordinary);

    for (const Case &c : Cases(server.Dir())) {
        SCOPED_TRACE(c.name);
        const size_t before = JobFiles(folder).size();
        const Answer answer = Send(server, "hostile", c, c.document.empty() ? picture : c.document);
        ASSERT_TRUE(server.Running()) << server.Problems();
        if (c.operation != IPP_OP_PRINT_JOB) {
            EXPECT_EQ(answer.job, 0);
            EXPECT_NE(answer.status, IPP_STATUS_ERROR_NOT_AUTHORIZED) << "the request never reached the printer";
            EXPECT_NE(answer.status, IPP_STATUS_ERROR_FORBIDDEN) << "the request never reached the printer";
        } else if (answer.job == 0) {
            EXPECT_GT(answer.status, IPP_STATUS_OK_EVENTS_COMPLETE) << "no job and no error";
            EXPECT_EQ(c.state, 0) << "refused: " << ippErrorString(answer.status);
        } else {
            const ipp_jstate_t state = server.WaitForJob("hostile", answer.job);
            ASSERT_TRUE(Ended(state)) << "job state " << state << "\n" << server.Problems();
            const std::string message = server.JobMessage("hostile", answer.job);
            if (c.state != 0) {
                EXPECT_EQ(state, c.state) << message;
            }
            EXPECT_NE(message.find(c.message), std::string::npos) << message;
            if (state != IPP_JSTATE_COMPLETED && !c.bareEnd) {
                EXPECT_TRUE(message != "Job aborted." && message != "Job canceled.") << "no reason given";
            }
            if (c.labels >= 0) {
                const std::vector<std::string> files = WaitForJobFiles(folder, before + (c.labels > 0 ? 1 : 0), 5);
                const int labels = files.size() > before ? CheckStreamOfModel(FindDriver("tspl_203dpi")->model->modelNumber, ReadFileBytes(files.back())).pages : 0;
                EXPECT_EQ(labels, c.labels);
            }
        }
        ASSERT_TRUE(server.Running()) << server.Problems();
        ASSERT_EQ(SanitizerReports(server), 0u) << server.Problems();

        // The next ordinary job prints.
        const size_t printed = JobFiles(folder).size();
        const int job = server.Print("hostile", ordinary, "image/png");
        ASSERT_GT(job, 0);
        ASSERT_EQ(server.WaitForJob("hostile", job), IPP_JSTATE_COMPLETED) << server.JobMessage("hostile", job);
        ASSERT_EQ(WaitForJobFiles(folder, printed + 1).size(), printed + 1);
    }
}

}  // namespace
