#include "app/app_system.h"

#include "app/admin_login.h"
#include "app/document_filters.h"
#include "app/file_device.h"
#include "app/interrupted_jobs.h"
#include "app/printer_driver.h"
#include "app/printer_status.h"
#include "app/raw_document.h"
#include "app/serial_device.h"
#include "app/state_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <grp.h>
#include <memory>
#include <string>
#include <vector>

namespace {

std::string OptionValue(int numOptions, cups_option_t *options, const char *name, const char *fallback = "")
{
    const char *value = cupsGetOption(name, numOptions, options);
    return value != nullptr ? value : fallback;
}

pappl_loglevel_t LogLevel(const std::string &name)
{
    if (name == "debug")
        return PAPPL_LOGLEVEL_DEBUG;
    if (name == "info")
        return PAPPL_LOGLEVEL_INFO;
    if (name == "error")
        return PAPPL_LOGLEVEL_ERROR;
    if (name == "fatal")
        return PAPPL_LOGLEVEL_FATAL;
    return PAPPL_LOGLEVEL_WARN;
}

std::string DefaultStateFile()
{
    const char *home = std::getenv("HOME");
    if (home == nullptr || *home == '\0')
        return "/var/lib/dotweave-app/dotweave-app.state";
    return std::string(home) + "/.dotweave-app.conf";
}

// The printing administrators' group where it exists, else the
// administrators' group.
std::string DefaultAdminGroup()
{
    for (const char *name : {"lpadmin", "sudo", "wheel"})
        if (getgrnam(name) != nullptr)
            return name;
    return "root";
}

// PAPPL keeps the state file name for the save callback for the life of
// the process.
std::string g_stateFile;

bool SaveState(pappl_system_t *system, void *)
{
    return SaveStateFile(system, g_stateFile);
}

// The login check must outlive the system.
std::unique_ptr<AdminLogin> g_login;

// The driver list must outlive the system.
std::vector<pappl_pr_driver_t> g_drivers;

}  // namespace

pappl_system_t *CreateSystem(int numOptions, cups_option_t *options, void *)
{
    const std::string listen = OptionValue(numOptions, options, "listen-hostname", "localhost");
    const bool network = listen != "localhost" && listen != "127.0.0.1" && listen != "::1";
    const std::string portText = OptionValue(numOptions, options, "server-port", "0");
    char *end = nullptr;
    const long port = std::strtol(portText.c_str(), &end, 10);
    if (end == nullptr || *end != '\0' || port < 0 || port > 65535) {
        std::fprintf(stderr, "dotweave-app: bad server-port '%s'.\n", portText.c_str());
        return nullptr;
    }
    const std::string logFile = OptionValue(numOptions, options, "log-file", "-");
    const std::string spool = OptionValue(numOptions, options, "spool-directory");

    pappl_soptions_t soptions = PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE | PAPPL_SOPTIONS_WEB_LOG;
    // TLS protects passwords on the network; on the loopback interface
    // nobody else sees them and there is no certificate to trust.
    if (network)
        soptions |= PAPPL_SOPTIONS_WEB_REMOTE;
    else
        soptions |= PAPPL_SOPTIONS_NO_TLS;
    // AppSocket listeners (port 9099 + printer number) take jobs from
    // anyone on any interface without a login: only when asked for.
    if (OptionValue(numOptions, options, "raw-socket", "no") == "yes")
        soptions |= PAPPL_SOPTIONS_RAW_SOCKET;

    pappl_system_t *system = papplSystemCreate(soptions, "dotweave", static_cast<int>(port), "_print,_universal",
                                               spool.empty() ? nullptr : spool.c_str(), logFile.c_str(),
                                               LogLevel(OptionValue(numOptions, options, "log-level", "warn")),
                                               nullptr, false);
    if (system == nullptr)
        return nullptr;
    // PAPPL keeps at most 1 MiB of log before it starts the file over.
    if (const char *size = cupsGetOption("max-log-size", numOptions, options); size != nullptr)
        papplSystemSetMaxLogSize(system, static_cast<size_t>(std::strtoull(size, nullptr, 10)));
    // The project's schemes must join PAPPL's own: PAPPL sets up its schemes
    // only while it has none, the first time a device address is checked.
    papplDeviceIsSupported("socket://localhost");
    AddSerialScheme();
    AddJobFileScheme();

    // Administration needs an administrator, on this machine too: over TCP
    // a login checked through PAM, on the control socket the peer's
    // credentials (socket_peer_check.cpp).
    g_login = std::make_unique<AdminLogin>(OptionValue(numOptions, options, "auth-service", "login"));
    papplSystemSetAuthCallback(system, "Basic", AdminLogin::Authorize, g_login.get());
    papplSystemSetAdminGroup(system, OptionValue(numOptions, options, "admin-group", DefaultAdminGroup().c_str()).c_str());
    if (network) {
        papplSystemAddListeners(system, listen == "*" ? nullptr : listen.c_str());
    } else {
        papplSystemSetHostName(system, "localhost");
        papplSystemAddListeners(system, "localhost");
    }
    // A service that is not root cannot listen where the command line looks
    // for root's server; it listens here too, and a link leads there.
    if (const std::string socket = OptionValue(numOptions, options, "control-socket"); !socket.empty()) {
        if (socket[0] != '/' || !papplSystemAddListeners(system, socket.c_str())) {
            std::fprintf(stderr, "dotweave-app: cannot listen on control-socket '%s'.\n", socket.c_str());
            papplSystemDelete(system);
            return nullptr;
        }
    }
    SetJobFileFolder(OptionValue(numOptions, options, "jobfile-directory"));

    // Printers are asked how they are unless the administrator says not to.
    EnableStatusQueries(OptionValue(numOptions, options, "status-queries", "yes") != "no");
    AddDocumentFilters(system);
    papplSystemSetMIMECallback(system, RecogniseRawDocument, nullptr);
    g_drivers = PapplDrivers();
    papplSystemSetPrinterDrivers(system, static_cast<int>(g_drivers.size()), g_drivers.data(), MatchDriver,
                                 SetUpPrinter, DescribeDriver, nullptr);
    papplSystemSetFooterHTML(system, "dotweave printer application");

    g_stateFile = OptionValue(numOptions, options, "state-file", DefaultStateFile().c_str());
    SetLoadingSavedPrinters(true);
    papplSystemLoadState(system, g_stateFile.c_str());
    SetLoadingSavedPrinters(false);
    papplSystemIteratePrinters(system, LimitActiveJobs, nullptr);
    InterruptedJobs::Watch(system, g_stateFile + ".printing");
    papplSystemSetSaveCallback(system, SaveState, nullptr);
    return system;
}
