#pragma once

#include <string>

// Whether the calls a shared library makes to one of its functions reach
// another definition of it instead (one the executable exports): every
// relocation of that symbol in the library (the slots its calls and its
// function pointers are read from) must hold `definition`. False, with the
// reason, when the library is not loaded, never refers to the symbol
// through a slot (it calls it directly, or it has another name), or a slot
// holds some other address.
bool LibraryCallsReach(const char *libraryName, const char *symbol, const void *definition, std::string &why);
