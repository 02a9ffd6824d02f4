#include "memSurface.h"

#include <gtest/gtest.h>

memSurface::memSurface(int32 width, int32 height, int32u fill)
    : w(width), h(height), px(std::size_t(width) * std::size_t(height), fill)
{
    setViewSurface(this);
}

memSurface::~memSurface()
{
    setViewSurface(nullptr);
}

void memSurface::displayBox(int32 box[4])
{
    box[0] = 0;
    box[1] = 0;
    box[2] = w - 1;
    box[3] = h - 1;
}

bool memSurface::inside(const twBox& b) const
{
    // The real window clips; here a box outside the frame is a fault of the caller.
    const bool ok = b.x0 >= 0 && b.y0 >= 0 && b.x1 < w && b.y1 < h && b.x0 <= b.x1 && b.y0 <= b.y1;
    EXPECT_TRUE(ok) << "box " << b.x0 << "," << b.y0 << " " << b.x1 << "," << b.y1
                    << " outside the " << w << " x " << h << " view";
    return ok;
}

bool memSurface::getPixels(const twBox& b, int32u* dst)
{
    if (!inside(b))
        return false;
    const std::size_t bw = std::size_t(b.x1 - b.x0 + 1);
    for (int32 y = b.y0; y <= b.y1; ++y, dst += bw)
        std::copy_n(&px[std::size_t(y) * std::size_t(w) + std::size_t(b.x0)], bw, dst);
    return true;
}

void memSurface::putPixels(const twBox& b, const int32u* src)
{
    ++writes;
    if (!inside(b))
        return;
    const std::size_t bw = std::size_t(b.x1 - b.x0 + 1);
    for (int32 y = b.y0; y <= b.y1; ++y, src += bw)
        std::copy_n(src, bw, &px[std::size_t(y) * std::size_t(w) + std::size_t(b.x0)]);
}

void memSurface::fillRect(const twBox& b, int32u pixel)
{
    ++writes;
    if (!inside(b))
        return;
    for (int32 y = b.y0; y <= b.y1; ++y)
        std::fill_n(&px[std::size_t(y) * std::size_t(w) + std::size_t(b.x0)],
                    std::size_t(b.x1 - b.x0 + 1), pixel);
}
