#include "status_answers.h"

#include <chrono>
#include <cstdint>
#include <string_view>
#include <thread>

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

}  // namespace

std::string StatusAnswers::WithoutQuestions(std::string stream)
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

size_t StatusAnswers::Answer(const std::string &stream, size_t from, PrinterState state, int battery,
                             const std::function<bool(const std::string &)> &reply)
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
        ++questions;
        if (state == PrinterState::Silent)
            continue;
        if (state == PrinterState::Slow)
            std::this_thread::sleep_for(std::chrono::seconds(1));
        if (!reply(AnswerTo(*match, state == PrinterState::Slow ? PrinterState::Ready : state, battery)))
            return stream.size();
    }
    return at;
}
