#include "app/admin_login.h"

#include <grp.h>
#include <pwd.h>
#include <security/pam_appl.h>
#include <sys/socket.h>

#include <cstdlib>
#include <cstring>
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

bool InGroup(const std::string &user, gid_t groupId)
{
    passwd entry{};
    passwd *found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwnam_r(user.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr)
        return false;
    if (entry.pw_uid == 0 || entry.pw_gid == groupId)
        return true;
    int count = 64;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    if (getgrouplist(user.c_str(), entry.pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<size_t>(count));
        if (getgrouplist(user.c_str(), entry.pw_gid, groups.data(), &count) < 0)
            return false;
    }
    for (int i = 0; i < count; ++i)
        if (groups[static_cast<size_t>(i)] == groupId)
            return true;
    return false;
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
    // PAPPL names a group only for administration and for other users' jobs;
    // printing and reading status stay open.
    if (group == nullptr || *group == '\0' || IsReading(papplClientGetOperation(client)))
        return HTTP_STATUS_CONTINUE;
    http_t *http = papplClientGetHTTP(client);
    // The control socket belongs to this machine's administrator.
    if (httpAddrFamily(httpGetAddress(http)) == AF_LOCAL)
        return HTTP_STATUS_CONTINUE;

    const char *field = httpGetField(http, HTTP_FIELD_AUTHORIZATION);
    if (field == nullptr || std::strncmp(field, "Basic ", 6) != 0)
        return HTTP_STATUS_UNAUTHORIZED;
    char decoded[512];
    int length = sizeof(decoded);
    httpDecode64_2(decoded, &length, field + 6);
    const std::string pair(decoded, static_cast<size_t>(length > 0 ? length : 0));
    const size_t colon = pair.find(':');
    if (colon == std::string::npos)
        return HTTP_STATUS_UNAUTHORIZED;
    const std::string user = pair.substr(0, colon);
    const std::string password = pair.substr(colon + 1);

    const auto *login = static_cast<const AdminLogin *>(data);
    if (login == nullptr || !login->PasswordIsRight(user, password))
        return HTTP_STATUS_UNAUTHORIZED;
    if (!InGroup(user, groupId))
        return HTTP_STATUS_FORBIDDEN;
    papplClientSetUsername(client, user.c_str());
    return HTTP_STATUS_CONTINUE;
}
