// Each printer's web page shows the last job's pages as the printer burns
// them, checked in a real browser.
#include "printers/driver_table.h"
#include "app_server.h"
#include "preview/stream_decoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// The page's DOM after its scripts ran, from headless Chromium.
std::string BrowserDom(const ScopedTempDir &dir, const std::string &url)
{
    const std::string out = dir.File("dom.html");
    const std::string command =
        "chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
        "--disable-background-networking --disable-component-update --disable-sync --user-data-dir='" +
        dir.File("browser") + "' --dump-dom '" + url + "' > '" + out + "' 2> '" + dir.File("browser.log") + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << ReadFileBytes(dir.File("browser.log"));
    return ReadFileBytes(out);
}

TEST(PreviewPage, ShowsTheLastJobsPagesInABrowser)
{
    AppServer server;
    const std::string folder = server.AddFilePrinter("receipt", "escpos_203dpi");
    const std::string url = "http://localhost:" + std::to_string(server.Port()) + "/receipt/preview";
    EXPECT_NE(BrowserDom(server.Dir(), url).find("No job has been printed"), std::string::npos);

    // Two pages: two copies of the sample photo.
    const int job = server.Print("receipt", std::string(DOTWEAVE_SOURCE_DIR) + "/samples/photo.png", "image/png",
                                 "copies=2");
    ASSERT_GT(job, 0);
    ASSERT_EQ(server.WaitForJob("receipt", job), IPP_JSTATE_COMPLETED);
    const std::vector<std::string> files = WaitForJobFiles(folder, 1);
    ASSERT_EQ(files.size(), 1u);
    const std::string stream = ReadFileBytes(files[0]);
    const DecodedStream decoded =
        DecodeStream(StreamLanguage::EscPos, reinterpret_cast<const uint8_t *>(stream.data()), stream.size());
    ASSERT_FALSE(decoded.error.failed);

    const std::string dom = BrowserDom(server.Dir(), url);
    EXPECT_NE(dom.find(std::to_string(decoded.pages.size()) + " page(s)"), std::string::npos) << dom.substr(0, 2000);
    // One picture per page, each a PNG of some size.
    size_t pictures = 0;
    const std::string marker = "src=\"data:image/png;base64,";
    for (size_t at = dom.find(marker); at != std::string::npos; at = dom.find(marker, at + 1)) {
        const size_t end = dom.find('"', at + marker.size());
        EXPECT_GT(end - at - marker.size(), 100u);
        ++pictures;
    }
    EXPECT_EQ(pictures, decoded.pages.size());
    // Identify-Printer's "display" shows its message on the same page.
    http_t *http = httpConnect2("127.0.0.1", server.Port(), nullptr, AF_INET, HTTP_ENCRYPTION_NEVER, 1, 10000, nullptr);
    ipp_t *request = ippNewRequest(IPP_OP_IDENTIFY_PRINTER);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, server.PrinterUri("receipt").c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "identify-actions", nullptr, "display");
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_TEXT, "message", nullptr, "Counter 3 <left>");
    ippDelete(cupsDoRequest(http, request, "/ipp/print/receipt"));
    httpClose(http);
    EXPECT_EQ(cupsLastError(), IPP_STATUS_OK);
    EXPECT_NE(BrowserDom(server.Dir(), url).find("Counter 3 &lt;left&gt;"), std::string::npos);

    for (size_t i = 0; i < decoded.pages.size(); ++i) {
        const std::string caption = "Page " + std::to_string(i + 1) + ": " +
                                    std::to_string(decoded.pages[i].WidthDots()) + " x " +
                                    std::to_string(decoded.pages[i].Height()) + " dots";
        EXPECT_NE(dom.find(caption), std::string::npos) << caption;
    }
}

}  // namespace
