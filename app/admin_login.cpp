#include "app/admin_login.h"

#include <grp.h>
#include <pwd.h>
#include <security/pam_appl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace {

// PAM's conversation: the user name and password from the request, nothing else.
struct Credentials {
    const std::string *user;
    const std::string *password;
};

int Converse(int count, const pam_message **messages, pam_response **responses, void *data)
{
    const auto *credentials = static_cast<const Credentials *>(data);
    // PAM frees the answers with free(): they are allocated the C way.
    auto *answers = static_cast<pam_response *>(std::calloc(static_cast<size_t>(count), sizeof(pam_response)));
    if (answers == nullptr)
        return PAM_BUF_ERR;
    for (int i = 0; i < count; ++i) {
        switch (messages[i]->msg_style) {
        case PAM_PROMPT_ECHO_ON: answers[i].resp = strdup(credentials->user->c_str()); break;
        case PAM_PROMPT_ECHO_OFF: answers[i].resp = strdup(credentials->password->c_str()); break;
        default: break;
        }
    }
    *responses = answers;
    return PAM_SUCCESS;
}

constexpr gid_t kNoGroup = static_cast<gid_t>(-1);

// Whether the user administers this server: root, the user the server runs
// as (who could change its files and process anyway: a server started by
// hand is its own user's), or a member of the group.
bool IsMember(const passwd &user, gid_t groupId)
{
    if (user.pw_uid == 0 || user.pw_uid == geteuid())
        return true;
    if (groupId == kNoGroup)
        return false;
    if (user.pw_gid == groupId)
        return true;
    int count = 64;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    if (getgrouplist(user.pw_name, user.pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<size_t>(count));
        if (getgrouplist(user.pw_name, user.pw_gid, groups.data(), &count) < 0)
            return false;
    }
    for (int i = 0; i < count; ++i)
        if (groups[static_cast<size_t>(i)] == groupId)
            return true;
    return false;
}

bool UserIsMember(const std::string &name, gid_t groupId)
{
    passwd entry{};
    passwd *found = nullptr;
    std::vector<char> buffer(16384);
    return getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
           IsMember(entry, groupId);
}

gid_t GroupId(const char *name)
{
    group entry{};
    group *found = nullptr;
    std::vector<char> buffer(16384);
    if (name == nullptr || getgrnam_r(name, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr)
        return kNoGroup;
    return entry.gr_gid;
}

bool IsReading(ipp_op_t operation)
{
    switch (operation) {
    case IPP_OP_GET_JOB_ATTRIBUTES:
    case IPP_OP_GET_JOBS:
    case IPP_OP_GET_PRINTER_ATTRIBUTES:
    case IPP_OP_GET_PRINTER_SUPPORTED_VALUES:
    case IPP_OP_GET_SYSTEM_ATTRIBUTES:
    case IPP_OP_GET_PRINTERS: return true;
    default: return false;
    }
}

// Operations that change a printer for everyone, which PAPPL 1.3.1 checks
// against the printing group only.
bool IsAdministrationPapplLeavesOpen(ipp_op_t operation)
{
    return operation == IPP_OP_DISABLE_PRINTER || operation == IPP_OP_ENABLE_PRINTER ||
           operation == IPP_OP_CANCEL_CURRENT_JOB;
}

// The group whose members may make the request, or none when it is open to
// everyone. PAPPL names a group for administration and for other users'
// jobs; its web pages have no IPP request.
std::optional<gid_t> RequiredGroup(pappl_client_t *client, const char *group, gid_t groupId)
{
    ipp_t *request = papplClientGetRequest(client);
    const ipp_op_t operation = request != nullptr ? ippGetOperation(request) : IPP_OP_CUPS_INVALID;
    if (request != nullptr && IsReading(operation))
        return std::nullopt;
    if (group != nullptr && *group != '\0')
        return groupId;
    if (request != nullptr && IsAdministrationPapplLeavesOpen(operation)) {
        char name[256] = "";
        return GroupId(papplSystemGetAdminGroup(papplClientGetSystem(client), name, sizeof(name)));
    }
    return std::nullopt;
}

struct Login {
    std::string user;
    std::string password;
};

std::optional<Login> BasicLogin(pappl_client_t *client)
{
    const char *field = httpGetField(papplClientGetHTTP(client), HTTP_FIELD_AUTHORIZATION);
    if (field == nullptr || std::strncmp(field, "Basic ", 6) != 0)
        return std::nullopt;
    field += 6;
    while (std::isspace(static_cast<unsigned char>(*field)))
        ++field;
    char decoded[512];
    int length = sizeof(decoded);
    if (httpDecode64_2(decoded, &length, field) == nullptr || length <= 0)
        return std::nullopt;
    const std::string pair(decoded, static_cast<size_t>(length));
    const size_t colon = pair.find(':');
    if (colon == std::string::npos || colon == 0)
        return std::nullopt;
    return Login{pair.substr(0, colon), pair.substr(colon + 1)};
}

// Over TCP nothing proves who sends an open request: its jobs belong to the
// name it gives, as in CUPS, so that it can cancel them again.
void TakeRequestingUserName(pappl_client_t *client)
{
    ipp_t *request = papplClientGetRequest(client);
    ipp_attribute_t *name =
        request != nullptr ? ippFindAttribute(request, "requesting-user-name", IPP_TAG_NAME) : nullptr;
    papplClientSetUsername(client, name != nullptr ? ippGetString(name, 0, nullptr) : nullptr);
}

}  // namespace

bool AdminLogin::PasswordIsRight(const std::string &user, const std::string &password) const
{
    Credentials credentials{&user, &password};
    const pam_conv conversation{Converse, &credentials};
    pam_handle_t *pam = nullptr;
    if (pam_start(service.c_str(), user.c_str(), &conversation, &pam) != PAM_SUCCESS)
        return false;
    int status = pam_authenticate(pam, PAM_SILENT);
    if (status == PAM_SUCCESS)
        status = pam_acct_mgmt(pam, PAM_SILENT);
    pam_end(pam, status);
    return status == PAM_SUCCESS;
}

http_status_t AdminLogin::Authorize(pappl_client_t *client, const char *group, gid_t groupId, void *data)
{
    const std::optional<gid_t> required = RequiredGroup(client, group, groupId);
    if (!required) {
        TakeRequestingUserName(client);
        return HTTP_STATUS_CONTINUE;
    }
    const std::optional<Login> login = BasicLogin(client);
    const auto *self = static_cast<const AdminLogin *>(data);
    if (!login || self == nullptr || !self->PasswordIsRight(login->user, login->password)) {
        papplLogClient(client, PAPPL_LOGLEVEL_INFO, "%s needs an administrator's login.",
                       ippOpString(papplClientGetOperation(client)));
        return HTTP_STATUS_UNAUTHORIZED;
    }
    if (!UserIsMember(login->user, *required)) {
        papplLogClient(client, PAPPL_LOGLEVEL_WARN, "User '%s' is not an administrator.", login->user.c_str());
        return HTTP_STATUS_FORBIDDEN;
    }
    papplClientSetUsername(client, login->user.c_str());
    return HTTP_STATUS_CONTINUE;
}

http_status_t AdminLogin::AuthorizePeer(pappl_client_t *client, const char *group, gid_t groupId)
{
    ucred peer{};
    socklen_t size = sizeof(peer);
    if (getsockopt(httpGetFd(papplClientGetHTTP(client)), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
        return HTTP_STATUS_FORBIDDEN;
    passwd entry{};
    passwd *found = nullptr;
    std::vector<char> buffer(16384);
    const bool known = getpwuid_r(peer.uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr;
    // The kernel says who the peer is: the jobs it sends are its own. A user
    // the system does not know owns its jobs by number.
    const std::string name = known ? entry.pw_name : std::to_string(peer.uid);
    papplClientSetUsername(client, name.c_str());
    const std::optional<gid_t> required = RequiredGroup(client, group, groupId);
    if (!required || (known ? IsMember(entry, *required) : peer.uid == 0 || peer.uid == geteuid()))
        return HTTP_STATUS_CONTINUE;
    papplLogClient(client, PAPPL_LOGLEVEL_WARN, "User '%s' is not an administrator.", name.c_str());
    return HTTP_STATUS_FORBIDDEN;
}
