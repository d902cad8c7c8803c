// Each printer's web page shows the last job's pages as the printer burns
// them, checked in a real browser.
#include "printers/driver_table.h"
#include "app_server.h"
#include "preview/stream_decoder.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

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

namespace {

// Every byte but letters and digits as %XX, for a URL path.
std::string PercentEncoded(const std::string &text)
{
    std::string encoded;
    for (unsigned char c : text) {
        char hex[4];
        std::snprintf(hex, sizeof(hex), "%%%02X", c);
        encoded += std::isalnum(c) ? std::string(1, static_cast<char>(c)) : std::string(hex);
    }
    return encoded;
}

// An IPP request to the printer at `resource` (with the printer-uri that
// goes with it); the answer's status.
ipp_status_t PrinterRequest(const AppServer &server, ipp_t *request, const std::string &resource,
                            const std::string &file = "")
{
    const std::string uri = "ipp://localhost:" + std::to_string(server.Port()) + resource;
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, "tester");
    http_t *http = httpConnect2("127.0.0.1", server.Port(), nullptr, AF_INET, HTTP_ENCRYPTION_NEVER, 1, 10000, nullptr);
    ippDelete(cupsDoFileRequest(http, request, resource.c_str(), file.empty() ? nullptr : file.c_str()));
    httpClose(http);
    return cupsLastError();
}

TEST(PreviewPage, NamesShowAsTextOnEveryPage)
{
    AppServer server;
    // Each piece of script, run, would change the page's title.
    const std::string script = "<script>document.title='PWNED'</script>";
    const std::string printer = script + "<b>label</b>";
    std::filesystem::create_directory(server.Dir().File("out"));
    server.AddPrinter(printer, "escpos_203dpi", "jobfile:" + server.Dir().File("out"));

    // PAPPL makes the printer's address from its name; ask for it.
    http_t *http = httpConnect2("127.0.0.1", server.Port(), nullptr, AF_INET, HTTP_ENCRYPTION_NEVER, 1, 10000, nullptr);
    ipp_t *request = ippNewRequest(IPP_OP_GET_PRINTERS);
    const std::string system = "ipp://localhost:" + std::to_string(server.Port()) + "/ipp/system";
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "system-uri", nullptr, system.c_str());
    ipp_t *response = cupsDoRequest(http, request, "/ipp/system");
    httpClose(http);
    char resource[1024] = "", scheme[32], user[32], host[256];
    int port = 0;
    httpSeparateURI(HTTP_URI_CODING_ALL,
                    ippGetString(ippFindAttribute(response, "printer-uri-supported", IPP_TAG_URI), 0, nullptr), scheme,
                    sizeof(scheme), user, sizeof(user), host, sizeof(host), &port, resource, sizeof(resource));
    ippDelete(response);
    const std::string ipp = resource;
    ASSERT_EQ(ipp.rfind("/ipp/print/", 0), 0u) << ipp;

    const std::string jobName = script + "<i>job</i>";
    request = ippNewRequest(IPP_OP_PRINT_JOB);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, jobName.c_str());
    ASSERT_EQ(PrinterRequest(server, request, ipp, std::string(DOTWEAVE_SOURCE_DIR) + "/samples/photo.png"),
              IPP_STATUS_OK);
    WaitForJobFiles(server.Dir().File("out"), 1);
    request = ippNewRequest(IPP_OP_IDENTIFY_PRINTER);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "identify-actions", nullptr, "display");
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_TEXT, "message", nullptr, (script + "<u>hello</u>").c_str());
    ASSERT_EQ(PrinterRequest(server, request, ipp), IPP_STATUS_OK);

    const std::string web = "http://localhost:" + std::to_string(server.Port()) + "/" +
                            PercentEncoded(ipp.substr(std::string("/ipp/print/").size()));
    struct Page {
        std::string url;
        std::vector<std::string> texts;  // as the browser shows text
    };
    const Page pages[] = {
        {"http://localhost:" + std::to_string(server.Port()) + "/", {"&lt;b&gt;label&lt;/b&gt;"}},
        {web + "/", {"&lt;b&gt;label&lt;/b&gt;", "&lt;i&gt;job&lt;/i&gt;"}},
        {web + "/preview", {"&lt;b&gt;label&lt;/b&gt;", "&lt;u&gt;hello&lt;/u&gt;", "1 page(s)"}},
    };
    for (const Page &page : pages) {
        SCOPED_TRACE(page.url);
        const std::string dom = BrowserDom(server.Dir(), page.url);
        EXPECT_EQ(dom.find("<title>PWNED"), std::string::npos) << dom;
        for (const char *tag : {"<b>label", "<i>job", "<u>hello", "<script>document.title"})
            EXPECT_EQ(dom.find(tag), std::string::npos) << tag;
        for (const std::string &text : page.texts)
            EXPECT_NE(dom.find(text), std::string::npos) << text << "\n" << dom.substr(0, 3000);
    }
}

}  // namespace
