#pragma once

#include <string>
#include <vector>

// Which pages of a job reached the printer and which could not be printed,
// for the job's closing message: a job that printed nothing has failed, and
// one that printed some says which it left out.
class PageTally {
public:
    void Printed() { ++printed; }
    // `why`: the message that says why the page cannot be printed.
    void Refused(int page, const std::string &why);

    int PrintedPages() const { return printed; }
    bool AnyRefused() const { return !refused.empty(); }
    // The closing message when a page was refused: which pages, and why
    // the first of them was.
    std::string Summary() const;

private:
    int printed = 0;
    std::vector<int> refused;
    std::string firstReason;
};
