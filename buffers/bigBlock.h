// Large pixel and work blocks. The first write to a fresh block of many megabytes costs one
// page fault per 4 KiB page; a block aligned to 2 MiB and advised for huge pages takes one
// fault per 2 MiB instead (a 64 MiB picture: about 8 ms rather than a quarter of a second on
// a virtual machine). Where the kernel refuses the advice the block is an ordinary one.
//
// The blocks come from the C allocator (aligned_alloc), so std::free and std::realloc remain
// valid on them; bigFree is their matching release.
#pragma once

#include <cstddef>

/// Blocks of at least this many bytes are aligned and advised; smaller ones are plain malloc.
constexpr std::size_t kBigBlockMin = std::size_t(4) << 20;
/// The huge page size the big blocks are aligned to and rounded up to.
constexpr std::size_t kHugePage = std::size_t(2) << 20;

/// A block of `bytes` bytes, content undefined; nullptr when memory is short or bytes is 0.
void* bigAlloc(std::size_t bytes);
/// A zeroed block of `bytes` bytes; nullptr when memory is short or bytes is 0.
void* bigZeroAlloc(std::size_t bytes);
/// Resizes `p` (nullptr: a new block) to `bytes`, keeping its first `keep` bytes (at most
/// `bytes`); the rest is undefined. On failure nullptr is returned and `p` is left as it was;
/// on success `p` is released unless it is the block returned.
void* bigRealloc(void* p, std::size_t keep, std::size_t bytes);
/// Releases a block (nullptr is ignored).
void bigFree(void* p);
