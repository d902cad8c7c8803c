#pragma once

#include <string>

// Where the CUPS filter's settings come from: for an option keyword
// ("Darkness", "zeMediaTracking", ...), the name of the chosen choice, or an
// empty string when there is none. The filter answers from the PPD's marked
// choices; the printer application fills the settings records itself.
class ISettingsSource {
public:
    virtual std::string Choice(const char *keyword) = 0;

protected:
    ~ISettingsSource() = default;
};
