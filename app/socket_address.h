#pragma once

#include <optional>
#include <string>

// Where a socket:// printer listens.
struct SocketAddress {
    std::string host;
    int port = 9100;
};

// The host and port of a socket:// address; none if it cannot be read.
std::optional<SocketAddress> ReadSocketAddress(const std::string &uri);

// Whether a socket:// printer takes a connection within timeoutMs. PAPPL's
// own connection attempt waits up to 30 seconds, too long for a client
// asking for a printer's attributes while the printer is switched off.
bool SocketPrinterReachable(const std::string &uri, int timeoutMs);
