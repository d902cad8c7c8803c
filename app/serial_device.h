#pragma once

#include <optional>
#include <string>

// Serial ports as PAPPL devices: "serial:/dev/rfcomm0?baud=115200". Pocket
// printers pair over Bluetooth as an RFCOMM serial port.
struct SerialAddress {
    std::string path;
    int baud = 115200;
};

// Empty for a URI that is not a serial port address.
std::optional<SerialAddress> ParseSerialUri(const char *uri);

void AddSerialScheme();
