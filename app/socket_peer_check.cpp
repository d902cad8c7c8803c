// PAPPL 1.3.1 lets every client of its control socket administer the server:
// its authorization check answers "local access is always allowed" before it
// asks the application's callback. Nothing public sees the request first,
// and the socket's permissions cannot stand in: a root server's socket is
// /run/NAME.sock, which PAPPL creates with mode 0777 after the application's
// set-up has returned and serves at once, and any user may print and read
// status through it. So this executable's own definition of that check runs
// first (PAPPL reaches it through its symbol table): a client of the socket
// is the user the kernel names as its peer, and gets what that user may do;
// every other client goes on to PAPPL's check and the login callback.
#include "app/admin_login.h"

#include <pappl/pappl.h>

#include <dlfcn.h>
#include <sys/socket.h>

namespace {

using GroupCheck = http_status_t (*)(pappl_client_t *, bool, const char *, gid_t);

}  // namespace

extern "C" __attribute__((visibility("default"))) http_status_t
_papplClientIsAuthorizedForGroup(pappl_client_t *client, bool allowRemote, const char *group, gid_t groupId)
{
    if (client != nullptr && httpAddrFamily(httpGetAddress(papplClientGetHTTP(client))) == AF_LOCAL)
        return AdminLogin::AuthorizePeer(client, group, groupId);
    static const auto pappls = reinterpret_cast<GroupCheck>(dlsym(RTLD_NEXT, "_papplClientIsAuthorizedForGroup"));
    return pappls != nullptr ? pappls(client, allowRemote, group, groupId) : HTTP_STATUS_FORBIDDEN;
}
