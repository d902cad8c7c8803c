#pragma once

#include <string>

// Whether a socket:// printer takes a connection within timeoutMs. PAPPL's
// own connection attempt waits up to 30 seconds, too long for a client
// asking for a printer's attributes while the printer is switched off.
bool SocketPrinterReachable(const std::string &uri, int timeoutMs);
