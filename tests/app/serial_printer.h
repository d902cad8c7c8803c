#pragma once

#include "status_answers.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

// A printer at the far end of a serial line (a pseudo-terminal): keeps what
// it receives and answers status questions from a state the test sets.
class SerialPrinter {
public:
    SerialPrinter();
    ~SerialPrinter();
    SerialPrinter(const SerialPrinter &) = delete;
    SerialPrinter &operator=(const SerialPrinter &) = delete;

    std::string Uri() const;
    void SetState(PrinterState newState) { state = newState; }
    void SetBattery(int percent) { battery = percent; }
    // Everything received, status questions included.
    std::string Received() const;
    int Questions() const { return answers.Questions(); }

private:
    void Serve();

    int master = -1;
    std::atomic<bool> stopping{false};
    std::atomic<PrinterState> state{PrinterState::Ready};
    std::atomic<int> battery{80};
    StatusAnswers answers;
    mutable std::mutex mutex;
    std::string received;
    std::thread thread;
};
