#pragma once

#include <pappl/pappl.h>

#include <string>

// Who may do what, for every client. Printing, reading status and handling
// one's own jobs are open to everyone; administration (adding, changing and
// deleting printers, their defaults and media, pausing and resuming, other
// users' jobs) needs root, the user the server runs as, or a member of the
// administrators' group. Over TCP an administrator logs in with a password
// checked through PAM (Basic authentication); on the control socket the
// peer's credentials say who it is, so `sudo dotweave-app ...` needs no
// password.
class AdminLogin {
public:
    explicit AdminLogin(std::string pamService) : service(std::move(pamService)) {}

    // PAPPL's authorization callback for TCP clients; `data` is the AdminLogin.
    static http_status_t Authorize(pappl_client_t *client, const char *group, gid_t groupId, void *data);

    // The same decision for a client of the control socket.
    static http_status_t AuthorizePeer(pappl_client_t *client, const char *group, gid_t groupId);

    // Whether the user's password is right, by the PAM service.
    bool PasswordIsRight(const std::string &user, const std::string &password) const;

private:
    std::string service;
};
