#include "app/device_reader.h"

#include "app/serial_device.h"
#include "app/socket_address.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>

namespace {

// On USB and the network a printer answers within milliseconds; a
// Bluetooth serial link may first have to wake and reconnect.
constexpr int kWiredTimeoutMs = 500;
constexpr int kBluetoothTimeoutMs = 2000;

// PAPPL's socket device keeps its connection's descriptor first in its
// device data. That is not part of its interface, so the descriptor is
// taken only once it is shown to be a TCP connection to the address's port;
// otherwise the printer is not asked.
int SocketFd(pappl_device_t *device, const char *uri)
{
    const int *data = static_cast<const int *>(papplDeviceGetData(device));
    if (data == nullptr)
        return -1;
    const std::optional<SocketAddress> address = ReadSocketAddress(uri);
    if (!address)
        return -1;
    const int fd = *data;
    int type = 0;
    socklen_t size = sizeof(type);
    if (fd < 0 || getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &size) != 0 || type != SOCK_STREAM)
        return -1;
    sockaddr_storage peer{};
    socklen_t peerSize = sizeof(peer);
    if (getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &peerSize) != 0)
        return -1;
    int peerPort = -1;
    if (peer.ss_family == AF_INET)
        peerPort = ntohs(reinterpret_cast<const sockaddr_in &>(peer).sin_port);
    else if (peer.ss_family == AF_INET6)
        peerPort = ntohs(reinterpret_cast<const sockaddr_in6 &>(peer).sin6_port);
    return peerPort == address->port ? fd : -1;
}

bool Waiting(int fd, int timeoutMs)
{
    pollfd waiting{fd, POLLIN, 0};
    int ready;
    while ((ready = poll(&waiting, 1, timeoutMs)) < 0 && errno == EINTR) {
    }
    return ready > 0 && (waiting.revents & POLLIN) != 0;
}

}  // namespace

std::optional<DeviceReader> DeviceReader::For(pappl_device_t *device, const char *uri)
{
    if (device == nullptr || uri == nullptr)
        return std::nullopt;
    const std::string address = uri;
    if (!Reads(address))
        return std::nullopt;
    if (address.rfind("socket://", 0) == 0) {
        const int fd = SocketFd(device, uri);
        return fd >= 0 ? std::optional<DeviceReader>(DeviceReader(device, fd, kWiredTimeoutMs)) : std::nullopt;
    }
    const int fd = SerialPortFd(device);
    const bool bluetooth = address.find("rfcomm") != std::string::npos;
    return fd >= 0 ? std::optional<DeviceReader>(
                         DeviceReader(device, fd, bluetooth ? kBluetoothTimeoutMs : kWiredTimeoutMs))
                   : std::nullopt;
}

bool DeviceReader::Reads(const std::string &uri)
{
    return uri.rfind("socket://", 0) == 0 || uri.rfind("serial:", 0) == 0;
}

void DeviceReader::Drain()
{
    uint8_t buffer[256];
    // Bounded: a printer streaming without end is not drained for ever.
    for (int reads = 0; reads < 64 && Waiting(fd, 0); ++reads)
        if (papplDeviceRead(device, buffer, sizeof(buffer)) <= 0)
            break;
}

bool DeviceReader::Ask(std::span<const uint8_t> question, std::span<uint8_t> answer)
{
    return Send(question) && Read(answer, timeoutMs);
}

bool DeviceReader::Send(std::span<const uint8_t> question)
{
    if (papplDeviceWrite(device, question.data(), question.size()) < 0)
        return false;
    papplDeviceFlush(device);
    return true;
}

bool DeviceReader::Read(std::span<uint8_t> answer, int waitMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    size_t got = 0;
    while (got < answer.size()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (!Waiting(fd, left > 0 ? static_cast<int>(left) : 0))
            return false;
        const ssize_t read = papplDeviceRead(device, answer.data() + got, answer.size() - got);
        if (read <= 0)
            return false;
        got += static_cast<size_t>(read);
    }
    return true;
}
