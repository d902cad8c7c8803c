#include "serial_printer.h"

#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <unistd.h>

SerialPrinter::SerialPrinter() : master(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC))
{
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        throw std::runtime_error("no pseudo-terminal");
    thread = std::thread([this] { Serve(); });
}

SerialPrinter::~SerialPrinter()
{
    stopping = true;
    thread.join();
    close(master);
}

std::string SerialPrinter::Uri() const
{
    return std::string("serial:") + ptsname(master) + "?baud=115200";
}

std::string SerialPrinter::Received() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return received;
}

void SerialPrinter::Serve()
{
    std::string stream;
    size_t scanned = 0;
    while (!stopping) {
        pollfd waiting{master, POLLIN, 0};
        if (poll(&waiting, 1, 50) <= 0 || (waiting.revents & POLLIN) == 0) {
            // No one has the line open (POLLHUP): wait for the next opening.
            if ((waiting.revents & POLLHUP) != 0)
                usleep(50000);
            continue;
        }
        char buffer[65536];
        const ssize_t got = read(master, buffer, sizeof(buffer));
        if (got <= 0) {
            usleep(50000);
            continue;
        }
        stream.append(buffer, static_cast<size_t>(got));
        {
            std::lock_guard<std::mutex> lock(mutex);
            received = stream;
        }
        scanned = answers.Answer(stream, scanned, state, battery, [this](const std::string &answer) {
            return write(master, answer.data(), answer.size()) >= 0;
        });
    }
}
