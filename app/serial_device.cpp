#include "app/serial_device.h"

#include "render/write_whole.h"

#include <pappl/pappl.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <glob.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr const char kPrefix[] = "serial:";

struct BaudRow {
    int baud;
    speed_t speed;
};

constexpr BaudRow kBauds[] = {
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

struct SerialPort {
    int fd = -1;
};

bool OpenPort(pappl_device_t *device, const char *uri, const char *)
{
    const std::optional<SerialAddress> address = ParseSerialUri(uri);
    if (!address) {
        papplDeviceError(device, "Bad serial port address '%s'.", uri);
        return false;
    }
    speed_t speed = B0;
    for (const BaudRow &row : kBauds)
        if (row.baud == address->baud)
            speed = row.speed;
    const int fd = open(address->path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        papplDeviceError(device, "Unable to open '%s': %s", address->path.c_str(), std::strerror(errno));
        return false;
    }
    // Raw bytes, eight bits, no parity, no flow control: printer commands are
    // binary and must pass unchanged.
    termios options{};
    if (tcgetattr(fd, &options) == 0) {
        cfmakeraw(&options);
        options.c_cflag |= CLOCAL | CREAD;
        options.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | CSTOPB);
        cfsetispeed(&options, speed);
        cfsetospeed(&options, speed);
        tcsetattr(fd, TCSANOW, &options);
    }
    auto *port = new SerialPort{fd};
    papplDeviceSetData(device, port);
    return true;
}

void ClosePort(pappl_device_t *device)
{
    auto *port = static_cast<SerialPort *>(papplDeviceGetData(device));
    if (port == nullptr)
        return;
    // Everything written reaches the printer before the port closes.
    tcdrain(port->fd);
    close(port->fd);
    delete port;
    papplDeviceSetData(device, nullptr);
}

ssize_t ReadPort(pappl_device_t *device, void *buffer, size_t bytes)
{
    auto *port = static_cast<SerialPort *>(papplDeviceGetData(device));
    if (port == nullptr)
        return -1;
    pollfd waiting{port->fd, POLLIN, 0};
    if (poll(&waiting, 1, 10000) <= 0)
        return -1;
    return read(port->fd, buffer, bytes);
}

ssize_t WritePort(pappl_device_t *device, const void *buffer, size_t bytes)
{
    auto *port = static_cast<SerialPort *>(papplDeviceGetData(device));
    if (port == nullptr)
        return -1;
    if (const int error = WriteWhole(port->fd, buffer, bytes); error != 0) {
        papplDeviceError(device, "Unable to write to the serial port: %s", std::strerror(error));
        return -1;
    }
    return static_cast<ssize_t>(bytes);
}

bool ListPorts(pappl_device_cb_t callback, void *data, pappl_deverror_cb_t, void *)
{
    glob_t found{};
    bool stop = false;
    for (const char *pattern : {"/dev/rfcomm*", "/dev/ttyUSB*", "/dev/ttyACM*"}) {
        if (glob(pattern, 0, nullptr, &found) != 0)
            continue;
        for (size_t i = 0; i < found.gl_pathc && !stop; ++i) {
            const std::string uri = std::string(kPrefix) + found.gl_pathv[i] + "?baud=115200";
            const std::string info = std::string("Serial port ") + found.gl_pathv[i];
            stop = callback(info.c_str(), uri.c_str(), "", data);
        }
        globfree(&found);
        found = glob_t{};
    }
    return stop;
}

}  // namespace

std::optional<SerialAddress> ParseSerialUri(const char *uri)
{
    if (uri == nullptr || std::strncmp(uri, kPrefix, sizeof(kPrefix) - 1) != 0)
        return std::nullopt;
    std::string rest = uri + sizeof(kPrefix) - 1;
    SerialAddress address;
    if (const size_t query = rest.find('?'); query != std::string::npos) {
        const std::string options = rest.substr(query + 1);
        rest.resize(query);
        if (options.rfind("baud=", 0) != 0)
            return std::nullopt;
        char *end = nullptr;
        const long baud = std::strtol(options.c_str() + 5, &end, 10);
        bool known = false;
        for (const BaudRow &row : kBauds)
            known = known || row.baud == baud;
        if (end == nullptr || *end != '\0' || !known)
            return std::nullopt;
        address.baud = static_cast<int>(baud);
    }
    // Only device files: no relative paths, no way out of /dev.
    if (rest.rfind("/dev/", 0) != 0 || rest.find("..") != std::string::npos)
        return std::nullopt;
    address.path = rest;
    return address;
}

void AddSerialScheme()
{
    papplDeviceAddScheme("serial", PAPPL_DEVTYPE_CUSTOM_LOCAL, ListPorts, OpenPort, ClosePort, ReadPort, WritePort,
                         nullptr, nullptr);
}
