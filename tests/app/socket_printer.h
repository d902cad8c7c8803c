#pragma once

#include "status_answers.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// An AppSocket printer on a loopback port: each connection's bytes are kept
// as one stream. Reading can be slowed down to hold a job on the wire. It
// answers the status queries of ESC/POS (DLE EOT), TSPL (<ESC>!?), CPCL
// (ESC h) and PeriPage (battery) from a state the test sets; the queries
// at the start and end of a connection are kept out of its stream.
class SocketPrinter {
public:
    // port 0: a free port. bytesPerTick/tickMs: read at most this much per tick.
    explicit SocketPrinter(int port = 0, size_t bytesPerTick = 0, int tickMs = 0);
    ~SocketPrinter();
    SocketPrinter(const SocketPrinter &) = delete;
    SocketPrinter &operator=(const SocketPrinter &) = delete;

    int Port() const { return port; }
    size_t BytesReceived() const;
    // Streams of finished connections that held more than status queries.
    std::vector<std::string> Streams() const;
    std::string Uri() const { return "socket://127.0.0.1:" + std::to_string(port); }

    void SetState(PrinterState newState) { state = newState; }
    void SetBattery(int percent) { battery = percent; }
    // Status queries received so far.
    int Queries() const { return answers.Questions(); }

private:
    void Serve();

    int listener = -1;
    int port = 0;
    size_t bytesPerTick;
    int tickMs;
    std::atomic<bool> stopping{false};
    std::atomic<size_t> received{0};
    std::atomic<PrinterState> state{PrinterState::Ready};
    std::atomic<int> battery{80};
    StatusAnswers answers;
    mutable std::mutex mutex;
    std::vector<std::string> streams;
    std::thread thread;
};
