#include "app_server.h"

#include <arpa/inet.h>
#include <grp.h>
#include <pwd.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <thread>

#ifndef DOTWEAVE_APP_PATH
#error "DOTWEAVE_APP_PATH must name the built dotweave-app"
#endif

namespace {

int FreePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        if (fd >= 0)
            close(fd);
        throw std::runtime_error("no free port");
    }
    close(fd);
    return ntohs(address.sin_port);
}

pid_t Spawn(const std::vector<std::string> &args, const std::string &home, const std::string &outputPath,
            const std::string &user, const std::vector<std::string> &environment = {})
{
    const pid_t child = fork();
    if (child != 0)
        return child;
    if (!user.empty()) {
        const passwd *entry = getpwnam(user.c_str());
        if (entry == nullptr || initgroups(entry->pw_name, entry->pw_gid) != 0 || setgid(entry->pw_gid) != 0 ||
            setuid(entry->pw_uid) != 0)
            _exit(126);
    }
    for (const std::string &setting : environment)
        putenv(const_cast<char *>(setting.c_str()));
    setenv("HOME", home.c_str(), 1);
    setenv("TMPDIR", home.c_str(), 1);
    // In a sanitizer build, the leak checker would fail PAPPL's own command
    // line client for what PAPPL and libcups leave allocated at exit.
    const std::string suppressions = "suppressions=" DOTWEAVE_SOURCE_DIR "/tests/app/lsan.supp";
    const char *lsan = std::getenv("LSAN_OPTIONS");
    setenv("LSAN_OPTIONS", (lsan != nullptr && *lsan != '\0' ? std::string(lsan) + ":" : std::string()).append(suppressions).c_str(), 1);
    std::FILE *out = std::freopen(outputPath.c_str(), "w", stdout);
    if (out == nullptr || dup2(fileno(stdout), 2) < 0)
        _exit(127);
    std::freopen("/dev/null", "r", stdin);
    std::vector<char *> argv;
    for (const std::string &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

int WaitExit(pid_t child)
{
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Uniquely()
{
    static std::atomic<int> counter{0};
    return std::to_string(getpid()) + "-" + std::to_string(++counter);
}

http_t *Connect(int port)
{
    return httpConnect2("127.0.0.1", port, nullptr, AF_INET, HTTP_ENCRYPTION_NEVER, 1, 10000, nullptr);
}

ipp_t *JobRequest(ipp_op_t op, const std::string &uri, int jobId)
{
    ipp_t *request = ippNewRequest(op);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, "tester");
    return request;
}

// Adds name=value with the type its text shows: {a=b ...} a collection of
// such members, true or false a boolean, a number an integer (an enum for
// orientation-requested), N-M a range, anything else a keyword: libcups
// guesses names for attributes it does not know, collection members too.
void AddJobAttribute(ipp_t *request, const char *name, const char *value, ipp_tag_t group = IPP_TAG_JOB)
{
    const std::string text = value;
    if (text.size() >= 2 && text.front() == '{' && text.back() == '}') {
        cups_option_t *members = nullptr;
        const int count = cupsParseOptions(text.substr(1, text.size() - 2).c_str(), 0, &members);
        ipp_t *collection = ippNew();
        for (int i = 0; i < count; ++i)
            AddJobAttribute(collection, members[i].name, members[i].value, IPP_TAG_ZERO);
        cupsFreeOptions(count, members);
        ippAddCollection(request, group, name, collection);
        ippDelete(collection);
        return;
    }
    if (text == "true" || text == "false") {
        ippAddBoolean(request, group, name, text == "true");
        return;
    }
    char *end = nullptr;
    const long number = std::strtol(value, &end, 10);
    if (!text.empty() && end != nullptr && *end == '\0') {
        const bool isEnum = std::string(name) == "orientation-requested";
        ippAddInteger(request, group, isEnum ? IPP_TAG_ENUM : IPP_TAG_INTEGER, name, static_cast<int>(number));
        return;
    }
    if (!text.empty() && end != nullptr && end != value && *end == '-') {
        char *last = nullptr;
        const long upper = std::strtol(end + 1, &last, 10);
        if (last != end + 1 && *last == '\0') {
            ippAddRange(request, group, name, static_cast<int>(number), static_cast<int>(upper));
            return;
        }
    }
    ippAddString(request, group, IPP_TAG_KEYWORD, name, nullptr, value);
}

}  // namespace

AppServer::AppServer(std::vector<std::string> extraOptions, std::vector<std::string> environment, std::string runAs)
    : extra(std::move(extraOptions)), environment(std::move(environment)), user(std::move(runAs))
{
    // The control socket is named after the program: a link of its own name
    // keeps servers of parallel tests apart.
    program = dir.File("dwapp-" + Uniquely());
    std::filesystem::create_symlink(DOTWEAVE_APP_PATH, program);
    std::filesystem::create_directory(dir.File("spool"));
    if (const passwd *entry = user.empty() ? nullptr : getpwnam(user.c_str()); entry != nullptr) {
        for (const std::string &folder : {dir.path(), dir.File("spool")})
            if (chown(folder.c_str(), entry->pw_uid, entry->pw_gid) != 0)
                throw std::runtime_error("cannot give " + folder + " to " + user);
    }
    port = FreePort();
    Start();
}

AppServer::~AppServer()
{
    Stop();
    // A sub-command that finds no server starts a private one of its own:
    // end any process still running this server's program name.
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string commandLine = ReadFileBytes(entry.path().string() + "/cmdline");
        if (commandLine.compare(0, program.size() + 1, program + '\0') == 0) {
            const pid_t stray = static_cast<pid_t>(std::stol(name));
            kill(stray, SIGKILL);
            waitpid(stray, nullptr, WNOHANG);
        }
    }
}

void AppServer::Start()
{
    std::vector<std::string> args = {program, "server", "-o", "server-port=" + std::to_string(port),
                                     "-o", "log-file=" + dir.File("server.log"), "-o", "log-level=debug",
                                     "-o", "spool-directory=" + dir.File("spool"),
                                     "-o", "state-file=" + dir.File("state"),
                                     "-o", "jobfile-directory=" + dir.path()};
    for (const std::string &option : extra) {
        args.push_back("-o");
        args.push_back(option);
    }
    pid = Spawn(args, dir.path(), dir.File("server.out"), user, environment);
    // Ready once it answers IPP on its port.
    for (int i = 0; i < 200; ++i) {
        if (http_t *http = Connect(port); http != nullptr) {
            ipp_t *request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
            const std::string uri = "ipp://localhost:" + std::to_string(port) + "/ipp/system";
            ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "system-uri", nullptr, uri.c_str());
            ipp_t *response = cupsDoRequest(http, request, "/ipp/system");
            ippDelete(response);
            httpClose(http);
            if (response != nullptr)
                return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    throw std::runtime_error("dotweave-app server did not start: " + ReadFileBytes(dir.File("server.out")));
}

void AppServer::Stop()
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
}

void AppServer::Kill()
{
    if (pid <= 0)
        return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
}

bool AppServer::Running() const
{
    if (pid <= 0)
        return false;
    // Looks without reaping, so Stop still collects the process.
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

std::string AppServer::ControlSocket() const
{
    return "/run/" + std::filesystem::path(program).filename().string() + ".sock";
}

std::string AppServer::PrinterUri(const std::string &printer) const
{
    return "ipp://localhost:" + std::to_string(port) + "/ipp/print/" + printer;
}

std::string AppServer::Log() const
{
    return ReadFileBytes(dir.File("server.log"));
}

std::string AppServer::Problems() const
{
    std::string problems = ReadFileBytes(dir.File("server.out"));
    const std::string log = Log();
    for (size_t start = 0; start < log.size();) {
        size_t end = log.find('\n', start);
        if (end == std::string::npos)
            end = log.size();
        if (log.compare(start, 2, "E ") == 0)
            problems += log.substr(start, end - start + 1);
        start = end + 1;
    }
    return problems;
}

int AppServer::Run(const std::vector<std::string> &args, std::string *output) const
{
    std::vector<std::string> full = {program};
    full.insert(full.end(), args.begin(), args.end());
    const std::string outputPath = dir.File("command-" + Uniquely() + ".out");
    const int status = WaitExit(Spawn(full, dir.path(), outputPath, user));
    if (output != nullptr)
        *output = ReadFileBytes(outputPath);
    std::filesystem::remove(outputPath);
    return status;
}

std::string AppServer::AddFilePrinter(const std::string &name, const std::string &driver) const
{
    const std::string folder = dir.File("out-" + name);
    std::filesystem::create_directory(folder);
    AddPrinter(name, driver, "jobfile:" + folder);
    return folder;
}

void AppServer::AddPrinter(const std::string &name, const std::string &driver, const std::string &deviceUri) const
{
    std::string output;
    if (Run({"add", "-d", name, "-m", driver, "-v", deviceUri}, &output) != 0)
        throw std::runtime_error("cannot add printer " + name + ": " + output + "\n" + Problems());
}

int AppServer::Print(const std::string &printer, const std::string &file, const std::string &format,
                     const std::string &attributes, std::string *status) const
{
    http_t *http = Connect(port);
    if (http == nullptr)
        return 0;
    const std::string uri = PrinterUri(printer);
    ipp_t *request = ippNewRequest(IPP_OP_PRINT_JOB);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, "tester");
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr, format.c_str());
    cups_option_t *options = nullptr;
    const int count = cupsParseOptions(attributes.c_str(), 0, &options);
    for (int i = 0; i < count; ++i)
        AddJobAttribute(request, options[i].name, options[i].value);
    cupsFreeOptions(count, options);
    ipp_t *response = cupsDoFileRequest(http, request, ("/ipp/print/" + printer).c_str(), file.c_str());
    int jobId = 0;
    if (status != nullptr)
        *status = ippErrorString(cupsLastError()) + std::string(" ") + cupsLastErrorString();
    if (response != nullptr && ippGetStatusCode(response) <= IPP_STATUS_OK_EVENTS_COMPLETE)
        jobId = ippGetInteger(ippFindAttribute(response, "job-id", IPP_TAG_INTEGER), 0);
    ippDelete(response);
    httpClose(http);
    return jobId;
}

ipp_jstate_t AppServer::WaitForJob(const std::string &printer, int jobId, int seconds) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline && Running()) {
        if (const ipp_jstate_t state = JobState(printer, jobId); state >= IPP_JSTATE_STOPPED)
            return state;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return static_cast<ipp_jstate_t>(0);
}

ipp_jstate_t AppServer::JobState(const std::string &printer, int jobId) const
{
    http_t *http = Connect(port);
    if (http == nullptr)
        return static_cast<ipp_jstate_t>(0);
    ipp_t *response = cupsDoRequest(http, JobRequest(IPP_OP_GET_JOB_ATTRIBUTES, PrinterUri(printer), jobId),
                                    ("/ipp/print/" + printer).c_str());
    const auto state = static_cast<ipp_jstate_t>(ippGetInteger(ippFindAttribute(response, "job-state", IPP_TAG_ENUM), 0));
    ippDelete(response);
    httpClose(http);
    return state;
}

ipp_status_t AppServer::JobOperation(ipp_op_t operation, const std::string &printer, int jobId) const
{
    http_t *http = Connect(port);
    if (http == nullptr)
        return IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
    ippDelete(cupsDoRequest(http, JobRequest(operation, PrinterUri(printer), jobId), ("/ipp/print/" + printer).c_str()));
    httpClose(http);
    return cupsLastError();
}

std::string AppServer::JobMessage(const std::string &printer, int jobId) const
{
    http_t *http = Connect(port);
    if (http == nullptr)
        return std::string();
    ipp_t *response = cupsDoRequest(http, JobRequest(IPP_OP_GET_JOB_ATTRIBUTES, PrinterUri(printer), jobId),
                                    ("/ipp/print/" + printer).c_str());
    const char *text = ippGetString(ippFindAttribute(response, "job-state-message", IPP_TAG_TEXT), 0, nullptr);
    std::string message = text != nullptr ? text : "";
    ippDelete(response);
    httpClose(http);
    return message;
}

void AppServer::WaitUntilUp(const std::string &printer) const
{
    std::string last = "no answer";
    for (int i = 0; i < 300; ++i) {
        if (http_t *http = Connect(port); http != nullptr) {
            ipp_t *request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
            ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                         PrinterUri(printer).c_str());
            ipp_t *response = cupsDoRequest(http, request, ("/ipp/print/" + printer).c_str());
            const int upTime = ippGetInteger(ippFindAttribute(response, "printer-up-time", IPP_TAG_INTEGER), 0);
            last = std::string(ippErrorString(cupsLastError())) + ", printer-up-time " + std::to_string(upTime);
            ippDelete(response);
            httpClose(http);
            if (upTime >= 1)
                return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    throw std::runtime_error("printer " + printer + " did not come up: " + last + "\n" + Problems());
}

std::vector<std::string> JobFiles(const std::string &folder)
{
    std::vector<std::string> files;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(folder, error))
        if (entry.path().extension() == ".prn")
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> WaitForJobFiles(const std::string &folder, size_t count, int seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::vector<std::string> files = JobFiles(folder);
    while (files.size() < count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        files = JobFiles(folder);
    }
    return files;
}
