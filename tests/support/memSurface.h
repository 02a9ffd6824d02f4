// A view window in memory for operation tests: the render objects and the display
// accumulator read and write its pixels. Installed for its lifetime.
#pragma once

#include <vector>

#include "viewSurface.h"

/// An in-memory view surface of w x h pixels; the display box is the whole frame.
class memSurface final : public viewSurface {
public:
    memSurface(int32 w, int32 h, int32u fill = 0);
    ~memSurface() override;
    memSurface(const memSurface&) = delete;
    memSurface& operator=(const memSurface&) = delete;

    /// The pixel at (x, y).
    int32u at(int32 x, int32 y) const
    {
        return px[std::size_t(y) * std::size_t(w) + std::size_t(x)];
    }

    void displayBox(int32 box[4]) override;
    bool getPixels(const twBox& b, int32u* dst) override;
    void putPixels(const twBox& b, const int32u* src) override;
    void fillRect(const twBox& b, int32u pixel) override;

    int32 w, h;
    std::vector<int32u> px;
    int writes = 0; ///< putPixels and fillRect calls

private:
    bool inside(const twBox& b) const;
};
