#include "socket_printer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string_view>

namespace {

struct Query {
    std::string_view bytes;
    bool escPos;  // answered in ESC/POS's 0xx1xx10 form
};

const Query kQueries[] = {
    {std::string_view("\x10\x04\x01", 3), true}, {std::string_view("\x10\x04\x02", 3), true},
    {std::string_view("\x10\x04\x04", 3), true}, {std::string_view("\x1b!?", 3), false},
    {std::string_view("\x1bh", 2), false},         {std::string_view("\x10\xff\x50\xf1", 4), false},
};

// The answer to a query in the given state.
std::string AnswerTo(const Query &query, PrinterState state, int battery)
{
    const bool paperOut = state == PrinterState::PaperOut;
    const bool coverOpen = state == PrinterState::CoverOpen;
    const bool jam = state == PrinterState::Jam;
    const std::string_view q = query.bytes;
    if (query.escPos) {
        uint8_t byte = 0x12;
        if (q[2] == 0x01 && (paperOut || coverOpen || jam))
            byte |= 0x08;  // off line
        if (q[2] == 0x02)
            byte |= (coverOpen ? 0x04 : 0) | (paperOut ? 0x20 : 0) | (jam ? 0x40 : 0);
        if (q[2] == 0x04 && paperOut)
            byte |= 0x60;
        return std::string(1, static_cast<char>(byte));
    }
    if (q[1] == '!')  // TSPL
        return std::string(1, static_cast<char>((coverOpen ? 0x01 : 0) | (jam ? 0x02 : 0) | (paperOut ? 0x04 : 0)));
    if (q[1] == 'h')  // CPCL: no jam bit
        return std::string(1, static_cast<char>((paperOut ? 0x02 : 0) | (coverOpen ? 0x04 : 0)));
    return std::string("\0", 1) + static_cast<char>(battery);
}

// Removes whole status queries from the start and the end of a stream.
std::string WithoutQueries(std::string stream)
{
    for (bool found = true; found;) {
        found = false;
        for (const Query &query : kQueries) {
            if (stream.size() >= query.bytes.size() && std::string_view(stream).substr(0, query.bytes.size()) == query.bytes) {
                stream.erase(0, query.bytes.size());
                found = true;
            }
            if (stream.size() >= query.bytes.size() &&
                std::string_view(stream).substr(stream.size() - query.bytes.size()) == query.bytes) {
                stream.erase(stream.size() - query.bytes.size());
                found = true;
            }
        }
    }
    return stream;
}

}  // namespace

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
            scanned = Answer(connection, stream, scanned);
            if (tickMs > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(tickMs));
        }
        close(connection);
        stream = WithoutQueries(std::move(stream));
        if (stream.empty())
            continue;
        std::lock_guard<std::mutex> lock(mutex);
        streams.push_back(std::move(stream));
    }
}

size_t SocketPrinter::Answer(int connection, const std::string &stream, size_t from)
{
    size_t at = from;
    while (at < stream.size()) {
        const std::string_view rest = std::string_view(stream).substr(at);
        const Query *match = nullptr;
        bool cut = false;
        for (const Query &query : kQueries) {
            if (rest.size() >= query.bytes.size() && rest.substr(0, query.bytes.size()) == query.bytes)
                match = &query;
            else if (rest.size() < query.bytes.size() && query.bytes.substr(0, rest.size()) == rest)
                cut = true;
        }
        if (match == nullptr) {
            // A query cut by the end of what has arrived is read again
            // once the rest is there.
            if (cut)
                break;
            ++at;
            continue;
        }
        at += match->bytes.size();
        ++queries;
        const PrinterState now = state;
        if (now == PrinterState::Silent)
            continue;
        if (now == PrinterState::Slow)
            std::this_thread::sleep_for(std::chrono::seconds(1));
        const std::string answer = AnswerTo(*match, now == PrinterState::Slow ? PrinterState::Ready : now, battery);
        if (write(connection, answer.data(), answer.size()) < 0)
            return stream.size();
    }
    return at;
}
