#include "pngWrite.h"

#include <csetjmp>

#include <png.h>

#include "diag.h"

namespace {

// libpng's errors come back through the jump buffer of the call in progress; warnings are
// told and writing goes on.
[[noreturn]] void pngError(png_structp png, png_const_charp msg)
{
    DIAG("\n***PNG write: %s", msg);
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp msg)
{
    DIAG("\n---PNG write: %s", msg);
}

png_structp pngOf(const pngWriter& pw)
{
    return static_cast<png_structp>(pw.png);
}

png_infop infoOf(const pngWriter& pw)
{
    return static_cast<png_infop>(pw.info);
}

// The jump targets below live in the functions that call the library, and each declares
// nothing with a destructor, so a long jump never skips one.
int32 headerSteps(png_structp png, png_infop info, std::FILE* fp, int channels, int32 w, int32 h)
{
    if (setjmp(png_jmpbuf(png)))
        return PNGW_LIB;
    png_init_io(png, fp);
    const int type = channels == 1   ? PNG_COLOR_TYPE_GRAY
                     : channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA
                                     : PNG_COLOR_TYPE_RGB;
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, type, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    return PNGW_OK;
}

int32 rowSteps(png_structp png, const charu* rows, int32 n, std::size_t stride)
{
    if (setjmp(png_jmpbuf(png)))
        return PNGW_LIB;
    for (int32 i = 0; i < n; ++i)
        png_write_row(png, rows + std::size_t(i) * stride);
    return PNGW_OK;
}

int32 endSteps(png_structp png, png_infop info)
{
    if (setjmp(png_jmpbuf(png)))
        return PNGW_LIB;
    png_write_end(png, info);
    return PNGW_OK;
}

} // namespace

pngWriter::~pngWriter()
{
    release();
}

void pngWriter::release()
{
    if (png) {
        png_structp p = static_cast<png_structp>(png);
        png_infop i = static_cast<png_infop>(info);
        png_destroy_write_struct(&p, i ? &i : nullptr);
    }
    png = info = nullptr;
}

int32 MK_PNG_HDR(pngWriter& pw, std::FILE* fp, int channels, int32 w, int32 h)
{
    pw.release();
    pw.failed = false;
    pw.channels = channels;
    pw.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    if (!pw.png)
        return PNGW_NO_WRITE;
    pw.info = png_create_info_struct(pngOf(pw));
    if (!pw.info) {
        pw.release();
        return PNGW_NO_INFO;
    }
    const int32 rc = headerSteps(pngOf(pw), infoOf(pw), fp, channels, w, h);
    if (rc != PNGW_OK) {
        pw.failed = true;
        pw.release();
    }
    return rc;
}

int32 pngWriteRows(pngWriter& pw, const charu* rows, int32 n, std::size_t stride)
{
    if (!pw.png || pw.failed)
        return PNGW_LIB;
    const int32 rc = rowSteps(pngOf(pw), rows, n, stride);
    if (rc != PNGW_OK) {
        pw.failed = true;
        pw.release();
    }
    return rc;
}

int32 pngWriteEnd(pngWriter& pw)
{
    if (!pw.png || pw.failed)
        return PNGW_LIB;
    const int32 rc = endSteps(pngOf(pw), infoOf(pw));
    pw.failed = rc != PNGW_OK;
    pw.release();
    return rc;
}
