#include "socket_printer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>


SocketPrinter::SocketPrinter(int wantedPort, size_t bytesPerTick, int tickMs)
    : bytesPerTick(bytesPerTick), tickMs(tickMs)
{
    listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    // A slow printer needs a small window, or the kernel takes the whole
    // job at once; accepted connections inherit it.
    if (bytesPerTick > 0) {
        const int window = 4096;
        setsockopt(listener, SOL_SOCKET, SO_RCVBUF, &window, sizeof(window));
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(wantedPort));
    socklen_t length = sizeof(address);
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0 ||
        listen(listener, 8) != 0 || getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        throw std::runtime_error("cannot listen on a loopback port");
    port = ntohs(address.sin_port);
    thread = std::thread([this] { Serve(); });
}

SocketPrinter::~SocketPrinter()
{
    stopping = true;
    thread.join();
    close(listener);
}

size_t SocketPrinter::BytesReceived() const
{
    return received;
}

std::vector<std::string> SocketPrinter::Streams() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return streams;
}

void SocketPrinter::Serve()
{
    while (!stopping) {
        pollfd waiting{listener, POLLIN, 0};
        if (poll(&waiting, 1, 100) <= 0)
            continue;
        const int connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            continue;
        std::string stream;
        size_t scanned = 0;
        char buffer[65536];
        while (!stopping) {
            pollfd reading{connection, POLLIN, 0};
            if (poll(&reading, 1, 100) <= 0)
                continue;
            const size_t want = bytesPerTick > 0 && bytesPerTick < sizeof(buffer) ? bytesPerTick : sizeof(buffer);
            const ssize_t got = read(connection, buffer, want);
            if (got <= 0)
                break;
            stream.append(buffer, static_cast<size_t>(got));
            received += static_cast<size_t>(got);
            scanned = answers.Answer(stream, scanned, state, battery, [connection](const std::string &answer) {
                return write(connection, answer.data(), answer.size()) >= 0;
            });
            if (tickMs > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(tickMs));
        }
        close(connection);
        stream = StatusAnswers::WithoutQuestions(std::move(stream));
        if (stream.empty())
            continue;
        std::lock_guard<std::mutex> lock(mutex);
        streams.push_back(std::move(stream));
    }
}
