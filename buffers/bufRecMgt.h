// The table of sixteen image buffers (iBUFF 1-16), their image descriptors, and the
// memory guard that every large allocation consults.
#pragma once

#include <cstdint>
#include <string>

#include "fdes.h"
#include "tavtypes.h"

constexpr int NUM_iBUFF = 16;

/// bufCtlm bits.
enum : int32u {
    bufIS_HDR = 0x1,
    bufALPHA = 0x2,
    bufSTATIC = 0x8,
    bufLOADED = 0x10,
    bufJOINED = 0x20,
    bufFLIPPED = 0x40,
    bufVIEW_SAVED = 0x80,
    bufHDR_LOADING = 0x100,
    bufHAS_CLONE = 0x200,
    bufIS_CLONE = 0x400,
    bufCROPPED = 0x800,
    bufNEW_MEM = 0x1000
};

/// Inclusive display rectangle.
struct aoiRec {
    int32 x0, y0, x1, y1;
};

/// Display translation of a buffer (the view works it out).
struct translRec {
    int32 viewW, viewH; ///< view size when the buffer's view was last saved
    int32 w2, w3;       ///< further words kept for the view
    int32 factor;       ///< zoom factor
};

/// Per-gun scaling record of an image.
struct scalRec {
    shortu gun;
    int32u word;
    char curve[32];
    float table[256];
    float lo, hi;
};

/// Image descriptor: one image placed into a buffer.
struct ides {
    shortu loadCount;
    shortu planeCount;
    shortu curGun;
    shortu planeBands[4];
    int32 width, height;
    int32 x0, y0;
    int32 x1, y1;
    fdes fd[4];
    scalRec scal[4];
    charu hdrImg;
    charu alpha;
    charu geomSet;
};

/// One image buffer descriptor.
struct bufdes {
    int32 numImgs;
    int32 curImg;
    int32 bufNum;  ///< 1..16, kept by every clear and clone
    int32 linkBuf; ///< partner of a clone pair, 0 when none
    int32u* imgbuf;
    int32 width, height;
    int32u bufCtlm;
    int32u viewMode;
    ides* imgDes; ///< always numImgs + 1 records, the last a fresh spare
    translRec transl;
    aoiRec fgAoi, bgAoi;
    int32 align[8];
    int32 prevWidth, prevHeight;
    charu tLut[4][256];
    charu gunMask;
    /// Renewed (NEW_GENERATION) whenever the pixel block is allocated, replaced, resized,
    /// loaded, swapped or freed: a block at an old address is still a new block.
    int32u generation;
};

/// Process-wide buffer table.
extern bufdes* bufObjs;

/// Creates the table of 16 buffers (or returns the existing one).
bufdes* INIT_BUFMGT();
/// Releases every buffer's pixels and descriptors and the table itself.
void RELEASE_BUFMGT();

/// Gives a buffer a generation no buffer has had before; every change of its pixel block
/// (allocation, replacement, resize, load, swap, release) calls it.
void NEW_GENERATION(bufdes* b);
/// Resets a buffer for reuse, keeping its pixel block; returns the block.
int32u* CLEAR_iBUFF(bufdes* b);
/// As CLEAR_iBUFF, but the pixel block is freed.
void FREE_iBUFF(bufdes* b);
/// Sizes a buffer to width x height; status 0, -1 (zero size or refused), -2 (no memory).
int32u* CREATE_iBUFF(bufdes* b, int32 width, int32 height, int* status);
/// Makes child an independent copy of parent; false when memory is refused or short.
bool CLONE_iBUFF(bufdes* child, const bufdes* parent);
/// Stores value in every pixel.
void FILL_iBUFF(int32u* pixels, int32 width, int32 height, int32u value);
/// Widens rows in place from oldWidth to newWidth (block must be large enough).
void RESTRIDE_iBUFF(int32u* pixels, int32 oldWidth, int32 height, int32 newWidth);

/// Grows the pixel block of a buffer that holds images to width x height (never shrinks it):
/// rows move to the new row length, every added pixel is 0, and the buffer takes the size.
/// The guard is asked for the added bytes. 0 = done or nothing to grow, -1 = refused by the
/// guard (its text in msg), -2 = no memory; on failure the buffer is unchanged.
int GROW_iBUFF(bufdes* b, int32 width, int32 height, std::string* msg);
/// Gives an empty buffer a block of width x height pixels, reusing the block its last clear
/// kept (grown when too small; the guard is asked for the difference) or allocating one (the
/// guard is asked for the whole). The record takes the block, not the size; the content is
/// left for the caller to fill. Status 0, -1 (refused, text in msg) or -2 (no memory).
int32u* RESERVE_iBUFF(bufdes* b, int32 width, int32 height, std::string* msg, int* status);

/// Fills one image descriptor with its fresh values.
void initIdes(ides* d);

/// Header dump text of a file descriptor; written to standard error when out is null.
void DUMP_HEADER(const fdes* fd, std::string* out);

/// Memory guard: 1 when a request of `bytes` is safe, 0 when refused (message set).
int SAFE_MEM_REQ(std::uint64_t bytes, std::string* msg);
/// Guard for width x height x 4 bytes; negative sizes are refused.
int SAFE_MEM_REQ_WH(std::int64_t width, std::int64_t height, std::string* msg);
/// Guard for the truncated products of width and height with the factors, x 4 bytes.
int SAFE_MEM_REQ_SCALED(std::int64_t width, std::int64_t height, std::string* msg, double fx,
                        double fy);

/// Free RAM and free swap in bytes; replaceable by tests. Returns false when unknown.
using FreeMemFn = bool (*)(std::uint64_t& freeRam, std::uint64_t& freeSwap);
/// Installs a free-memory source (nullptr restores the system's).
void setFreeMemSource(FreeMemFn fn);
/// Reads the current free-memory figures through the installed source.
bool freeMemory(std::uint64_t& freeRam, std::uint64_t& freeSwap);

/// Where a refusal goes when the caller gave no message text (the view's message box).
using SevereMsgFn = void (*)(const std::string& text);
void setSevereMessageSink(SevereMsgFn fn);
