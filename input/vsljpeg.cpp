// JPEG reader on libjpeg (the version 6b interface). Grey rows carry one byte
// per pixel, colour rows red, green, blue; four-component files (Adobe CMYK and
// YCCK) are converted to red, green, blue here and described as three bands.
//
// The library's standard error manager ends the process on corrupt data: ours
// jumps back to the small trampoline that made the call (nothing with a
// destructor lives in it), so that a damaged file becomes a status. The header
// reader keeps no library object: the loader may drop a load between GETHEADER
// and INIT_VSL and then only closes the stream.
#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

#include "bufRecMgt.h"
#include "diag.h"
#include "get_vsl.h"
#include "vslReaders.h"

namespace {

struct jpegErr {
    jpeg_error_mgr pub; // first: the library sees a jpeg_error_mgr*
    std::jmp_buf jump;
    bool truncated; // the data ended before the last row
};

struct jpegState {
    jpeg_decompress_struct* dec = nullptr;
    jpegErr* err = nullptr;
    bool created = false;
    charu* cmykRow = nullptr; // four-component rows before conversion
    bool invertedCmyk = false;
    long memLimit = 0; // the library's working memory, bounded by the memory guard's share
};
jpegState J;

void jpegMessage(j_common_ptr c)
{
    char text[JMSG_LENGTH_MAX];
    (*c->err->format_message)(c, text);
    DIAG("\n---JPEG: %s", text);
}

[[noreturn]] void jpegErrorExit(j_common_ptr c)
{
    char text[JMSG_LENGTH_MAX];
    (*c->err->format_message)(c, text);
    DIAG("\n***JPEG: %s", text);
    std::longjmp(reinterpret_cast<jpegErr*>(c->err)->jump, 1);
}

// Warnings are printed; a premature end of data is remembered, so that the
// getter fails instead of handing over rows the library filled with grey.
void jpegEmit(j_common_ptr c, int level)
{
    if (level >= 0)
        return;
    auto* e = reinterpret_cast<jpegErr*>(c->err);
    if (e->pub.msg_code == JWRN_JPEG_EOF)
        e->truncated = true;
    if (e->pub.num_warnings++ < 3)
        jpegMessage(c);
}

void releaseState(jpegState& s)
{
    if (s.created)
        jpeg_destroy_decompress(s.dec);
    std::free(s.dec);
    std::free(s.err);
    std::free(s.cmykRow);
    s = {};
}

// Header and decompressor start; JPEG_LIB_ERROR when the library raised an
// error or the stream holds no image.
int jpegStart(jpegState* s, std::FILE* fp)
{
    if (setjmp(s->err->jump))
        return JPEG_LIB_ERROR;
    // The library's own version is passed by the macro: another one ends the
    // process.
    jpeg_create_decompress(s->dec);
    s->created = true;
    // A progressive file claiming a huge size makes the library reserve its whole coefficient
    // store at the start; past the guard's share it fails (no backing store) instead.
    s->dec->mem->max_memory_to_use = s->memLimit;
    jpeg_stdio_src(s->dec, fp);
    if (jpeg_read_header(s->dec, TRUE) != JPEG_HEADER_OK)
        return JPEG_LIB_ERROR;
    if (s->dec->jpeg_color_space == JCS_CMYK || s->dec->jpeg_color_space == JCS_YCCK)
        s->dec->out_color_space = JCS_CMYK;
    // Adobe's writers store CMYK inverted and say so with their marker.
    s->invertedCmyk = s->dec->saw_Adobe_marker;
    jpeg_start_decompress(s->dec);
    return 0;
}

int jpegReadRow(jpegState* s, charu* row)
{
    if (setjmp(s->err->jump))
        return -1;
    JSAMPROW rows[1] = {row};
    return jpeg_read_scanlines(s->dec, rows, 1) == 1 ? 0 : -1;
}

int32 jpegOpen(jpegState& s, std::FILE* fp)
{
    s = {};
    std::uint64_t ram = 0, swap = 0;
    if (freeMemory(ram, swap)) {
        const double share = 0.7 * (double(ram) + double(swap));
        s.memLimit = share >= double(LONG_MAX) ? LONG_MAX : std::max(long(share), 1L);
    }
    std::rewind(fp);
    s.dec = static_cast<jpeg_decompress_struct*>(std::calloc(1, sizeof(jpeg_decompress_struct)));
    if (!s.dec)
        return JPEG_NO_OBJECT;
    s.err = static_cast<jpegErr*>(std::calloc(1, sizeof(jpegErr)));
    if (!s.err) {
        releaseState(s);
        return JPEG_NO_ERRMGR;
    }
    s.dec->err = jpeg_std_error(&s.err->pub);
    s.err->pub.error_exit = jpegErrorExit;
    s.err->pub.output_message = jpegMessage;
    s.err->pub.emit_message = jpegEmit;
    if (jpegStart(&s, fp) != 0) {
        releaseState(s);
        return JPEG_LIB_ERROR;
    }
    return JPEG_OK;
}

} // namespace

int32 JPEG_HDR(const vslHdrArgs& a)
{
    releaseState(J);
    jpegState s;
    const int32 st = jpegOpen(s, a.fp);
    if (st != JPEG_OK)
        return st;
    const int comps = s.dec->output_components;
    const std::uint64_t w = s.dec->output_width, h = s.dec->output_height;
    if (comps != 1 && comps != 3 && comps != 4) {
        releaseState(s);
        return JPEG_TWO_COMPONENTS;
    }
    const int bands = comps == 1 ? 1 : 3;
    fdes* fd = a.fd;
    fd->fCols = static_cast<int32u>(w);
    fd->fRows = static_cast<int32u>(h);
    fd->bands = static_cast<std::int16_t>(bands);
    fd->storMode = bands == 1 ? SM_FLAT : SM_PIXEL_IL;
    fd->quantiz = 8;
    fd->bytsPixl = 1;
    fd->dataType = DT_BYTE;
    fd->colorClass = bands == 1 ? CC_GREY : CC_COLOR;
    fd->slBytes = static_cast<int32>(w * std::uint64_t(bands)); // width is at most 65500
    fd->format = FMT_JPEG;
    fd->compressed = 1;
    fd->workMem = comps == 4 ? w * 4 : 0;
    releaseState(s);
    return JPEG_OK;
}

int32 vslJPEG_INI()
{
    releaseState(J);
    if (!VSL.fp || !VSL.fd || jpegOpen(J, VSL.fp.get()) != JPEG_OK)
        return -1;
    const fdes* fd = VSL.fd;
    if (J.dec->output_width != fd->fCols || J.dec->output_height != fd->fRows) {
        DIAG("\n***vslJPEG_INI(): the file changed since its header was read");
        releaseState(J);
        return -1;
    }
    if (J.dec->output_components == 4) {
        J.cmykRow = static_cast<charu*>(std::calloc(J.dec->output_width, 4));
        if (!J.cmykRow) {
            releaseState(J);
            return -1;
        }
    }
    return 0;
}

int32 GET_JPEG_SL(charu* buf, int gun, int skip)
{
    (void)gun;
    (void)skip;
    if (!J.dec || J.dec->output_scanline >= J.dec->output_height)
        return -1;
    if (jpegReadRow(&J, J.cmykRow ? J.cmykRow : buf) != 0 || J.err->truncated)
        return -1;
    if (J.cmykRow) {
        const charu* p = J.cmykRow;
        const std::size_t n = J.dec->output_width;
        for (std::size_t i = 0; i < n; ++i, p += 4) {
            unsigned c = p[0], m = p[1], y = p[2], k = p[3];
            if (!J.invertedCmyk) {
                c = 255 - c;
                m = 255 - m;
                y = 255 - y;
                k = 255 - k;
            }
            buf[3 * i] = static_cast<charu>((c * k + 127) / 255);
            buf[3 * i + 1] = static_cast<charu>((m * k + 127) / 255);
            buf[3 * i + 2] = static_cast<charu>((y * k + 127) / 255);
        }
    }
    return 0;
}

void FREE_JPEG()
{
    releaseState(J);
}
