#pragma once

#include <cstddef>
#include <cstdint>

// Zeroed memory for large page images: a mapping of its own that starts on a
// 2 MiB boundary, so its whole 2 MiB runs may be backed by huge pages, and
// that is filled in one call. Touching a fresh image one 4 KiB page at a time
// costs a fault per page, which on virtual machines outweighs dithering it.
namespace page_memory {

// Blocks of at least this size are worth their own mapping.
constexpr size_t kMinMappedBytes = size_t{1} << 20;

// A zeroed block of `bytes`, and in `mapped` the length to give Unmap; null
// when the kernel refuses (the caller then allocates the usual way).
uint8_t *MapZeroed(size_t bytes, size_t &mapped);

// Owner's deleter for a block from MapZeroed (mapped > 0) or from malloc.
struct Release {
    size_t mapped = 0;
    void operator()(uint8_t *block) const;
};

}  // namespace page_memory
