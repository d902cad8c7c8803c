#pragma once

#include "preview/byte_cursor.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Reads one command line of a text printer language up to its LF (a CR
// before it is dropped). The line must be printable text and short; what
// names the language for the message. crlf tells whether it ended in CR LF.
bool ReadTextLine(ByteCursor &cursor, std::string &line, bool &crlf, std::string_view what);

// Words separated by blanks or commas, empty words dropped.
std::vector<std::string> SplitWords(std::string_view line, std::string_view separators);

// A whole decimal number with an optional minus sign that fits 32 bits.
bool ParseInt32(std::string_view text, int32_t &value);

// Reads a decimal number ended by the given separator, which is consumed.
bool ReadNumberField(ByteCursor &cursor, char separator, int32_t &value, std::string_view what);
