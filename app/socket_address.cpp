#include "app/socket_address.h"

#include <cups/cups.h>

std::optional<SocketAddress> ReadSocketAddress(const std::string &uri)
{
    char scheme[32], userpass[256], host[256], resource[256];
    int port = 0;
    if (httpSeparateURI(HTTP_URI_CODING_ALL, uri.c_str(), scheme, sizeof(scheme), userpass, sizeof(userpass), host,
                        sizeof(host), &port, resource, sizeof(resource)) < HTTP_URI_STATUS_OK)
        return std::nullopt;
    SocketAddress address{host};
    if (port > 0)
        address.port = port;
    return address;
}

bool SocketPrinterReachable(const std::string &uri, int timeoutMs)
{
    const std::optional<SocketAddress> address = ReadSocketAddress(uri);
    if (!address)
        return false;
    const std::string service = std::to_string(address->port);
    http_addrlist_t *addresses = httpAddrGetList(address->host.c_str(), AF_UNSPEC, service.c_str());
    if (addresses == nullptr)
        return false;
    int fd = -1;
    const bool reached = httpAddrConnect2(addresses, &fd, timeoutMs, nullptr) != nullptr;
    if (fd >= 0)
        httpAddrClose(nullptr, fd);
    httpAddrFreeList(addresses);
    return reached;
}
