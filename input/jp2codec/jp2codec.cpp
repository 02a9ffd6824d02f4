// The codec layer on OpenJPEG. The family source owns the file; the JP2 source owns the
// decoder, the stream the decoder reads through (our FILE, so a name under /proc/self/fd
// reaches the decrypted copy of an encrypted file) and the header image; the codestream holds
// the restrictions; the stripe decompressor runs the decode once, then copies rows out of the
// decoded picture. OpenJPEG reports errors through callbacks and return values, never by
// jumping or exiting, so every failure comes back here as a result.
#include "jp2codec.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <openjpeg.h>
#include <sys/stat.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "diag.h"

namespace kdu_supp {

struct kd_family_state {
    std::FILE* fp = nullptr;
    std::uint64_t length = 0;
};

struct kd_source_state {
    opj_codec_t* codec = nullptr;
    opj_stream_t* stream = nullptr;
    opj_image_t* image = nullptr; // header, later the decoded picture
    int maxDiscard = 0;           // resolution levels every component can drop
    bool decoded = false;         // the decoder runs once per source
};

} // namespace kdu_supp

namespace kdu_core {

struct kd_codestream {
    kdu_supp::kd_source_state* src = nullptr;
    std::vector<int> comps; // codestream index of each presented component
    int discard = 0;
    bool hasRegion = false;
    // Canvas rectangle decoded, as x0, y0, x1, y1 (end exclusive).
    std::int64_t rx0 = 0, ry0 = 0, rx1 = 0, ry1 = 0;
};

struct kd_stripe_state {
    struct comp {
        const OPJ_INT32* data = nullptr;
        int w = 0, h = 0, depth = 0;
        bool sgnd = false;
        int next = 0; // next row to hand out
    };
    std::vector<comp> comps;
};

} // namespace kdu_core

namespace {

using namespace kdu_core;
using namespace kdu_supp;

// The decoder's own texts end with a newline; ours start with one.
std::string trimmed(const char* msg)
{
    std::string s = msg ? msg : "";
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
        s.pop_back();
    return s;
}
void onError(const char* msg, void*)
{
    DIAG("\n***J2K codec: %s", trimmed(msg).c_str());
}
void onWarning(const char* msg, void*)
{
    DIAG("\n---J2K codec: %s", trimmed(msg).c_str());
}
void onInfo(const char*, void*) {}

OPJ_SIZE_T streamRead(void* buf, OPJ_SIZE_T n, void* user)
{
    auto* fs = static_cast<kd_family_state*>(user);
    const std::size_t got = std::fread(buf, 1, n, fs->fp);
    return got == 0 ? OPJ_SIZE_T(-1) : got;
}
OPJ_OFF_T streamSkip(OPJ_OFF_T n, void* user)
{
    auto* fs = static_cast<kd_family_state*>(user);
    return fseeko(fs->fp, off_t(n), SEEK_CUR) == 0 ? n : -1;
}
OPJ_BOOL streamSeek(OPJ_OFF_T pos, void* user)
{
    auto* fs = static_cast<kd_family_state*>(user);
    return fseeko(fs->fp, off_t(pos), SEEK_SET) == 0 ? OPJ_TRUE : OPJ_FALSE;
}

std::uint32_t be32(const unsigned char* p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           std::uint32_t(p[3]);
}

std::int64_t ceilDiv(std::int64_t a, std::int64_t b)
{
    return (a + b - 1) / b;
}
std::int64_t ceilDivPow2(std::int64_t a, int r)
{
    return (a + (std::int64_t(1) << r) - 1) >> r;
}

void releaseSource(kd_source_state* s)
{
    if (!s)
        return;
    if (s->image)
        opj_image_destroy(s->image);
    if (s->stream)
        opj_stream_destroy(s->stream);
    if (s->codec)
        opj_destroy_codec(s->codec);
    delete s;
}

// The header must describe a picture the rest of the layer can size without overflow.
bool headerUsable(const opj_image_t* im)
{
    if (!im || im->numcomps == 0 || !im->comps || im->x1 <= im->x0 || im->y1 <= im->y0)
        return false;
    for (OPJ_UINT32 c = 0; c < im->numcomps; ++c) {
        const opj_image_comp_t& k = im->comps[c];
        if (k.dx == 0 || k.dy == 0 || k.prec == 0 || k.prec > 31)
            return false;
    }
    return true;
}

// Sample rectangle of codestream component k at the codestream's resolution, as x0, y0, x1, y1.
void compRect(const kd_codestream* cs, int k, std::int64_t r[4])
{
    const opj_image_t* im = cs->src->image;
    const opj_image_comp_t& c = im->comps[k];
    const std::int64_t ax0 = cs->hasRegion ? cs->rx0 : im->x0;
    const std::int64_t ay0 = cs->hasRegion ? cs->ry0 : im->y0;
    const std::int64_t ax1 = cs->hasRegion ? cs->rx1 : im->x1;
    const std::int64_t ay1 = cs->hasRegion ? cs->ry1 : im->y1;
    r[0] = ceilDivPow2(ceilDiv(ax0, c.dx), cs->discard);
    r[1] = ceilDivPow2(ceilDiv(ay0, c.dy), cs->discard);
    r[2] = ceilDivPow2(ceilDiv(ax1, c.dx), cs->discard);
    r[3] = ceilDivPow2(ceilDiv(ay1, c.dy), cs->discard);
}

kdu_dims toDims(const std::int64_t r[4])
{
    kdu_dims d;
    d.pos.x = int(r[0]);
    d.pos.y = int(r[1]);
    d.size.x = int(std::max<std::int64_t>(0, r[2] - r[0]));
    d.size.y = int(std::max<std::int64_t>(0, r[3] - r[1]));
    return d;
}

// One sample from the decoder's range (depth bits, signed or not) into `prec` unsigned bits.
struct sampleMap {
    int depth, prec;
    bool sgnd;
    std::int64_t offset, maxIn, maxOut;
    sampleMap(int d, int p, bool s)
        : depth(d), prec(p), sgnd(s), offset(s ? std::int64_t(1) << (d - 1) : 0),
          maxIn((std::int64_t(1) << d) - 1), maxOut((std::int64_t(1) << p) - 1)
    {
    }
    std::int64_t operator()(OPJ_INT32 v) const
    {
        const std::int64_t u = std::clamp<std::int64_t>(std::int64_t(v) + offset, 0, maxIn);
        if (prec == depth)
            return u;
        if (prec < depth)
            return u >> (depth - prec);
        return (u * maxOut + maxIn / 2) / maxIn;
    }
};

// 8-bit samples out of the decoder's 32-bit ones, clamped to 0-255 (saturating packs).
void narrowTo8(const OPJ_INT32* in, kdu_byte* out, int n)
{
    int x = 0;
#if defined(__SSE2__)
    for (; x + 16 <= n; x += 16) {
        const auto* p = reinterpret_cast<const __m128i*>(in + x);
        const __m128i lo = _mm_packs_epi32(_mm_loadu_si128(p), _mm_loadu_si128(p + 1));
        const __m128i hi = _mm_packs_epi32(_mm_loadu_si128(p + 2), _mm_loadu_si128(p + 3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(lo, hi));
    }
#endif
    for (; x < n; ++x)
        out[x] = kdu_byte(std::clamp<OPJ_INT32>(in[x], 0, 255));
}

template <typename T>
bool pullRows(kd_stripe_state* st, T* bufs[], int heights[], const int* sampleGaps,
              const int* rowGaps, const int* precisions, const bool* isSigned, int maxPrec)
{
    if (!st)
        return false;
    bool more = false;
    for (std::size_t c = 0; c < st->comps.size(); ++c) {
        kd_stripe_state::comp& k = st->comps[c];
        const int rows = std::clamp(heights[c], 0, k.h - k.next);
        heights[c] = rows;
        const std::int64_t gap = sampleGaps ? sampleGaps[c] : 1;
        const std::int64_t rowGap = rowGaps ? rowGaps[c] : gap * k.w;
        const int prec = std::clamp(precisions ? precisions[c] : k.depth, 1, maxPrec);
        const sampleMap map(k.depth, prec, k.sgnd);
        // A signed output keeps the decoder's signed range (16-bit form only).
        const bool keepSigned = isSigned && isSigned[c] && k.sgnd;
        for (int y = 0; y < rows; ++y) {
            const OPJ_INT32* in = k.data + std::int64_t(k.next + y) * k.w;
            T* out = bufs[c] + y * rowGap;
            if (keepSigned) {
                for (int x = 0; x < k.w; ++x)
                    out[x * gap] = T(std::clamp<std::int64_t>(in[x], -32768, 32767));
            } else if (sizeof(T) == 1 && gap == 1 && prec == 8 && k.depth == 8 && !k.sgnd) {
                narrowTo8(in, reinterpret_cast<kdu_byte*>(out), k.w);
            } else if (gap == 1 && prec == k.depth && !k.sgnd) {
                // The usual case: the decoder has already clamped to the depth.
                const OPJ_INT32 hi = OPJ_INT32(map.maxIn);
                for (int x = 0; x < k.w; ++x)
                    out[x] = T(std::clamp<OPJ_INT32>(in[x], 0, hi));
            } else {
                for (int x = 0; x < k.w; ++x)
                    out[x * gap] = T(map(in[x]));
            }
        }
        k.next += rows;
        more = more || k.next < k.h;
    }
    return more;
}

} // namespace

namespace kdu_core {

kdu_dims kdu_dims::intersection(const kdu_dims& o) const
{
    const std::int64_t x0 = std::max(pos.x, o.pos.x), y0 = std::max(pos.y, o.pos.y);
    const std::int64_t x1 =
        std::min(std::int64_t(pos.x) + size.x, std::int64_t(o.pos.x) + o.size.x);
    const std::int64_t y1 =
        std::min(std::int64_t(pos.y) + size.y, std::int64_t(o.pos.y) + o.size.y);
    kdu_dims d;
    d.pos.x = int(x0);
    d.pos.y = int(y0);
    d.size.x = int(std::max<std::int64_t>(0, x1 - x0));
    d.size.y = int(std::max<std::int64_t>(0, y1 - y0));
    return d;
}

void kdu_codestream::create(kdu_supp::jp2_source* source, kdu_thread_env*, kdu_membroker*)
{
    destroy();
    if (!source || !source->state_ || !source->state_->image || source->state_->decoded)
        return;
    auto* cs = new (std::nothrow) kd_codestream;
    if (!cs)
        return;
    cs->src = source->state_;
    for (OPJ_UINT32 c = 0; c < cs->src->image->numcomps; ++c)
        cs->comps.push_back(int(c));
    state_ = cs;
}

int kdu_codestream::get_num_components() const
{
    return state_ ? int(state_->comps.size()) : 0;
}

void kdu_codestream::get_dims(int comp_idx, kdu_dims& dims) const
{
    dims = kdu_dims{};
    if (!state_)
        return;
    std::int64_t r[4];
    if (comp_idx < 0) {
        const opj_image_t* im = state_->src->image;
        r[0] = ceilDivPow2(state_->hasRegion ? state_->rx0 : im->x0, state_->discard);
        r[1] = ceilDivPow2(state_->hasRegion ? state_->ry0 : im->y0, state_->discard);
        r[2] = ceilDivPow2(state_->hasRegion ? state_->rx1 : im->x1, state_->discard);
        r[3] = ceilDivPow2(state_->hasRegion ? state_->ry1 : im->y1, state_->discard);
    } else if (std::size_t(comp_idx) < state_->comps.size()) {
        compRect(state_, state_->comps[std::size_t(comp_idx)], r);
    } else {
        return;
    }
    dims = toDims(r);
}

int kdu_codestream::get_bit_depth(int comp_idx) const
{
    if (!state_ || comp_idx < 0 || std::size_t(comp_idx) >= state_->comps.size())
        return 0;
    return int(state_->src->image->comps[state_->comps[std::size_t(comp_idx)]].prec);
}

void kdu_codestream::apply_input_restrictions(int first_component, int max_components,
                                              int discard_levels, int max_layers,
                                              const kdu_dims* region)
{
    if (!state_)
        return;
    const int n = int(state_->src->image->numcomps);
    std::vector<int> list;
    for (int c = std::max(first_component, 0); c < n; ++c) {
        if (max_components > 0 && int(list.size()) == max_components)
            break;
        list.push_back(c);
    }
    if (first_component < 0 || first_component >= n)
        list.clear();
    apply_input_restrictions(int(list.size()), list.data(), discard_levels, max_layers, region);
}

void kdu_codestream::apply_input_restrictions(int num_indices, const int* component_indices,
                                              int discard_levels, int max_layers,
                                              const kdu_dims* region)
{
    (void)max_layers; // every quality layer is always decoded
    if (!state_)
        return;
    const opj_image_t* im = state_->src->image;
    state_->comps.clear();
    for (int i = 0; i < num_indices; ++i)
        if (component_indices[i] >= 0 && OPJ_UINT32(component_indices[i]) < im->numcomps)
            state_->comps.push_back(component_indices[i]);
    // Levels beyond what every component holds cannot be dropped.
    state_->discard = std::clamp(discard_levels, 0, state_->src->maxDiscard);
    state_->hasRegion = false;
    if (region) {
        state_->hasRegion = true;
        state_->rx0 = std::clamp<std::int64_t>(region->pos.x, im->x0, im->x1);
        state_->ry0 = std::clamp<std::int64_t>(region->pos.y, im->y0, im->y1);
        state_->rx1 =
            std::clamp<std::int64_t>(std::int64_t(region->pos.x) + region->size.x, im->x0, im->x1);
        state_->ry1 =
            std::clamp<std::int64_t>(std::int64_t(region->pos.y) + region->size.y, im->y0, im->y1);
    }
}

bool kdu_codestream::map_region(int comp_idx, const kdu_dims& comp_region,
                                kdu_dims& hires_region) const
{
    if (!state_ || comp_idx < 0 || std::size_t(comp_idx) >= state_->comps.size())
        return false;
    const opj_image_comp_t& c = state_->src->image->comps[state_->comps[std::size_t(comp_idx)]];
    const int r = state_->discard;
    const auto up = [r](std::int64_t v, std::int64_t d) {
        return std::clamp<std::int64_t>((v << r) * d, 0, INT32_MAX);
    };
    const std::int64_t x0 = up(comp_region.pos.x, c.dx), y0 = up(comp_region.pos.y, c.dy);
    const std::int64_t x1 = up(std::int64_t(comp_region.pos.x) + comp_region.size.x, c.dx);
    const std::int64_t y1 = up(std::int64_t(comp_region.pos.y) + comp_region.size.y, c.dy);
    hires_region.pos.x = int(x0);
    hires_region.pos.y = int(y0);
    hires_region.size.x = int(x1 - x0);
    hires_region.size.y = int(y1 - y0);
    return true;
}

void kdu_codestream::set_fast() {}
void kdu_codestream::set_fussy() {}

void kdu_codestream::destroy()
{
    delete state_;
    state_ = nullptr;
}

kdu_stripe_decompressor::~kdu_stripe_decompressor()
{
    reset();
}

bool kdu_stripe_decompressor::start(kdu_codestream codestream, bool, bool)
{
    reset();
    kd_codestream* cs = codestream.state_;
    if (!cs || !cs->src || cs->src->decoded || cs->comps.empty())
        return false;
    kdu_supp::kd_source_state* src = cs->src;
    src->decoded = true;
    opj_image_t* im = src->image;
    const OPJ_UINT32 numcomps = im->numcomps;

    // The expected size of every presented component, before the decoder changes the header.
    std::vector<kdu_dims> want;
    for (int k : cs->comps) {
        std::int64_t r[4];
        compRect(cs, k, r);
        want.push_back(toDims(r));
        if (want.back().is_empty())
            return false;
    }
    if (cs->discard > 0 && !opj_set_decoded_resolution_factor(src->codec, OPJ_UINT32(cs->discard)))
        return false;
    if (cs->hasRegion &&
        !opj_set_decode_area(src->codec, im, OPJ_INT32(cs->rx0), OPJ_INT32(cs->ry0),
                             OPJ_INT32(cs->rx1), OPJ_INT32(cs->ry1)))
        return false;
    if (!opj_decode(src->codec, src->stream, im) || !opj_end_decompress(src->codec, src->stream))
        return false;

    // A palette or channel definitions change the component count: not a picture we can
    // present as the header described it.
    if (im->numcomps != numcomps) {
        DIAG("\n***J2K codec: %u components decoded, %u declared", im->numcomps, numcomps);
        return false;
    }
    auto* st = new (std::nothrow) kd_stripe_state;
    if (!st)
        return false;
    for (std::size_t i = 0; i < cs->comps.size(); ++i) {
        const opj_image_comp_t& c = im->comps[cs->comps[i]];
        if (!c.data || int(c.w) != want[i].size.x || int(c.h) != want[i].size.y) {
            DIAG("\n***J2K codec: component %d decoded as %ux%u, expected %dx%d", cs->comps[i], c.w,
                 c.h, want[i].size.x, want[i].size.y);
            delete st;
            return false;
        }
        st->comps.push_back({c.data, int(c.w), int(c.h), int(c.prec), c.sgnd != 0, 0});
    }
    state_ = st;
    return true;
}

bool kdu_stripe_decompressor::get_recommended_stripe_heights(int preferred_min, int absolute_max,
                                                             int stripe_heights[],
                                                             int* max_stripe_heights)
{
    if (!state_)
        return false;
    // The picture is decoded whole: any height serves; the largest allowed costs fewest calls.
    const int h = std::max(1, absolute_max > 0 ? absolute_max : preferred_min);
    for (std::size_t c = 0; c < state_->comps.size(); ++c) {
        const int rows = std::min(h, std::max(state_->comps[c].h, 1));
        stripe_heights[c] = rows;
        if (max_stripe_heights)
            max_stripe_heights[c] = rows;
    }
    return true;
}

bool kdu_stripe_decompressor::pull_stripe(kdu_byte* stripe_bufs[], int stripe_heights[],
                                          int* sample_gaps, int* row_gaps, int* precisions)
{
    return pullRows(state_, stripe_bufs, stripe_heights, sample_gaps, row_gaps, precisions, nullptr,
                    8);
}

bool kdu_stripe_decompressor::pull_stripe(kdu_int16* stripe_bufs[], int stripe_heights[],
                                          int* sample_gaps, int* row_gaps, int* precisions,
                                          bool* is_signed)
{
    return pullRows(state_, stripe_bufs, stripe_heights, sample_gaps, row_gaps, precisions,
                    is_signed, 16);
}

bool kdu_stripe_decompressor::finish()
{
    bool all = state_ != nullptr;
    if (state_)
        for (const auto& c : state_->comps)
            all = all && c.next == c.h;
    reset();
    return all;
}

void kdu_stripe_decompressor::reset()
{
    delete state_;
    state_ = nullptr;
}

} // namespace kdu_core

namespace kdu_supp {

jp2_family_src::~jp2_family_src()
{
    close();
}

bool jp2_family_src::open(const char* fname, bool allow_seeks, kdu_core::kdu_membroker*)
{
    close();
    if (!fname)
        return false;
    std::FILE* fp = std::fopen(fname, "rb");
    if (!fp)
        return false;
    struct stat sb {};
    if (fstat(fileno(fp), &sb) != 0 || (allow_seeks && !S_ISREG(sb.st_mode))) {
        std::fclose(fp);
        return false;
    }
    state_ = new (std::nothrow) kd_family_state{fp, std::uint64_t(sb.st_size)};
    if (!state_) {
        std::fclose(fp);
        return false;
    }
    return true;
}

void jp2_family_src::close()
{
    if (state_ && state_->fp)
        std::fclose(state_->fp);
    delete state_;
    state_ = nullptr;
}

bool jp2_input_box::open(jp2_family_src* src, jp2_locator loc)
{
    close();
    if (!src || !src->state_)
        return false;
    kd_family_state* fs = src->state_;
    unsigned char h[16];
    if (loc.pos + 8 > fs->length || fseeko(fs->fp, off_t(loc.pos), SEEK_SET) != 0 ||
        std::fread(h, 1, 8, fs->fp) != 8)
        return false;
    std::uint64_t len = be32(h);
    std::uint64_t header = 8;
    if (len == 1) {
        if (loc.pos + 16 > fs->length || std::fread(h + 8, 1, 8, fs->fp) != 8)
            return false;
        len = (std::uint64_t(be32(h + 8)) << 32) | be32(h + 12);
        header = 16;
    } else if (len == 0) {
        len = fs->length - loc.pos; // the box runs to the end of the file
    }
    if (len < header || len > fs->length - loc.pos)
        return false;
    type_ = be32(h + 4);
    length_ = len - header;
    open_ = true;
    return true;
}

bool jp2_input_box::close()
{
    const bool was = open_;
    open_ = false;
    type_ = 0;
    length_ = 0;
    return was;
}

jp2_source::~jp2_source()
{
    close();
}

bool jp2_source::open(jp2_family_src* src, jp2_locator loc)
{
    close();
    jp2_input_box first;
    if (!first.open(src, loc))
        return false;
    first.close();
    src_ = src;
    return true;
}

bool jp2_source::read_header()
{
    if (!src_ || !src_->state_ || state_)
        return false;
    auto* s = new (std::nothrow) kd_source_state;
    if (!s)
        return false;
    kd_family_state* fs = src_->state_;
    s->codec = opj_create_decompress(OPJ_CODEC_JP2);
    s->stream = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE);
    if (!s->codec || !s->stream || fseeko(fs->fp, 0, SEEK_SET) != 0) {
        releaseSource(s);
        return false;
    }
    opj_set_error_handler(s->codec, onError, nullptr);
    opj_set_warning_handler(s->codec, onWarning, nullptr);
    opj_set_info_handler(s->codec, onInfo, nullptr);
    opj_stream_set_user_data(s->stream, fs, nullptr);
    opj_stream_set_user_data_length(s->stream, fs->length);
    opj_stream_set_read_function(s->stream, streamRead);
    opj_stream_set_skip_function(s->stream, streamSkip);
    opj_stream_set_seek_function(s->stream, streamSeek);
    opj_dparameters_t params;
    opj_set_default_decoder_parameters(&params);
    if (!opj_setup_decoder(s->codec, &params) || !opj_read_header(s->stream, s->codec, &s->image) ||
        !headerUsable(s->image)) {
        releaseSource(s);
        return false;
    }
    // The levels every component can drop: one fewer than its resolutions.
    s->maxDiscard = 32;
    if (opj_codestream_info_v2_t* info = opj_get_cstr_info(s->codec)) {
        const opj_tile_info_v2_t& t = info->m_default_tile_info;
        for (OPJ_UINT32 c = 0; c < info->nbcomps && t.tccp_info; ++c)
            s->maxDiscard = std::min<int>(s->maxDiscard, int(t.tccp_info[c].numresolutions) - 1);
        opj_destroy_cstr_info(&info);
    } else {
        s->maxDiscard = 0;
    }
    s->maxDiscard = std::max(s->maxDiscard, 0);
    state_ = s;
    return true;
}

void jp2_source::close()
{
    releaseSource(state_);
    state_ = nullptr;
    src_ = nullptr;
}

} // namespace kdu_supp
