// The pixels of the view window as the render objects and the display accumulator see them:
// the real window through the drawing backend, or a memory frame in tests.
#pragma once

#include "tavtypes.h"
#include "twBackend.h"

/// The view window's pixels.
class viewSurface {
public:
    virtual ~viewSurface() = default;
    /// The display box x0, y0, x1, y1 (inclusive).
    virtual void displayBox(int32 box[4]) = 0;
    /// Copies the pixels of a box (inside the view) row by row into dst; false on failure.
    virtual bool getPixels(const twBox& b, int32u* dst) = 0;
    /// Writes w x h pixels from src into the box.
    virtual void putPixels(const twBox& b, const int32u* src) = 0;
    /// Fills a box with one pixel value.
    virtual void fillRect(const twBox& b, int32u pixel) = 0;
};

/// The surface in use: the installed one, else the drawing backend's while one is set, else
/// none (no view is open).
viewSurface* activeSurface();
/// Installs a surface (tests); nullptr goes back to the drawing backend.
void setViewSurface(viewSurface* s);
