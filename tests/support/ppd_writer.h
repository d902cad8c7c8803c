#pragma once

#include <optional>
#include <string>
#include <vector>

// A PPD option with its default and choices (choice names double as texts).
struct PpdOption {
    std::string keyword;
    std::string defaultChoice;
    std::vector<std::string> choices;
};

struct PpdDescription {
    int modelNumber = 20;
    std::optional<std::string> modelName = std::string("dotweave Test Printer");
    std::optional<std::string> personality;
    std::vector<PpdOption> options;
    std::string extra;  // appended verbatim
};

// The text of a small but real PPD file that libcups opens.
std::string MakePpdText(const PpdDescription &description);

// Writes MakePpdText(description) to path.
void WritePpdFile(const std::string &path, const PpdDescription &description);

// An option the filter reads, with the given default and further choices.
PpdOption Option(const std::string &keyword, const std::string &defaultChoice,
                 std::vector<std::string> otherChoices = {});
