// PAPPL 1.3.1's web page of a printer carries buttons that pause and resume
// the printer, hold and release new jobs and make it the default printer,
// and acts on them for anyone: unlike its other pages it asks no login.
// This page stands in its place: a form sent to it must come from an
// administrator, as on the other pages; the page itself is PAPPL's.
#include "app/printer_home_guard.h"

#include <string>

// PAPPL's printer page, exported but not declared in its public headers.
extern "C" void _papplPrinterWebHome(pappl_client_t *client, pappl_printer_t *printer);

namespace {

bool ServeHomePage(pappl_client_t *client, void *data)
{
    auto *printer = static_cast<pappl_printer_t *>(data);
    // papplClientHTMLAuthorize answers a refused client itself.
    if (papplClientGetMethod(client) == HTTP_STATE_POST && !papplClientHTMLAuthorize(client))
        return true;
    _papplPrinterWebHome(client, printer);
    return true;
}

}  // namespace

void GuardPrinterHomePage(pappl_printer_t *printer)
{
    char path[1024];
    papplPrinterGetPath(printer, "", path, sizeof(path));
    papplSystemAddResourceCallback(papplPrinterGetSystem(printer), path, "text/html", ServeHomePage, printer);
}
