#include "app/socket_reach.h"

#include <cups/cups.h>

bool SocketPrinterReachable(const std::string &uri, int timeoutMs)
{
    char scheme[32], userpass[256], host[256], resource[256];
    int port = 0;
    if (httpSeparateURI(HTTP_URI_CODING_ALL, uri.c_str(), scheme, sizeof(scheme), userpass, sizeof(userpass), host,
                        sizeof(host), &port, resource, sizeof(resource)) < HTTP_URI_STATUS_OK)
        return false;
    const std::string service = std::to_string(port > 0 ? port : 9100);
    http_addrlist_t *addresses = httpAddrGetList(host, AF_UNSPEC, service.c_str());
    if (addresses == nullptr)
        return false;
    int fd = -1;
    const bool reached = httpAddrConnect2(addresses, &fd, timeoutMs, nullptr) != nullptr;
    if (fd >= 0)
        httpAddrClose(nullptr, fd);
    httpAddrFreeList(addresses);
    return reached;
}
