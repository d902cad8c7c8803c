#pragma once

#include <string>
#include <utility>
#include <vector>

// Where a job's settings come from: for an option keyword ("Darkness",
// "zeMediaTracking", ...), the name of the chosen choice, or an empty string
// when there is none. The CUPS filter answers from the PPD's marked choices,
// the printer application from the job's IPP attributes.
class ISettingsSource {
public:
    virtual std::string Choice(const char *keyword) = 0;

protected:
    ~ISettingsSource() = default;
};

// Settings given as keyword/choice pairs; for a keyword given twice the last
// pair counts.
class CSettingPairs : public ISettingsSource {
public:
    CSettingPairs() = default;
    explicit CSettingPairs(std::vector<std::pair<std::string, std::string>> pairs) : pairs(std::move(pairs)) {}
    virtual ~CSettingPairs() = default;

    void Set(std::string keyword, std::string choice) { pairs.emplace_back(std::move(keyword), std::move(choice)); }
    const std::vector<std::pair<std::string, std::string>> &Pairs() const { return pairs; }
    std::string Choice(const char *keyword) override;

private:
    std::vector<std::pair<std::string, std::string>> pairs;
};
