#include "bigBlock.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <malloc.h>
#include <sys/mman.h>

namespace {

std::size_t roundedUp(std::size_t bytes)
{
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

} // namespace

void* bigAlloc(std::size_t bytes)
{
    if (bytes == 0)
        return nullptr;
    if (bytes < kBigBlockMin)
        return std::malloc(bytes);
    if (bytes > SIZE_MAX - kHugePage)
        return nullptr;
    // Rounded to whole huge pages so that the last one can be huge too; the advice covers
    // exactly the block, which lies inside one mapping of the allocator.
    const std::size_t whole = roundedUp(bytes);
    void* p = std::aligned_alloc(kHugePage, whole);
    if (p)
        (void)madvise(p, whole, MADV_HUGEPAGE); // refused: an ordinary block
    return p;
}

void* bigZeroAlloc(std::size_t bytes)
{
    if (bytes < kBigBlockMin)
        return bytes ? std::calloc(bytes, 1) : nullptr;
    // An aligned block may come from memory the allocator had already used: cleared here,
    // which is also the first touch of its (huge) pages.
    void* p = bigAlloc(bytes);
    if (p)
        std::memset(p, 0, bytes);
    return p;
}

void* bigRealloc(void* p, std::size_t keep, std::size_t bytes)
{
    if (!p)
        return bigAlloc(bytes);
    if (bytes == 0)
        return nullptr;
    // A block that already holds the new size is kept as it is (a shrink keeps its memory for
    // the next growth, as the buffer table does with its blocks).
    if (malloc_usable_size(p) >= bytes)
        return p;
    if (bytes < kBigBlockMin)
        return std::realloc(p, bytes);
    void* q = bigAlloc(bytes);
    if (!q)
        return nullptr;
    std::memcpy(q, p, std::min(keep, bytes));
    std::free(p);
    return q;
}

void bigFree(void* p)
{
    std::free(p);
}
