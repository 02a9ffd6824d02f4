// The JPEG 2000 codec layer the image reader decodes through: a family source (the file), its
// boxes, a JP2 source that reads the header, a codestream view that can be narrowed to a list
// of components, a resolution level and a region, and a stripe decompressor that hands the
// picture out in stripes of rows.
//
// Failures never leave through exceptions, jumps or process exit: every call that can fail
// says so in its result, and the decoder's own error texts go to standard error.
//
// Coordinates: the high-resolution canvas is the reference grid of the codestream at full
// resolution. A component's dimensions are given in its own sample grid at the resolution the
// codestream presents (after discarded levels).
#pragma once

#include <cstdint>

namespace kdu_supp {
class jp2_source;
}

namespace kdu_core {

using kdu_byte = std::uint8_t;
using kdu_int16 = std::int16_t;
using kdu_uint32 = std::uint32_t;

/// A point or an extent.
struct kdu_coords {
    int x = 0, y = 0;
};

/// A rectangle: origin and size.
struct kdu_dims {
    kdu_coords pos, size;
    /// True when the rectangle holds no sample.
    bool is_empty() const { return size.x <= 0 || size.y <= 0; }
    /// The common part of two rectangles (empty when they do not meet).
    kdu_dims intersection(const kdu_dims& o) const;
};

/// Never defined: the layer runs on the caller's thread and allocates for itself.
class kdu_thread_env;
class kdu_membroker;

struct kd_codestream;

/// A handle on one codestream; copies share it. create() makes it, destroy() ends it.
class kdu_codestream {
public:
    /// Creates the codestream on a JP2 source whose header has been read. Failure leaves the
    /// handle empty (exists() false).
    void create(kdu_supp::jp2_source* source, kdu_thread_env* env = nullptr,
                kdu_membroker* broker = nullptr);
    /// True between a successful create() and destroy().
    bool exists() const { return state_ != nullptr; }
    /// Components the codestream presents (all of them until restricted).
    int get_num_components() const;
    /// Dimensions of presented component comp_idx; a negative index gives the image on the
    /// canvas at the presented resolution.
    void get_dims(int comp_idx, kdu_dims& dims) const;
    /// Bit depth of presented component comp_idx (0 when there is none).
    int get_bit_depth(int comp_idx) const;
    /// Presents max_components components from first_component on (all that remain when
    /// max_components is 0), with discard_levels resolution levels dropped and, when given,
    /// only the part of the image that covers region (high-resolution canvas).
    void apply_input_restrictions(int first_component, int max_components, int discard_levels,
                                  int max_layers, const kdu_dims* region);
    /// As above with the components named one by one (codestream indices, in the order they
    /// are to be presented; an index may repeat).
    void apply_input_restrictions(int num_indices, const int* component_indices, int discard_levels,
                                  int max_layers, const kdu_dims* region);
    /// Maps a region of presented component comp_idx onto the high-resolution canvas; false
    /// when there is no such component.
    bool map_region(int comp_idx, const kdu_dims& comp_region, kdu_dims& hires_region) const;
    /// Decoding modes; accepted for the reader's sake, the decoder has one mode.
    void set_fast();
    void set_fussy();
    /// Ends the codestream; safe on an empty handle.
    void destroy();

private:
    friend class kdu_stripe_decompressor;
    kd_codestream* state_ = nullptr;
};

struct kd_stripe_state;

/// Decodes the presented part of a codestream and hands it out top-down in stripes.
class kdu_stripe_decompressor {
public:
    kdu_stripe_decompressor() = default;
    ~kdu_stripe_decompressor();
    kdu_stripe_decompressor(const kdu_stripe_decompressor&) = delete;
    kdu_stripe_decompressor& operator=(const kdu_stripe_decompressor&) = delete;

    /// Decodes what the codestream presents; false (with its reason on standard error) when
    /// the data cannot be decoded or memory runs out. The picture is then empty.
    bool start(kdu_codestream codestream, bool force_precise = false, bool want_fastest = false);
    /// Stripe heights for each presented component: at least preferred_min rows, at most
    /// absolute_max. True when following them is advised (always, once started).
    bool get_recommended_stripe_heights(int preferred_min, int absolute_max, int stripe_heights[],
                                        int* max_stripe_heights);
    /// Fills the next stripe_heights[c] rows of every presented component c into
    /// stripe_bufs[c] (sample_gaps[c] samples between columns, row_gaps[c] between rows; 1 and
    /// the width when null). Samples are rescaled to precisions[c] bits (the component's depth
    /// when null) and unsigned. False once the last row of every component has been handed out
    /// (also by this call), or when nothing was started.
    bool pull_stripe(kdu_byte* stripe_bufs[], int stripe_heights[], int* sample_gaps = nullptr,
                     int* row_gaps = nullptr, int* precisions = nullptr);
    /// As above into 16-bit samples; an unsigned sample (is_signed[c] false or null) keeps its
    /// bits, up to 16, in the 16-bit word.
    bool pull_stripe(kdu_int16* stripe_bufs[], int stripe_heights[], int* sample_gaps = nullptr,
                     int* row_gaps = nullptr, int* precisions = nullptr, bool* is_signed = nullptr);
    /// Releases the decoded picture; true when every row had been handed out.
    bool finish();
    /// Back to the state before start(); safe twice.
    void reset();

private:
    kd_stripe_state* state_ = nullptr;
};

} // namespace kdu_core

namespace kdu_supp {

using kdu_core::kdu_uint32;

/// Box type of the signature box that opens every JP2 family file ("jP  ").
constexpr kdu_uint32 jp2_signature_4cc = 0x6A502020;

/// Where a box starts; the default locator is the start of the file.
struct jp2_locator {
    std::uint64_t pos = 0;
};

struct kd_family_state;

/// The file a JP2 family image lives in.
class jp2_family_src {
public:
    jp2_family_src() = default;
    ~jp2_family_src();
    jp2_family_src(const jp2_family_src&) = delete;
    jp2_family_src& operator=(const jp2_family_src&) = delete;
    /// Opens the file by name for reading; false when it cannot be opened or is not seekable
    /// while seeks are wanted.
    bool open(const char* fname, bool allow_seeks = true,
              kdu_core::kdu_membroker* broker = nullptr);
    /// True while open.
    bool exists() const { return state_ != nullptr; }
    /// Closes the file; safe twice.
    void close();

private:
    friend class jp2_input_box;
    friend class jp2_source;
    kd_family_state* state_ = nullptr;
};

/// One box of a family source.
class jp2_input_box {
public:
    /// Reads the header of the box at the locator; false when there is none (end of file, or a
    /// length that does not fit the file).
    bool open(jp2_family_src* src, jp2_locator loc = jp2_locator());
    /// The box type (0 when not open).
    kdu_uint32 get_box_type() const { return open_ ? type_ : 0; }
    /// Bytes of the box contents.
    std::uint64_t get_remaining_bytes() const { return open_ ? length_ : 0; }
    /// Ends the box; true when it was open.
    bool close();

private:
    bool open_ = false;
    kdu_uint32 type_ = 0;
    std::uint64_t length_ = 0;
};

struct kd_source_state;

/// The JP2 reading of a family source: its header boxes and the codestream they lead to.
class jp2_source {
public:
    jp2_source() = default;
    ~jp2_source();
    jp2_source(const jp2_source&) = delete;
    jp2_source& operator=(const jp2_source&) = delete;
    /// Takes an open family source; true when it holds at least one well-formed box.
    bool open(jp2_family_src* src, jp2_locator loc = jp2_locator());
    /// Reads the JP2 header and the codestream's main header; false when either is unusable.
    bool read_header();
    /// Releases the header and the decoder; safe twice. The family source stays open.
    void close();

private:
    friend class kdu_core::kdu_codestream;
    friend class kdu_core::kdu_stripe_decompressor;
    jp2_family_src* src_ = nullptr;
    kd_source_state* state_ = nullptr;
};

} // namespace kdu_supp
