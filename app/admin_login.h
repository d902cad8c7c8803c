#pragma once

#include <pappl/pappl.h>

#include <string>

// Who may do what when the server is on the network: printing, reading
// status and handling one's own jobs need nothing; administration (adding,
// changing and deleting printers and defaults, other users' jobs) needs the
// password of a user in the administrators' group, checked through PAM.
class AdminLogin {
public:
    explicit AdminLogin(std::string pamService) : service(std::move(pamService)) {}

    // PAPPL's authorization callback; `data` is the AdminLogin.
    static http_status_t Authorize(pappl_client_t *client, const char *group, gid_t groupId, void *data);

    // Whether the user's password is right, by the PAM service.
    bool PasswordIsRight(const std::string &user, const std::string &password) const;

private:
    std::string service;
};
