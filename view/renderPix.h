// Pixel transfer between the view, the current iBUFF (through the translation) and memory
// images, one rectangle at a time (RenderArea) or one row at a time (RenderScanL), and
// VIEW_MEM, which shows the buffer area mapped to a view box. The view is reached through the
// drawing interface only, so all of this runs on a memory frame in tests.
#pragma once

#include "bTransl.h"
#include "tavtypes.h"

/// Render target kinds.
enum : int32u {
    RP_VIEW = 0,      ///< the view window; rectangle in view pixels, none = the display box
    RP_BUFFER = 1,    ///< the current iBUFF through the translation; rectangle in view pixels
    RP_IMAGE = 2,     ///< the whole current buffer pixel array
    RP_IMAGE_RECT = 3 ///< a rectangle of that array, placed with moveTo / moveBy
};

/// Common part of the render objects. Scratch storage comes from std::malloc; a taken
/// scratch belongs to the caller, who frees it with std::free.
class RenderPix {
public:
    RenderPix(const aoiRec* rect, int32u kind);
    virtual ~RenderPix();
    RenderPix(const RenderPix&) = delete;
    RenderPix& operator=(const RenderPix&) = delete;

    /// The rectangle; false when a buffer rectangle has no mapping.
    bool rect(aoiRec* r) const;
    /// Width and height; false when a buffer rectangle has no mapping.
    bool size(int32* w, int32* h) const;
    /// For RP_BUFFER: the buffer pixels the rectangle shows (false without a mapping).
    bool bufferBox(aoiRec* b) const;
    /// Moves to (x, y) (negative positions become 0; see the kinds for the limits).
    void moveTo(int32 x, int32 y);
    void moveBy(int32 dx, int32 dy) { moveTo(r_.x0 + dx, r_.y0 + dy); }
    /// Hands the scratch to the caller, who then owns it.
    int32u* takeScratch();
    /// Gives a scratch back (not owned by the object).
    void giveScratch(int32u* s);

    /// Gun write mask from gun bits (1 red, 2 green, 4 blue, 8 alpha); all four = unmasked.
    static void setGunMask(int gunBits);
    /// Applies the display LUTs to pixels read from and written to the target.
    static void setLutFlag(bool on);
    /// The three display LUTs (red, green, blue) the LUT flag applies.
    static void setDisplayLuts(const charu luts[3][256]);

protected:
    void applyLuts(int32u* px, std::size_t n) const;
    void writeMasked(int32u* dst, const int32u* src, std::size_t n) const;
    bool placeInTarget();

    int32u kind_;
    int32 zoom_ = 1, bx_ = 0, by_ = 0, cols_ = 0, rows_ = 0;
    int32 nextWrite_ = 0, nextRead_ = 0;
    int32 w_ = 0, h_ = 0;
    aoiRec r_{0, 0, -1, -1};
    aoiRec buf_{0, 0, -1, -1}; ///< RP_BUFFER: buffer pixels shown by r_
    int32u* image_ = nullptr;  ///< the buffer's pixel array
    int32u* scratch_ = nullptr;
    int32u* at_ = nullptr; ///< first pixel of the rectangle in the target (kinds 1-3)
    bool notOwned_ = false;
    bool noMapping_ = false;

    static bool lutFlag_;
    static int32u gunMask_;
    static bool masked_;
    static charu luts_[3][256];
};

/// A whole rectangle at once.
class RenderArea : public RenderPix {
public:
    /// With a null scratch one of width x height (+1) pixels is allocated when the memory
    /// guard allows it; otherwise *scratch is used (not owned) and handed back through it.
    RenderArea(const aoiRec* rect, int32u kind, int32u** scratch = nullptr);
    /// Reads the rectangle into the scratch; returns it (null without scratch or mapping).
    int32u* read();
    /// Writes the scratch to the rectangle.
    void write();
};

/// A rectangle one row at a time.
class RenderScanL : public RenderPix {
public:
    RenderScanL(const aoiRec* rect, int32u kind);
    /// Reads the next row into the scratch; null past the last row.
    int32u* readNext();
    /// Writes the scratch to the next row; false past the last row.
    bool writeNext();
    /// Both row counters back to the first row.
    void rewind() { nextRead_ = nextWrite_ = r_.y0; }
};

/// VIEW_MEM statuses.
enum : int32 { VMEM_OK = 0, VMEM_NO_MAPPING = -1, VMEM_NO_SCRATCH = -2, VMEM_NO_ZOOM = -3 };

/// Shows the buffer area mapped to a view box (null: the display box) at the current zoom,
/// magnified by WARP with the view's zoom mode (the low four bits of vState.dmode, REPLICATE
/// when none is set); with the global view on, draws the global view instead. Failures are
/// shown in the message box.
int32 VIEW_MEM(const aoiRec* viewBox, bool globalView);

/// Draws the whole buffer reduced to fit the view by WARP's area reducer, row by row,
/// centred. 0, or VMEM_NO_SCRATCH.
int32 DRAW_GLOBAL_VIEW();

/// Clears the whole view to black.
void CLEAR_VIEW();
