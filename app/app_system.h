#pragma once

#include <pappl/pappl.h>

// Creates the server from the "server" sub-command's -o options:
//   server-port, listen-hostname (default localhost; "*" serves every
//   network interface, with TLS), auth-service (PAM service that checks
//   administrators' passwords, default "login"), admin-group,
//   jobfile-directory (the folder job-file devices may write into; none
//   by default), control-socket (a further control socket, for a service
//   that is not root), log-file, log-level, max-log-size (bytes; 0: no
//   limit), spool-directory, state-file.
pappl_system_t *CreateSystem(int numOptions, cups_option_t *options, void *data);
