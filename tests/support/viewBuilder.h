// A view state with one loaded buffer, as the exploitation loop hands it to an operation,
// for tests that run operations without a display. Undone when it goes out of scope.
#pragma once

#include <cstdint>

#include "viewState.h"

/// The process-wide view state on buffer 1 of a fresh buffer table holding one w x h image.
class viewBuilder {
public:
    /// Pixel (x, y) of the image: a pattern unless a fill is given.
    viewBuilder(int32 w, int32 h);
    viewBuilder(int32 w, int32 h, int32u fill);
    ~viewBuilder();
    viewBuilder(const viewBuilder&) = delete;
    viewBuilder& operator=(const viewBuilder&) = delete;

    /// The pattern pixel at (x, y).
    static int32u pattern(int32 x, int32 y);

    viewState& vs;
    bufdes* bd = nullptr;

private:
    void build(int32 w, int32 h, bool patterned, int32u fill);
};

/// Free-memory figures for tests: as much as the memory guard could want.
bool plentyOfMemory(std::uint64_t& freeRam, std::uint64_t& freeSwap);
/// Free-memory figures for tests: almost none, so every large request is refused.
bool scarceMemory(std::uint64_t& freeRam, std::uint64_t& freeSwap);
