#pragma once

#include "app/driver_table.h"

#include <optional>
#include <span>
#include <string>

// A setting IPP has no attribute for, offered as a vendor attribute and
// handed to the engine under its PPD keyword.
struct VendorChoice {
    const char *ipp;  // IPP keyword
    const char *ppd;  // PPD choice
};

enum class VendorKind { Keyword, Integer, Boolean };

struct VendorOption {
    const char *attribute;  // IPP attribute name, without -default or -supported
    const char *keyword;    // PPD keyword
    VendorKind kind;
    std::span<const VendorChoice> choices;  // Keyword
    int min, max;                           // Integer
    unsigned languages;                     // LanguageBit of each model that uses it
    bool inEveryPpd;                        // else only the PPDs of the languages using it
};

constexpr unsigned LanguageBit(int modelNumber)
{
    return modelNumber >= 20 && modelNumber <= 24 ? 1u << (modelNumber - 20) : 0u;
}

std::span<const VendorOption> VendorOptions();

// Whether the driver's printer language uses the option.
bool Offers(const DriverRow &row, const VendorOption &option);

// The PPD's default choice of the option for the driver.
std::string DefaultChoice(const DriverRow &row, const VendorOption &option);

// PPD choice to IPP value ("3" to "burkes", "1" to "true") and back; the
// way back is empty for a value outside what the option supports.
std::string IppValue(const VendorOption &option, const std::string &choice);
std::optional<std::string> PpdChoice(const VendorOption &option, const std::string &ippValue);
