#include "app/serial_device.h"

#include "render/write_whole.h"

#include <pappl/pappl.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <glob.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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

// Device numbers of terminals that are not serial lines: /dev/tty,
// /dev/console and /dev/ptmx (major 5), the virtual consoles (major 4 below
// minor 64; the serial ports ttyS start there).
bool IsConsole(unsigned major, unsigned minor)
{
    return major == 5 || (major == 4 && minor < 64);
}

// Whether the character device is a terminal, known without opening it
// (opening some devices acts: a watchdog starts counting). The kernel lists
// every terminal driver's devices under the tty class in sysfs, but for
// pseudo-terminals, which have majors of their own.
bool IsTerminal(unsigned major, unsigned minor)
{
    constexpr unsigned kFirstPtyMajor = 136, kLastPtyMajor = 143;
    if (major >= kFirstPtyMajor && major <= kLastPtyMajor)
        return true;
    const std::string link = "/sys/dev/char/" + std::to_string(major) + ":" + std::to_string(minor) + "/subsystem";
    char target[PATH_MAX];
    const ssize_t length = readlink(link.c_str(), target, sizeof(target) - 1);
    if (length <= 0)
        return false;
    const std::string subsystem(target, static_cast<size_t>(length));
    return subsystem.size() >= 4 && subsystem.compare(subsystem.size() - 4, 4, "/tty") == 0;
}

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
    dev_t checked = 0;
    if (const std::string problem = SerialLineProblem(address->path, &checked); !problem.empty()) {
        papplDeviceError(device, "%s", problem.c_str());
        return false;
    }
    const int fd = open(address->path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        papplDeviceError(device, "Unable to open '%s': %s", address->path.c_str(), std::strerror(errno));
        return false;
    }
    // What was opened must be what was checked: a link may have changed.
    struct stat opened{};
    if (fstat(fd, &opened) != 0 || !S_ISCHR(opened.st_mode) || opened.st_rdev != checked || !isatty(fd)) {
        close(fd);
        papplDeviceError(device, "%s is not a serial line.", address->path.c_str());
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

}  // namespace

int SerialPortFd(pappl_device_t *device)
{
    const auto *port = static_cast<const SerialPort *>(papplDeviceGetData(device));
    return port != nullptr ? port->fd : -1;
}

namespace {

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

std::string SerialLineProblem(const std::string &path, dev_t *device)
{
    struct stat info{};
    if (stat(path.c_str(), &info) != 0)
        return path + ": " + std::strerror(errno) + ".";
    if (S_ISBLK(info.st_mode))
        return path + " is a block device (a disk), not a serial line.";
    if (!S_ISCHR(info.st_mode))
        return path + " is not a device, not a serial line.";
    const unsigned major = ::major(info.st_rdev);
    const unsigned minor = ::minor(info.st_rdev);
    if (IsConsole(major, minor))
        return path + " is a console, not a serial line.";
    if (!IsTerminal(major, minor))
        return path + " is not a terminal device, not a serial line.";
    if (device != nullptr)
        *device = info.st_rdev;
    return {};
}

void AddSerialScheme()
{
    papplDeviceAddScheme("serial", PAPPL_DEVTYPE_CUSTOM_LOCAL, ListPorts, OpenPort, ClosePort, ReadPort, WritePort,
                         nullptr, nullptr);
}
