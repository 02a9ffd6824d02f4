// The per-format hooks the pipeline calls by format code (header reader, initialiser,
// scanline getter, releaser). Internal to the input library.
#pragma once

#include <cstddef>
#include <cstdio>

#include "fdes.h"
#include "tavtypes.h"

/// Arguments every header reader may use.
struct vslHdrArgs {
    const charu* block; ///< the first 1024 bytes (zero-filled past the end of a short file)
    std::FILE* fp;      ///< the stream, rewound
    fdes* fd;           ///< the descriptor to fill
    int32* nAnc;        ///< colour table count out
    charu** anc;        ///< four colour table slots out (calloc'd 256 bytes each)
    bool headerOnly;    ///< DUMPH: the header is all that is wanted
};

/// GENERIC header statuses.
enum : int32 { PNM_OK = 0, PNM_REJECT = -1, PNM_NO_MAGIC = -2, PNM_MAXVAL = -3 };

/// GIF header and initialiser statuses.
enum : int32 {
    GIF_OK = 0,
    GIF_READ = -1,      ///< the signature could not be read / no stream
    GIF_SIGNATURE = -2, ///< not GIF87a/GIF89a / work memory not allocated (initialiser)
    GIF_BAD_SIZE = -3,  ///< the image descriptor gives a zero width or height
    GIF_NO_IMAGE = -4   ///< no image before the trailer or end of file / bad code size
};

int32 GENERIC_HDR(const vslHdrArgs& a);
int32 vslGENERIC_INI();
int32 GET_GENERIC_SL(charu* buf, int gun, int skip);
void FREE_GENERIC();

int32 GIF_HDR(const vslHdrArgs& a);
int32 vslGIF_INI();
int32 GET_GIF_SL(charu* buf, int gun, int skip);
void FREE_GIF();
