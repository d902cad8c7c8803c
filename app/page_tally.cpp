#include "app/page_tally.h"

namespace {

// "2, 4-7 and 9": runs of pages, at most a dozen of them, so the message
// stays well inside the job's state message.
std::string PageList(const std::vector<int> &pages)
{
    constexpr size_t kMaxRuns = 12;
    std::vector<std::string> runs;
    for (size_t i = 0; i < pages.size();) {
        size_t j = i;
        while (j + 1 < pages.size() && pages[j + 1] == pages[j] + 1)
            ++j;
        runs.push_back(j == i ? std::to_string(pages[i])
                              : std::to_string(pages[i]) + "-" + std::to_string(pages[j]));
        i = j + 1;
    }
    std::string text;
    for (size_t i = 0; i < runs.size() && i < kMaxRuns; ++i) {
        if (i > 0)
            text += i + 1 == runs.size() ? " and " : ", ";
        text += runs[i];
    }
    if (runs.size() > kMaxRuns)
        text += " and more";
    return text;
}

}  // namespace

void PageTally::Refused(int page, const std::string &why)
{
    if (refused.empty())
        firstReason = why;
    refused.push_back(page);
}

std::string PageTally::Summary() const
{
    if (refused.empty())
        return std::string();
    const size_t count = refused.size();
    std::string text;
    if (printed == 0)
        text = count == 1 ? "Nothing was printed. " : "None of the " + std::to_string(count) + " pages was printed. ";
    else
        text = (count == 1 ? "Page " : "Pages ") + PageList(refused) + (count == 1 ? " was" : " were") +
               " not printed, the other " + std::to_string(printed) + (printed == 1 ? " was. " : " were. ");
    return text + firstReason;
}
