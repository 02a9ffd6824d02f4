// A view held in memory for the benchmarks that repaint one: the operations draw on it through
// the view surface as they draw on the window, without the X transfer.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "textwin.h"
#include "uiPort.h"
#include "viewSurface.h"

namespace benchload {

// The user of a benchmark: reads no message, answers every mouse wait with one event (the
// window's close by default, the right button where that ends the operation's wait).
class silentUi final : public uiPort {
public:
    explicit silentUi(int mouse = MOUSE_CLOSE) : mouse_(mouse) {}
    std::string message(const std::string&, int32) override { return {}; }
    void clearMessage() override {}
    int mouseEvent(int32*, int32*, int) override { return mouse_; }
    void pointer(int32* x, int32* y) override { *x = *y = 0; }
    void setCursor(int) override {}
    void progress(const std::string&, int32, int32) override {}
    void setMenuFast(bool) override {}

private:
    int mouse_;
};

class memView final : public viewSurface {
public:
    memView(int32 w, int32 h) : w_(w), px_(std::size_t(w) * std::size_t(h)), h_(h) {}
    void displayBox(int32 box[4]) override
    {
        box[0] = box[1] = 0;
        box[2] = w_ - 1;
        box[3] = h_ - 1;
    }
    bool getPixels(const twBox& b, int32u* dst) override
    {
        const std::size_t w = std::size_t(b.x1 - b.x0 + 1);
        for (int32 y = b.y0; y <= b.y1; ++y, dst += w)
            std::memcpy(dst, row(y) + b.x0, w * 4);
        return true;
    }
    void putPixels(const twBox& b, const int32u* src) override
    {
        const std::size_t w = std::size_t(b.x1 - b.x0 + 1);
        for (int32 y = b.y0; y <= b.y1; ++y, src += w)
            std::memcpy(row(y) + b.x0, src, w * 4);
    }
    void fillRect(const twBox& b, int32u pixel) override
    {
        for (int32 y = b.y0; y <= b.y1; ++y)
            std::fill(row(y) + b.x0, row(y) + b.x1 + 1, pixel);
    }
    std::vector<int32u>& pixels() { return px_; }

private:
    int32u* row(int32 y) { return px_.data() + std::size_t(y) * std::size_t(w_); }
    int32 w_;
    std::vector<int32u> px_;
    int32 h_;
};

} // namespace benchload
