#include "image/page_memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace page_memory {

namespace {
constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kSmallPage = 4096;
}

uint8_t *MapZeroed(size_t bytes, size_t &mapped)
{
    mapped = 0;
    if (bytes < kMinMappedBytes || bytes > SIZE_MAX - 2 * kHugePage)
        return nullptr;
    // Huge pages back the whole 2 MiB runs of the block and small pages the
    // rest. Filling a huge page costs far less than filling its 512 small
    // ones, so the last run is a whole huge page too when the part left unused
    // stays within a quarter of the block.
    size_t length = (bytes + kSmallPage - 1) / kSmallPage * kSmallPage;
    const size_t wholeHugePages = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    if (wholeHugePages - bytes <= bytes / 4)
        length = wholeHugePages;
    // Map one huge page more than needed and trim, so the block starts on a
    // huge-page boundary.
    void *raw = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
    if (aligned > start)
        munmap(raw, aligned - start);
    const size_t tail = kHugePage - (aligned - start);
    if (tail > 0)
        munmap(reinterpret_cast<void *>(aligned + length), tail);
    auto *block = reinterpret_cast<uint8_t *>(aligned);
    // Both are hints: kernels without huge pages or without populating (older
    // than 5.14) leave the pages to be faulted in one by one, as usual.
    madvise(block, length, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
    madvise(block, length, MADV_POPULATE_WRITE);
#endif
    mapped = length;
    return block;
}

void Release::operator()(uint8_t *block) const
{
    if (mapped > 0)
        munmap(block, mapped);
    else
        std::free(block);
}

}  // namespace page_memory
