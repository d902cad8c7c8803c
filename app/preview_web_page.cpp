#include "app/preview_web_page.h"

#include "app/last_jobs.h"
#include "printers/driver_table.h"
#include "preview/png_writer.h"
#include "preview/stream_decoder.h"

#include <cstdarg>
#include <cstdint>
#include <map>
#include <mutex>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr char kLabel[] = "Last job preview";

// The last Identify-Printer message of each printer, by printer id.
std::mutex g_messagesMutex;
std::map<int, std::string> g_messages;

std::string MessageFor(int printerId)
{
    std::lock_guard<std::mutex> lock(g_messagesMutex);
    const auto found = g_messages.find(printerId);
    return found != g_messages.end() ? found->second : std::string();
}

std::string PreviewPath(pappl_printer_t *printer)
{
    char path[256];
    papplPrinterGetPath(printer, "preview", path, sizeof(path));
    return path;
}

// PAPPL's own HTML formatter knows only some conversions: format here.
void Printf(pappl_client_t *client, const char *format, ...) __attribute__((format(printf, 2, 3)));

void Printf(pappl_client_t *client, const char *format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    papplClientHTMLPuts(client, text);
}

std::string Base64(const std::string &bytes)
{
    // httpEncode64 wants room for the text and its end.
    std::vector<char> text(bytes.size() / 3 * 4 + 8);
    httpEncode64_2(text.data(), static_cast<int>(text.size()), bytes.data(), static_cast<int>(bytes.size()));
    return text.data();
}

void ShowPages(pappl_client_t *client, const tagDriverInfo &driver, const LastJobs::Job &job)
{
    Printf(client, "<p>Job %d: %zu bytes sent to the printer.</p>\n", job.id, job.bytes.size());
    if (job.tooLarge) {
        papplClientHTMLPuts(client, "<p>The job was too large to keep for a preview.</p>\n");
        return;
    }
    const std::optional<StreamLanguage> language = ParseLanguage(driver.model->streamName);
    if (!language)
        return;
    const DecodedStream decoded =
        DecodeStream(*language, reinterpret_cast<const uint8_t *>(job.bytes.data()), job.bytes.size());
    if (decoded.error.failed)
        papplClientHTMLPuts(client, "<p class=\"dotweave-problem\">The stream could not be decoded to its end.</p>\n");
    Printf(client, "<p id=\"dotweave-pages\">%zu page(s), as the printer burns them:</p>\n", decoded.pages.size());
    int number = 0;
    for (const PreviewPage &page : decoded.pages) {
        ++number;
        std::string png;
        std::string problem;
        if (!EncodePagePng(page, png, problem)) {
            Printf(client, "<p>Page %d has no picture: ", number);
            papplClientHTMLEscape(client, problem.c_str(), 0);
            papplClientHTMLPuts(client, "</p>\n");
            continue;
        }
        // Dots shown at their size on a 96 dpi screen, with a border for the paper edge.
        const unsigned width = page.WidthDots() * 96 / static_cast<unsigned>(driver.dpi);
        Printf(client,
               "<figure><img class=\"dotweave-page\" alt=\"Page %d\" width=\"%u\" "
               "style=\"border:1px solid #888;image-rendering:pixelated\" src=\"data:image/png;base64,",
               number, width);
        papplClientHTMLPuts(client, Base64(png).c_str());
        Printf(client, "\"><figcaption>Page %d: %u x %u dots</figcaption></figure>\n", number, page.WidthDots(),
               page.Height());
    }
}

bool ServePreview(pappl_client_t *client, void *data)
{
    pappl_system_t *system = papplClientGetSystem(client);
    const int printerId = static_cast<int>(reinterpret_cast<intptr_t>(data));
    pappl_printer_t *printer = papplSystemFindPrinter(system, nullptr, printerId, nullptr);
    if (printer == nullptr)
        return papplClientRespond(client, HTTP_STATUS_NOT_FOUND, nullptr, nullptr, 0, 0);
    const char *driverName = papplPrinterGetDriverName(printer);
    const tagDriverInfo *driver = driverName != nullptr ? FindDriver(driverName) : nullptr;
    // The header sends the HTTP response line too.
    papplClientHTMLPrinterHeader(client, printer, kLabel, 0, nullptr, nullptr);
    if (const std::string message = MessageFor(printerId); !message.empty()) {
        papplClientHTMLPuts(client, "<p id=\"dotweave-identify\"><strong>Identify-Printer:</strong> ");
        papplClientHTMLEscape(client, message.c_str(), 0);
        papplClientHTMLPuts(client, "</p>\n");
    }
    LastJobs::Job job;
    if (driver == nullptr || !LastJobs::Instance().Get(printerId, job))
        papplClientHTMLPuts(client, "<p>No job has been printed since the server started.</p>\n");
    else
        ShowPages(client, *driver, job);
    papplClientHTMLPrinterFooter(client);
    return true;
}

}  // namespace

void AddPreviewPage(pappl_printer_t *printer)
{
    const std::string path = PreviewPath(printer);
    void *id = reinterpret_cast<void *>(static_cast<intptr_t>(papplPrinterGetID(printer)));
    papplSystemAddResourceCallback(papplPrinterGetSystem(printer), path.c_str(), "text/html", ServePreview, id);
    papplPrinterAddLink(printer, kLabel, path.c_str(), PAPPL_LOPTIONS_NAVIGATION | PAPPL_LOPTIONS_STATUS);
}

void DisplayMessage(pappl_printer_t *printer, const char *message)
{
    std::lock_guard<std::mutex> lock(g_messagesMutex);
    g_messages[papplPrinterGetID(printer)] = message != nullptr && *message != '\0' ? message : "Identify";
}

void RemovePreviewPage(pappl_printer_t *printer)
{
    // PAPPL has removed the page with the printer's other pages already, and
    // holds the system's lock meanwhile: removing it here again locked the
    // lock twice and hung the server.
    {
        std::lock_guard<std::mutex> lock(g_messagesMutex);
        g_messages.erase(papplPrinterGetID(printer));
    }
    LastJobs::Instance().Forget(papplPrinterGetID(printer));
}
