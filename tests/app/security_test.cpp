// Who may change the server: root and the administrators' group only, over
// TCP (localhost included) with a password checked through PAM, over the
// control socket by the peer's credentials. Printing, reading and one's own
// jobs stay open to everyone. The server runs as root, the worst case: one
// started by hand with sudo.
#include "app_server.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Local addresses of the sockets listening on a TCP port, from /proc.
std::set<std::string> ListeningAddresses(int port)
{
    std::set<std::string> addresses;
    for (const char *table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state;
            fields >> slot >> local >> remote >> state;
            const size_t colon = local.rfind(':');
            if (state == "0A" && colon != std::string::npos && std::stoi(local.substr(colon + 1), nullptr, 16) == port)
                addresses.insert(local.substr(0, colon));
        }
    }
    return addresses;
}

bool IsLoopback(const std::string &hex)
{
    // 127.0.0.0/8 as /proc writes it (little-endian), and ::1.
    return (hex.size() == 8 && hex.substr(6) == "7F") || hex == "00000000000000000000000001000000";
}

constexpr const char kPassword[] = "Thermal-Paper-42";
constexpr const char kDocument[] = DOTWEAVE_SOURCE_DIR "/samples/photo.png";

// A user with a known password, in the administrators' group or not;
// removed again at the end.
class ThrowawayUser {
public:
    ThrowawayUser(const std::string &suffix, bool administrator) : name("dwt" + std::to_string(getpid()) + suffix)
    {
        const std::string groups = administrator ? " -G lpadmin" : "";
        made = std::system(("useradd -M -s /usr/sbin/nologin" + groups + " " + name).c_str()) == 0 &&
               std::system(("echo '" + name + ":" + kPassword + "' | chpasswd").c_str()) == 0;
    }
    // -f: a process of the user that has not quite ended yet does not keep it.
    ~ThrowawayUser() { std::system(("userdel -f " + name + " 2>/dev/null").c_str()); }
    ThrowawayUser(const ThrowawayUser &) = delete;
    ThrowawayUser &operator=(const ThrowawayUser &) = delete;

    const std::string name;
    bool made = false;
};

// How a request reaches the server: over the control socket as a user of
// this machine (empty: the test's own, root), or over TCP with a login
// (empty: none).
struct Caller {
    std::string label;
    bool socket;
    std::string user;
    std::string password;
};

// libcups reports a 401 it had no password to answer with as 1000.
struct Answer {
    int http = 0;
    ipp_status_t ipp = IPP_STATUS_OK;
    int job = 0;
};

bool Refused(const Answer &answer)
{
    return answer.http == HTTP_STATUS_UNAUTHORIZED || answer.http == HTTP_STATUS_FORBIDDEN ||
           answer.http == HTTP_STATUS_CUPS_AUTHORIZATION_CANCELED;
}

// Carried out, or failed for a reason other than who asked.
bool Allowed(const Answer &answer)
{
    return answer.http == HTTP_STATUS_OK && answer.ipp != IPP_STATUS_ERROR_FORBIDDEN &&
           answer.ipp != IPP_STATUS_ERROR_NOT_AUTHENTICATED && answer.ipp != IPP_STATUS_ERROR_NOT_AUTHORIZED;
}

http_t *Connect(const AppServer &server, bool socket)
{
    return socket ? httpConnect2(server.ControlSocket().c_str(), 0, nullptr, AF_LOCAL, HTTP_ENCRYPTION_NEVER, 1,
                                 10000, nullptr)
                  : httpConnect2("127.0.0.1", server.Port(), nullptr, AF_INET, HTTP_ENCRYPTION_NEVER, 1, 10000,
                                 nullptr);
}

// What follows "Basic " in an Authorization field.
std::string BasicCredentials(const std::string &user, const std::string &password)
{
    const std::string login = user + ":" + password;
    char encoded[256];
    httpEncode64_2(encoded, sizeof(encoded), login.c_str(), static_cast<int>(login.size()));
    return encoded;
}

Answer SendNow(const AppServer &server, const Caller &caller, ipp_t *request, const std::string &resource,
               const char *document)
{
    // libcups asks for a password after a refusal: there is none to give.
    cupsSetPasswordCB2([](const char *, http_t *, const char *, const char *, void *) -> const char * {
        return nullptr;
    }, nullptr);
    http_t *http = Connect(server, caller.socket);
    if (!caller.socket && !caller.user.empty())
        httpSetAuthString(http, "Basic", BasicCredentials(caller.user, caller.password).c_str());
    ipp_t *response = cupsDoFileRequest(http, request, resource.c_str(), document);
    const Answer answer{httpGetStatus(http), cupsLastError(),
                        ippGetInteger(ippFindAttribute(response, "job-id", IPP_TAG_INTEGER), 0)};
    ippDelete(response);
    httpClose(http);
    return answer;
}

// Sends the request as the caller: on the socket as another user, from a
// child process of that user's.
Answer Send(const AppServer &server, const Caller &caller, ipp_t *request, const std::string &resource,
            const char *document = nullptr)
{
    if (!caller.socket || caller.user.empty())
        return SendNow(server, caller, request, resource, document);
    int channel[2];
    if (pipe(channel) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        const passwd *entry = getpwnam(caller.user.c_str());
        if (entry == nullptr || initgroups(entry->pw_name, entry->pw_gid) != 0 || setgid(entry->pw_gid) != 0 ||
            setuid(entry->pw_uid) != 0)
            _exit(1);
        const Answer answer = SendNow(server, caller, request, resource, document);
        _exit(write(channel[1], &answer, sizeof(answer)) == sizeof(answer) ? 0 : 1);
    }
    close(channel[1]);
    ippDelete(request);
    Answer answer{};
    if (read(channel[0], &answer, sizeof(answer)) != sizeof(answer))
        answer = Answer{};
    close(channel[0]);
    waitpid(child, nullptr, 0);
    return answer;
}

bool OnSystem(ipp_op_t operation)
{
    switch (operation) {
    case IPP_OP_CREATE_PRINTER:
    case IPP_OP_DELETE_PRINTER:
    case IPP_OP_SET_SYSTEM_ATTRIBUTES:
    case IPP_OP_GET_PRINTERS:
    case IPP_OP_GET_SYSTEM_ATTRIBUTES:
    case IPP_OP_PAUSE_ALL_PRINTERS:
    case IPP_OP_RESUME_ALL_PRINTERS:
    case IPP_OP_DISABLE_ALL_PRINTERS:
    case IPP_OP_ENABLE_ALL_PRINTERS:
    case IPP_OP_SHUTDOWN_ALL_PRINTERS: return true;
    default: return false;
    }
}

// What an operation works on: `printer` (made by Create-Printer), printer
// `deleted` (by its id), `job` of another user on printer "shop".
struct Target {
    std::string printer;
    int deleted = 0;
    int job = 0;
    std::string folder = {};
};

std::string PrinterOf(ipp_op_t operation, const Target &target)
{
    return operation == IPP_OP_CANCEL_JOB || operation == IPP_OP_GET_JOB_ATTRIBUTES ? "shop" : target.printer;
}

std::string Resource(ipp_op_t operation, const Target &target)
{
    return OnSystem(operation) ? "/ipp/system" : "/ipp/print/" + PrinterOf(operation, target);
}

ipp_t *Request(const AppServer &server, ipp_op_t operation, const Target &target = {"shop"})
{
    ipp_t *request = ippNewRequest(operation);
    if (OnSystem(operation))
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "system-uri", nullptr, "ipp://localhost/ipp/system");
    else
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                     server.PrinterUri(PrinterOf(operation, target)).c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, "tester");
    switch (operation) {
    case IPP_OP_CREATE_PRINTER:
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "printer-service-type", nullptr, "print");
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "smi55357-driver", nullptr, "tspl_203dpi");
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "smi55357-device-uri", nullptr,
                     ("jobfile:" + target.folder).c_str());
        ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_NAME, "printer-name", nullptr, target.printer.c_str());
        break;
    case IPP_OP_SET_PRINTER_ATTRIBUTES:
        ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "media-ready", nullptr, "oe_2x1-label_2x1in");
        ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "halftone-method-default", nullptr, "stucki");
        break;
    case IPP_OP_SET_SYSTEM_ATTRIBUTES:
        ippAddString(request, IPP_TAG_SYSTEM, IPP_TAG_TEXT, "system-location", nullptr, "Changed");
        break;
    case IPP_OP_CANCEL_JOB:
    case IPP_OP_GET_JOB_ATTRIBUTES:
        ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", target.job);
        break;
    case IPP_OP_DELETE_PRINTER:
        ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "printer-id", target.deleted);
        break;
    case IPP_OP_PRINT_JOB:
        // Held, so that it stays to be cancelled.
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr, "image/png");
        ippAddString(request, IPP_TAG_JOB, IPP_TAG_KEYWORD, "job-hold-until", nullptr, "indefinite");
        break;
    default: break;
    }
    return request;
}

// The administrative operations: the first makes the printer the others
// work on; Delete-Printer deletes another one.
constexpr ipp_op_t kAdministration[] = {
    IPP_OP_CREATE_PRINTER,       IPP_OP_SET_PRINTER_ATTRIBUTES, IPP_OP_SET_SYSTEM_ATTRIBUTES,
    IPP_OP_PAUSE_PRINTER,        IPP_OP_RESUME_PRINTER,         IPP_OP_DISABLE_PRINTER,
    IPP_OP_ENABLE_PRINTER,       IPP_OP_HOLD_NEW_JOBS,          IPP_OP_RELEASE_HELD_NEW_JOBS,
    IPP_OP_PAUSE_ALL_PRINTERS,   IPP_OP_RESUME_ALL_PRINTERS,    IPP_OP_DISABLE_ALL_PRINTERS,
    IPP_OP_ENABLE_ALL_PRINTERS,  IPP_OP_CANCEL_JOB,             IPP_OP_CANCEL_JOBS,
    IPP_OP_DELETE_PRINTER};

// The attributes of a query as text, but for the operation group.
std::string Query(const AppServer &server, ipp_op_t operation, const Target &target = {"shop"},
                  const std::vector<const char *> &attributes = {})
{
    ipp_t *request = Request(server, operation, target);
    if (!attributes.empty())
        ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                      static_cast<int>(attributes.size()), nullptr, attributes.data());
    if (operation == IPP_OP_GET_JOBS)
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "all");
    http_t *http = Connect(server, false);
    ipp_t *response = cupsDoRequest(http, request, Resource(operation, target).c_str());
    httpClose(http);
    std::string text;
    for (ipp_attribute_t *attribute = ippFirstAttribute(response); attribute != nullptr;
         attribute = ippNextAttribute(response)) {
        char value[2048];
        ippAttributeString(attribute, value, sizeof(value));
        if (ippGetGroupTag(attribute) != IPP_TAG_OPERATION && ippGetName(attribute) != nullptr)
            text += std::string(ippGetName(attribute)) + "=" + value + "\n";
    }
    ippDelete(response);
    return text;
}

// What an administrator could change: the printers, their settings and
// states, every job's state, the system's settings.
std::string Snapshot(const AppServer &server)
{
    return Query(server, IPP_OP_GET_PRINTERS, {"shop"},
                 {"printer-name", "printer-state", "printer-state-reasons", "printer-is-accepting-jobs",
                  "media-ready", "halftone-method-default"}) +
           Query(server, IPP_OP_GET_SYSTEM_ATTRIBUTES, {"shop"}, {"system-location", "system-default-printer-id"}) +
           Query(server, IPP_OP_GET_JOBS, {"shop"}, {"job-id", "job-state"});
}

class Administration : public testing::Test {
protected:
    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root: the server runs as root, the callers as other users";
        ASSERT_TRUE(administrator.made && user.made) << "useradd failed";
        folder = server.AddFilePrinter("shop", "tspl_203dpi");
        for (const char *spare : {"spare1", "spare2", "spare3"})
            server.AddPrinter(spare, "tspl_203dpi", "jobfile:" + folder);
        // PAPPL 1.3.1 reports printer-id 0 for a printer made since the
        // server started, and Delete-Printer needs the id.
        server.Stop();
        server.Start();
        server.WaitUntilUp("shop");
    }

    // A held job would keep the server from stopping.
    void TearDown() override { server.Run({"cancel", "-d", "shop", "-a"}); }

    // A job of another user, held.
    int HeldJob() const
    {
        ipp_t *request = Request(server, IPP_OP_PRINT_JOB);
        ipp_attribute_t *owner = ippFindAttribute(request, "requesting-user-name", IPP_TAG_NAME);
        ippSetString(request, &owner, 0, "someone-else");
        return Send(server, {"root", false, "", ""}, request, "/ipp/print/shop", kDocument).job;
    }

    int PrinterId(const std::string &printer) const
    {
        const std::string text = Query(server, IPP_OP_GET_PRINTER_ATTRIBUTES, {printer}, {"printer-id"});
        const size_t found = text.find("printer-id=");
        return found != std::string::npos ? std::stoi(text.substr(found + 11)) : 0;
    }

    ThrowawayUser administrator{"a", true};
    ThrowawayUser user{"u", false};
    AppServer server{{"admin-group=lpadmin"}};
    std::string folder;
};

TEST_F(Administration, OthersAreRefusedAndChangeNothingButPrintAndCancelTheirOwnJobs)
{
    const std::vector<Caller> callers = {
        {"nobody on the socket", true, "nobody", ""},
        {"no login over TCP", false, "", ""},
        {"a user who is no administrator, over TCP", false, user.name, kPassword},
        {"an administrator with a wrong password, over TCP", false, administrator.name, "wrong"},
    };
    const Target target{"intruder", PrinterId("shop"), HeldJob(), folder};
    ASSERT_GT(target.job, 0);
    const std::string before = Snapshot(server);
    for (const Caller &caller : callers) {
        for (const ipp_op_t operation : kAdministration) {
            // A login is checked alike for every operation (and a wrong
            // password costs PAM's delay): two show it.
            if (!caller.password.empty() && operation != IPP_OP_SET_PRINTER_ATTRIBUTES &&
                operation != IPP_OP_CANCEL_JOB)
                continue;
            const Target on = operation == IPP_OP_CREATE_PRINTER ? target : Target{"shop", target.deleted, target.job};
            const Answer answer = Send(server, caller, Request(server, operation, on), Resource(operation, on));
            EXPECT_TRUE(Refused(answer)) << caller.label << ": " << ippOpString(operation) << " answered HTTP "
                                         << answer.http << ", " << ippErrorString(answer.ipp);
        }
        if (caller.password.empty()) {
            EXPECT_TRUE(Refused(Send(server, caller, Request(server, IPP_OP_SHUTDOWN_ALL_PRINTERS), "/ipp/system")))
                << caller.label << ": Shutdown-All-Printers";
        }
    }
    EXPECT_EQ(Snapshot(server), before);

    for (const Caller &caller : callers) {
        const Answer printed = Send(server, caller, Request(server, IPP_OP_PRINT_JOB), "/ipp/print/shop", kDocument);
        ASSERT_GT(printed.job, 0) << caller.label << " cannot print: " << ippErrorString(printed.ipp);
        const Answer cancelled =
            Send(server, caller, Request(server, IPP_OP_CANCEL_JOB, {"shop", 0, printed.job}), "/ipp/print/shop");
        EXPECT_EQ(cancelled.ipp, IPP_STATUS_OK) << caller.label << " cannot cancel their own job";
    }
}

TEST_F(Administration, RootAndAdministratorsAreAllowed)
{
    const std::vector<Caller> callers = {
        {"root on the socket", true, "", ""},
        {"an administrator on the socket", true, administrator.name, ""},
        {"an administrator with a password over TCP", false, administrator.name, kPassword},
    };
    int round = 0;
    for (const Caller &caller : callers) {
        ++round;
        const std::string spare = "spare" + std::to_string(round);
        const Target target{"made" + std::to_string(round), PrinterId(spare), HeldJob(), folder};
        ASSERT_GT(target.job, 0);
        for (const ipp_op_t operation : kAdministration) {
            const Answer answer = Send(server, caller, Request(server, operation, target), Resource(operation, target));
            EXPECT_TRUE(Allowed(answer)) << caller.label << ": " << ippOpString(operation) << " answered HTTP "
                                         << answer.http << ", " << ippErrorString(answer.ipp);
        }
        EXPECT_NE(Query(server, IPP_OP_GET_PRINTER_ATTRIBUTES, target).find("halftone-method-default=stucki"),
                  std::string::npos)
            << caller.label << ": the printer was not made or changed";
        EXPECT_EQ(PrinterId(spare), 0) << caller.label << ": the printer is still there";
        EXPECT_NE(Query(server, IPP_OP_GET_JOB_ATTRIBUTES, target, {"job-state"}).find("job-state=canceled"),
                  std::string::npos)
            << caller.label << ": another user's job was not cancelled";
    }
}

// A web page over TCP with a login when `user` is given; a form is posted.
int WebStatus(const AppServer &server, const std::string &path, const std::string &form = "",
              const std::string &user = "", std::string *body = nullptr)
{
    http_t *http = Connect(server, false);
    httpClearFields(http);
    httpSetField(http, HTTP_FIELD_HOST, "localhost");
    if (!user.empty())
        httpSetField(http, HTTP_FIELD_AUTHORIZATION, ("Basic " + BasicCredentials(user, kPassword)).c_str());
    if (form.empty()) {
        httpGet(http, path.c_str());
    } else {
        httpSetField(http, HTTP_FIELD_CONTENT_TYPE, "application/x-www-form-urlencoded");
        httpSetLength(http, form.size());
        httpPost(http, path.c_str());
        httpWrite2(http, form.data(), form.size());
    }
    http_status_t status;
    while ((status = httpUpdate(http)) == HTTP_STATUS_CONTINUE) {
    }
    char buffer[8192];
    for (ssize_t bytes; (bytes = httpRead2(http, buffer, sizeof(buffer))) > 0;)
        if (body != nullptr)
            body->append(buffer, static_cast<size_t>(bytes));
    httpClose(http);
    return status;
}

// The buttons of a printer's page and the settings pages are the
// administrator's, as over IPP.
TEST_F(Administration, WebPagesAskForAnAdministratorsLogin)
{
    std::string home;
    ASSERT_EQ(WebStatus(server, "/shop/", "", "", &home), HTTP_STATUS_OK);
    const std::string marker = "name=\"session\" value=\"";
    ASSERT_NE(home.find(marker), std::string::npos) << "no form on the printer's page";
    const std::string pause = "session=" + home.substr(home.find(marker) + marker.size(), 64) + "&action=pause-printer";
    const auto paused = [&] { return Snapshot(server).find("printer-state=stopped") != std::string::npos; };

    EXPECT_EQ(WebStatus(server, "/shop/", pause), HTTP_STATUS_UNAUTHORIZED);
    EXPECT_EQ(WebStatus(server, "/shop/", pause, user.name), HTTP_STATUS_FORBIDDEN);
    EXPECT_EQ(WebStatus(server, "/shop/printing"), HTTP_STATUS_UNAUTHORIZED);
    EXPECT_FALSE(paused()) << "paused by a user who is no administrator";
    EXPECT_EQ(WebStatus(server, "/shop/", pause, administrator.name), HTTP_STATUS_OK);
    EXPECT_TRUE(paused()) << "not paused by an administrator";
    EXPECT_EQ(WebStatus(server, "/shop/printing", "", administrator.name), HTTP_STATUS_OK);
}

// A server started by hand is its user's: that user administers it, as root
// administers root's.
TEST_F(Administration, TheUserWhoRunsAServerAdministersIt)
{
    AppServer own({}, {}, user.name);
    EXPECT_EQ(own.Run({"add", "-d", "mine", "-m", "tspl_203dpi", "-v", "jobfile:" + own.Dir().path()}), 0)
        << own.Problems();
}

TEST(Security, ListensOnThisMachineOnlyByDefault)
{
    AppServer server;
    const std::set<std::string> addresses = ListeningAddresses(server.Port());
    ASSERT_FALSE(addresses.empty());
    for (const std::string &address : addresses)
        EXPECT_TRUE(IsLoopback(address)) << address;
}

TEST(Security, ServesTheNetworkWhenAsked)
{
    AppServer server({"listen-hostname=*"});
    std::set<std::string> addresses = ListeningAddresses(server.Port());
    EXPECT_TRUE(addresses.count("00000000") + addresses.count("00000000000000000000000000000000") > 0);
    server.AddFilePrinter("shared", "tspl_203dpi");
    std::string why;
    const int job = server.Print("shared", kDocument, "image/png", "", &why);
    ASSERT_GT(job, 0) << why;
    EXPECT_EQ(server.WaitForJob("shared", job), IPP_JSTATE_COMPLETED);
}

}  // namespace
