#pragma once

#include <pappl/pappl.h>

#include <optional>
#include <string>
#include <sys/types.h>

// Serial ports as PAPPL devices: "serial:/dev/rfcomm0?baud=115200". Pocket
// printers pair over Bluetooth as an RFCOMM serial port.
struct SerialAddress {
    std::string path;
    int baud = 115200;
};

// Empty for a URI that is not a serial port address.
std::optional<SerialAddress> ParseSerialUri(const char *uri);

// Why the device file is not a serial line (a terminal device: USB serial,
// ACM, Bluetooth RFCOMM, a pseudo-terminal), followed through symbolic
// links; empty when it is one. A disk, /dev/null or /dev/mem is never
// written to, by an administrator neither. `device` receives the device
// number that was checked.
std::string SerialLineProblem(const std::string &path, dev_t *device = nullptr);

void AddSerialScheme();

// The open line of a serial device, for waiting on its answers; -1 when
// closed. Only for a device opened from a serial: address.
int SerialPortFd(pappl_device_t *device);
