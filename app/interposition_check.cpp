#include "app/interposition_check.h"

#include <dlfcn.h>
#include <elf.h>
#include <link.h>

#include <cstring>

namespace {

struct Search {
    const char *libraryName;
    const char *symbol;
    const void *definition;
    bool libraryFound = false;
    int slots = 0;      // relocations of the symbol
    int elsewhere = 0;  // slots that hold another address
};

size_t SymbolIndex(decltype(ElfW(Rela)::r_info) info)
{
#if __WORDSIZE == 64
    return ELF64_R_SYM(info);
#else
    return ELF32_R_SYM(info);
#endif
}

ElfW(Addr) Address(const dl_phdr_info &library, ElfW(Addr) value)
{
    // The loader turns most of the dynamic section's addresses into
    // absolute ones; any it left relative are made so here.
    return value < library.dlpi_addr ? library.dlpi_addr + value : value;
}

// The slot of one relocation: resolved to the definition, or still lazy
// (pointing back into the library) with the loader bound to find it.
bool SlotReaches(const dl_phdr_info &library, const ElfW(Rela) &relocation, const Search &search)
{
    const auto slot = *reinterpret_cast<const ElfW(Addr) *>(library.dlpi_addr + relocation.r_offset);
    const auto wanted = reinterpret_cast<ElfW(Addr)>(search.definition);
    if (slot == wanted || slot == wanted + static_cast<ElfW(Addr)>(relocation.r_addend))
        return true;
    Dl_info where{};
    if (dladdr(reinterpret_cast<void *>(slot), &where) != 0 && where.dli_fbase == reinterpret_cast<void *>(library.dlpi_addr))
        return dlsym(RTLD_DEFAULT, search.symbol) == search.definition;
    return false;
}

void ScanRelocations(const dl_phdr_info &library, const ElfW(Rela) *table, size_t bytes, const ElfW(Sym) *symbols,
                     const char *names, Search &search)
{
    for (size_t i = 0; i < bytes / sizeof(ElfW(Rela)); ++i) {
        const size_t index = SymbolIndex(table[i].r_info);
        if (index == 0 || std::strcmp(names + symbols[index].st_name, search.symbol) != 0)
            continue;
        ++search.slots;
        if (!SlotReaches(library, table[i], search))
            ++search.elsewhere;
    }
}

int ScanLibrary(dl_phdr_info *library, size_t, void *data)
{
    auto &search = *static_cast<Search *>(data);
    if (library->dlpi_name == nullptr || std::strstr(library->dlpi_name, search.libraryName) == nullptr)
        return 0;
    search.libraryFound = true;
    const ElfW(Dyn) *dynamic = nullptr;
    for (int i = 0; i < library->dlpi_phnum; ++i)
        if (library->dlpi_phdr[i].p_type == PT_DYNAMIC)
            dynamic = reinterpret_cast<const ElfW(Dyn) *>(library->dlpi_addr + library->dlpi_phdr[i].p_vaddr);
    if (dynamic == nullptr)
        return 1;
    const ElfW(Sym) *symbols = nullptr;
    const char *names = nullptr;
    const ElfW(Rela) *relocations = nullptr, *calls = nullptr;
    size_t relocationBytes = 0, callBytes = 0;
    bool callsAreRela = true;
    for (const ElfW(Dyn) *entry = dynamic; entry->d_tag != DT_NULL; ++entry) {
        switch (entry->d_tag) {
        case DT_SYMTAB: symbols = reinterpret_cast<const ElfW(Sym) *>(Address(*library, entry->d_un.d_ptr)); break;
        case DT_STRTAB: names = reinterpret_cast<const char *>(Address(*library, entry->d_un.d_ptr)); break;
        case DT_RELA: relocations = reinterpret_cast<const ElfW(Rela) *>(Address(*library, entry->d_un.d_ptr)); break;
        case DT_RELASZ: relocationBytes = entry->d_un.d_val; break;
        case DT_JMPREL: calls = reinterpret_cast<const ElfW(Rela) *>(Address(*library, entry->d_un.d_ptr)); break;
        case DT_PLTRELSZ: callBytes = entry->d_un.d_val; break;
        case DT_PLTREL: callsAreRela = entry->d_un.d_val == DT_RELA; break;
        default: break;
        }
    }
    if (symbols == nullptr || names == nullptr || !callsAreRela)
        return 1;
    if (relocations != nullptr)
        ScanRelocations(*library, relocations, relocationBytes, symbols, names, search);
    if (calls != nullptr)
        ScanRelocations(*library, calls, callBytes, symbols, names, search);
    return 1;
}

}  // namespace

bool LibraryCallsReach(const char *libraryName, const char *symbol, const void *definition, std::string &why)
{
    Search search{libraryName, symbol, definition};
    dl_iterate_phdr(ScanLibrary, &search);
    const std::string what = std::string(libraryName) + "'s calls to " + symbol;
    if (!search.libraryFound)
        why = std::string(libraryName) + " is not loaded";
    else if (search.slots == 0)
        why = what + " do not go through its symbol table";
    else if (search.elsewhere > 0)
        why = what + " do not reach this program's " + symbol + " (is it exported?)";
    else
        return true;
    return false;
}
