#pragma once

#include <atomic>
#include <functional>
#include <string>

// What a test printer says when asked for its status.
enum class PrinterState { Ready, PaperOut, CoverOpen, Jam, Silent, Slow };

// The status questions of ESC/POS (DLE EOT), TSPL (<ESC>!?), CPCL (ESC h)
// and PeriPage (battery) in the bytes a test printer received, answered as
// a printer in that state would. Slow: after a second.
class StatusAnswers {
public:
    // Answers the questions in stream[from..] through `reply`; where the
    // scan got to (a question cut by the end of the stream is left for
    // the next call).
    size_t Answer(const std::string &stream, size_t from, PrinterState state, int battery,
                  const std::function<bool(const std::string &)> &reply);
    int Questions() const { return questions; }

    // The stream without the questions at its start and its end.
    static std::string WithoutQuestions(std::string stream);

private:
    std::atomic<int> questions{0};
};
