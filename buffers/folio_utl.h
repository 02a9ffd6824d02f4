// The folio table: fourteen scratch files that hold accumulators and snapshots, and the
// scaling accumulator (sBUFF) kept in them: its headers, the storing of HDR lines with their
// statistics, the accumulator files (".tav") and the exchange of float bands with operations.
#pragma once

#include <cstdio>
#include <memory>

#include "bufRecMgt.h"
#include "sbuffTypes.h"
#include "tavtypes.h"

constexpr int NUM_FOLIOS = 14;
constexpr int32u ALL_FOLIOS = 0x3FFF;

/// Claims the folios of `mask`: a created one is rewound and truncated, an uncreated one
/// gets a new scratch file; their defined bits are cleared. Returns the created mask.
int32u CLAIM_FOLIOS(int32u mask);
/// The scratch file of a slot to read or write, or null when it was never created (or the
/// lines of its last load, held in memory, could not be written to it).
std::FILE* FOLIO_FILE(int slot);
/// True when the slot's scratch file exists (asks nothing of its contents).
bool FOLIO_CREATED(int slot);
/// Mask of folios whose scratch file exists.
int32u foliosCreated();
/// Mask of folios that hold a header.
int32u foliosDefined();
/// The lines the last load of a slot stored, when they are still held in memory (rows after
/// rows, each holding the bands the folio stores per line, from the folio's data position);
/// null when they must be read from the scratch file.
const float* RESIDENT_LINES(int slot);
/// Closes every scratch file (tests need a clean slate; the program keeps them to the end).
void resetFolios();

/// Writes desc (nBands clamped to 8, nScaleBands to 4, dataOfs set) and, when desc->nStats > 0,
/// that many records of stats padded with zero records to 8, at the start of folio slot.
/// 0; -1 slot not 0-13 or not created; -2 records wanted but not given; -3 write failed.
int PUT_FOLIO_HEADER(int slot, folioDesc* desc, const bandStats* stats);
/// Reads the descriptor and, when stats is given, min(nStats, 4) records of a defined folio,
/// leaving it positioned at its data. 0; -1 slot not 0-13 or not defined; -2 read failed.
int GET_FOLIO_HEADER(int slot, folioDesc* desc, bandStats* stats);

/// Starts an HDR load into the active sBUFF, or adds a band of a composition to it.
/// 0; -1 descriptor not defined or not storable; -3 header not written.
int PUT_sBUFF_HEADER(folioDesc* desc);
/// Stores one input line of `count` samples (non-finite ones become 0 in place) with the first
/// statistics pass. 0; -1 no load started; -2 line shorter than the accumulator's; -3 write.
int PUT_sBUFF_SCANLINE(float* samples, std::size_t count);
/// After the last line: second statistics pass, finalisation and the header rewritten.
/// 0; -1 no load started; -2 folio not flushed; -3 no line buffer; -4 read; -5 header write.
int END_sBUFF_LOAD();

/// RENDER_sBUFF targets and options.
enum : int32u {
    RSB_TO_iBUFF = 0x40,    ///< render into the iBUFF given
    RSB_TO_DISPLAY = 0x200, ///< render into the display's FG AOI (target = that area)
    RSB_SET_SRCBUF = 0x2000 ///< the accumulator first takes the iBUFF as its source buffer
};
/// Renders the active sBUFF through the current scaling of its guns into bd (a grey band to
/// R, G and B, alpha kept) and gives the image each gun's descaling table and curve name.
/// 0; -1 sBUFF not defined; -2 no bd; -3 target flags; -4 cols, rows under 16 or nBands not
/// 1-8; -5 display area differs from the aoi; -6 bd's size differs; -7 dType; -8 no line
/// buffer or the folio unreadable; -9 display target not available; -10 image neither HDR nor
/// rendered; -11 rendered from another buffer; -12 image size differs from the aoi; -13 more
/// than one image (or no room for one).
int RENDER_sBUFF(const aoiRec* target, bufdes* bd, int32u flags);

/// True when the image carries a render of the accumulator: rendering names its curve in the
/// image's scaling record, which a fresh image has as "UNSCALED".
bool IMAGE_RENDERED(const ides& img);

/// A rectangle of the display lent to RENDER_sBUFF: its pixels, read from the display, row
/// after row (width of the rectangle), and the write back. The view lends one while it is open.
class sbuffDisplayArea {
public:
    virtual ~sbuffDisplayArea() = default;
    /// The rectangle's pixels as the display holds them; null when they cannot be read.
    virtual int32u* pixels() = 0;
    /// Writes the pixels back to the display.
    virtual void commit() = 0;
};
/// Opens a display rectangle (null when none can be had, e.g. no view or no memory).
using sbuffDisplayOpener = sbuffDisplayArea* (*)(const aoiRec& area);
/// Installs the opener the display target of RENDER_sBUFF uses; nullptr removes it.
void SET_sBUFF_DISPLAY(sbuffDisplayOpener opener);

/// Copies band (from 1) of the active sBUFF into user accumulator acc (0-3), noting srcBuf as
/// its source buffer. 0; -1 no active folio; -2 bad acc; -4 header unreadable or band not in
/// the sBUFF; -5 no line buffer; -7 read; -8 write.
int CUT_SBUFFtoACCUM(int acc, int band, int srcBuf);

/// Writes n float bands of the aoi's size (rows x cols each) into the active sBUFF. stats, when
/// given, holds the records of the scaled bands; otherwise they are computed. srcBuf is the
/// current buffer; dispW x dispH the display, which decides band-sequential storage.
/// 0; -1 n not 1-8 or no folio; -2 dType; -3 aoi under 16 x 16; -4 header; -5 no line buffer;
/// -6 write of interleaved lines; -7 write of sequential bands.
int WRITE_sBUFF_BANDS(const float* const* bands, const bandStats* stats, const aoiRec& aoi, int n,
                      int dType, const char* process, int layout, int srcBuf, int32 dispW,
                      int32 dispH);

/// Release of the float blocks handed out by READ_sBUFF_BANDS.
struct floatBlockFree {
    void operator()(float* p) const;
};
using floatBlock = std::unique_ptr<float, floatBlockFree>;
/// Bands read back from the active sBUFF. Layout 1: block[0] is the single band; 2: block[b]
/// is band b (rows x cols); 3: block[0] holds, line after line, each band's cols samples in
/// turn; 4: block[0] is pixel-interleaved.
struct sbuffBands {
    int layout = 0;
    int nBands = 0;
    int32u cols = 0, rows = 0;
    floatBlock block[SBUFF_MAX_BANDS];
};
/// 0; -1 no defined folio; -2 unknown layout; -3 nBands not 1-8; -4 one band needs layout 1
/// and layout 1 one band; -5 layout 4 with 5 or more bands; -6 band-sequential data in layout
/// 1 or 4; -7 dType; -8 refused by the memory guard; -9 blocks; -10 line buffer; -11 read.
int READ_sBUFF_BANDS(int layout, sbuffBands& out);

/// Ingests an accumulator file (binary descriptor, or the "TAVIMAGE" text header followed by
/// the data) into the Exploit sBUFF, which becomes active. 0; -1 no folio; -2 open; -3 header
/// short or unreadable; -4 statistics count or records; -5 dType; -6 nBands or nScaleBands;
/// -7 folio header; -8 no line buffer; -9 interleaved line buffer; -10/-11/-12 data missing or
/// unreadable (pixel-interleaved, scan-interleaved, sequential); -13 sizes, storage mode,
/// offsets or process text not valid.
int file_to_sbuff(const char* path, int32& cols, int32& rows);
/// Saves the active sBUFF as an accumulator file, with the binary descriptor or, when
/// textHeader, the text header. 0; -1 nothing in the sBUFF; -2 open; -3 no line buffer;
/// -4 header; -5/-6 data (scan-interleaved, others); -7 the file could not be completed
/// (flush or close failed, e.g. a full disk).
int sbuff_to_file(const char* path, bool textHeader = false);

/// Writes the text header. 0; -1 no stream or cols/rows under 1; -2 dType; -3 sMode; -4 nBands
/// not 1-32; -5 FLAT with a complex type; -6 write failed. Statistics, when given, are nStats
/// records; bands beyond them are written as zeros.
int PUT_FOLIO_TEXT_HEADER(std::FILE* f, const folioDesc* desc, const bandStats* stats, int nStats);
/// Statistics the text header hands back: low, high, mean, stdDev for up to 16 bands.
constexpr int TEXT_STATS_VALUES = 64;
/// Reads a text header up to and including "{END}" (or the end of file). stats, when given,
/// receives TEXT_STATS_VALUES floats. 0; -1 unknown type or mode name or a malformed number;
/// -2 a line too long.
int GET_FOLIO_TEXT_HEADER(std::FILE* f, folioDesc* desc, float* stats);
