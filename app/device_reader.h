#pragma once

#include <pappl/pappl.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

// Reads a printer's answers through the device a job prints through, each
// wait bounded: PAPPL's own reads wait up to 10 seconds, and a printer
// that never answers must not hold a job that long.
class DeviceReader {
public:
    // A reader for an open device with that address; none for a device
    // whose answers cannot be waited for within a bound (USB, job files).
    static std::optional<DeviceReader> For(pappl_device_t *device, const char *uri);
    // Whether a device with that address is one a reader is made for.
    static bool Reads(const std::string &uri);

    // Discards what the printer sent unasked, or too late for an earlier
    // question, so it is not taken for the next answer.
    void Drain();
    // Sends the question and reads exactly answer.size() bytes; false when
    // they do not all come within the time limit.
    bool Ask(std::span<const uint8_t> question, std::span<uint8_t> answer);
    // Sends a question whose answer is read later.
    bool Send(std::span<const uint8_t> question);
    // Reads exactly answer.size() bytes if they come within waitMs (0: only
    // what has already arrived).
    bool Read(std::span<uint8_t> answer, int waitMs);
    int TimeoutMs() const { return timeoutMs; }

private:
    DeviceReader(pappl_device_t *device, int fd, int timeoutMs) : device(device), fd(fd), timeoutMs(timeoutMs) {}

    pappl_device_t *device;
    int fd;
    int timeoutMs;
};
