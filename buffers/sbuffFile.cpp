// Accumulator files (".tav"): the folio layout written out (descriptor, statistics slots,
// float data), or the readable "TAVIMAGE" text header followed by the same float data.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "diag.h"
#include "folioIo.h"
#include "folio_utl.h"
#include "lexical.h"
#include "sbuffActive.h"
#include "sbuffStats.h"

using namespace folioio;

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const
    {
        if (f)
            std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

struct codeName {
    int code;
    const char* name;
};
constexpr codeName typeNames[] = {{DTYPE_BYTE, "BYTE"},           {DTYPE_INT16, "INT16"},
                                  {DTYPE_INT32, "INT32"},         {DTYPE_FLOAT32, "FLOAT32"},
                                  {DTYPE_COMPLEX32, "COMPLEX32"}, {DTYPE_FLOAT64, "FLOAT64"},
                                  {DTYPE_COMPLEX64, "COMPLEX64"}};
constexpr codeName modeNames[] = {{SMODE_FLAT, "FLAT"},
                                  {SMODE_BAND_SEQ, "BAND_SEQ"},
                                  {SMODE_SCAN_IL, "SCAN_IL"},
                                  {SMODE_PIXEL_IL, "PIXEL_IL"}};

template <std::size_t N> const char* nameOf(const codeName (&t)[N], int code)
{
    for (const auto& e : t)
        if (e.code == code)
            return e.name;
    return nullptr;
}
template <std::size_t N> int codeOf(const codeName (&t)[N], std::string_view name)
{
    for (const auto& e : t)
        if (WORDEQ(e.name, name))
            return e.code;
    return 0;
}

// A text-header line: the process line may carry up to 255 characters after "PROCESS= ", so
// lines are longer than loader commands; blank and "#" lines are skipped and trailing blanks
// cut as in scripts, but the process text keeps any " #" it holds.
constexpr std::size_t kTextLineMax = 511;
enum { TL_EOF = 0, TL_OK = 1, TL_LONG = -1 };
int textLine(std::FILE* f, std::string& line)
{
    for (;;) {
        line.clear();
        int c;
        bool any = false, overflow = false;
        while ((c = std::fgetc(f)) != EOF) {
            any = true;
            if (c == '\n')
                break;
            if (line.size() < kTextLineMax)
                line.push_back(char(c));
            else
                overflow = true;
        }
        if (!any)
            return TL_EOF;
        if (overflow)
            return TL_LONG;
        std::size_t first = 0;
        while (first < line.size() && isBlankChar(line[first]))
            ++first;
        if (first == line.size() || line[first] == '#')
            continue;
        if (line.compare(first, 7, "PROCESS") != 0)
            for (std::size_t i = first + 1; i < line.size(); ++i)
                if (line[i] == '#' && isBlankChar(line[i - 1])) {
                    line.resize(i);
                    break;
                }
        while (!line.empty() && (isBlankChar(line.back()) || line.back() == '\r'))
            line.pop_back();
        line.erase(0, first);
        return TL_OK;
    }
}

// Blank- (and comma-) separated tokens of the rest of a line.
std::vector<std::string> tokens(std::string_view s, bool commas)
{
    std::vector<std::string> out;
    std::size_t i = 0;
    auto sep = [&](char c) { return isBlankChar(c) || (commas && c == ','); };
    while (i < s.size()) {
        while (i < s.size() && sep(s[i]))
            ++i;
        std::size_t j = i;
        while (j < s.size() && !sep(s[j]))
            ++j;
        if (j > i)
            out.emplace_back(s.substr(i, j - i));
        i = j;
    }
    return out;
}

bool toU32(const std::string& t, int32u& v)
{
    int32 x = 0;
    if (!toInt32(t.c_str(), x) || x < 0)
        return false;
    v = int32u(x);
    return true;
}

// Bytes of one band of the data.
std::uint64_t bandBytes(const folioDesc& d)
{
    return std::uint64_t(d.cols) * d.rows * sizeof(float);
}

// Everything in a descriptor read from a file that later decides sizes, offsets or reads is
// checked before any of it is used. Returns 0 or the refusal status.
int checkFileDesc(const folioDesc& d, std::uint64_t fileSize, bool binary)
{
    if (d.nStats < 0 || d.nStats > SBUFF_MAX_BANDS)
        return -4;
    if (d.dType != DTYPE_FLOAT32 && d.dType != DTYPE_COMPLEX32)
        return -5;
    if (d.nBands < 1 || d.nBands > SBUFF_MAX_BANDS || d.nScaleBands < 1 ||
        d.nScaleBands > std::min<int>(d.nBands, SBUFF_MAX_SCALE_BANDS))
        return -6;
    if (d.cols < 1 || d.rows < 1 || std::uint64_t(d.cols) * d.rows > (std::uint64_t(1) << 40))
        return -13;
    if (d.sMode < SMODE_FLAT || d.sMode > SMODE_PIXEL_IL ||
        (d.sMode == SMODE_FLAT && d.nBands != 1))
        return -13;
    if (binary && !std::memchr(d.process, 0, sizeof d.process))
        return -13;
    // Behind a binary descriptor the data start after the statistics slots; behind a text
    // header, where the header ends.
    const std::int64_t minData = !binary        ? 0
                                 : d.nStats > 0 ? SBUFF_DATA_WITH_STATS
                                                : SBUFF_DESC_BYTES;
    if (d.dataOfs < minData || std::uint64_t(d.dataOfs) > fileSize)
        return -13;
    const std::uint64_t bb = bandBytes(d);
    const int missing = d.sMode == SMODE_PIXEL_IL ? -10 : d.sMode == SMODE_SCAN_IL ? -11 : -12;
    if (d.sMode == SMODE_BAND_SEQ) {
        for (int b = 0; b < d.nBands; ++b) {
            if (d.bandOfs[b] < d.dataOfs)
                return -13;
            if (std::uint64_t(d.bandOfs[b]) + bb > fileSize)
                return missing;
        }
    } else if (std::uint64_t(d.dataOfs) + bb * std::uint64_t(d.nBands) > fileSize) {
        return missing;
    }
    return 0;
}

} // namespace

int PUT_FOLIO_TEXT_HEADER(std::FILE* f, const folioDesc* d, const bandStats* stats, int nStats)
{
    if (!f || d->cols < 1 || d->rows < 1)
        return -1;
    const char* type = nameOf(typeNames, d->dType);
    if (!type)
        return -2;
    const char* mode = nameOf(modeNames, d->sMode);
    if (!mode)
        return -3;
    if (d->nBands < 1 || d->nBands > 32)
        return -4;
    if (d->sMode == SMODE_FLAT && (d->dType == DTYPE_COMPLEX32 || d->dType == DTYPE_COMPLEX64))
        return -5;
    std::fprintf(f, "TAVIMAGE\n");
    std::fprintf(f, "COLS= %u\nROWS= %u\nNBANDS= %d\n", d->cols, d->rows, d->nBands);
    std::fprintf(f, "DTYPE= %s\nSMODE= %s\n", type, mode);
    std::fprintf(f, "AOI= %u %u %u %u\n", d->aoi[0], d->aoi[1], d->aoi[2], d->aoi[3]);
    if (d->srcBuf == 0)
        std::fprintf(f, "SOURCE= DISPLAY\n");
    else
        std::fprintf(f, "SOURCE= BUFFER %d\n", d->srcBuf);
    if (stats) {
        std::fprintf(f, "BAND_STATS\n");
        for (int b = 0; b < d->nBands; ++b) {
            const bandStats s = b < nStats ? stats[b] : bandStats{};
            std::fprintf(f, "  LO/HI/AVG/STDEV= %f %f %f %f\n", s.low, s.high, s.mean, s.stdDev);
        }
    }
    const std::size_t plen = strnlen(d->process, 255);
    if (plen > 0)
        std::fprintf(f, "PROCESS= %.*s\n", int(plen), d->process);
    std::fprintf(f, "{END}\n");
    return std::ferror(f) ? -6 : 0;
}

int GET_FOLIO_TEXT_HEADER(std::FILE* f, folioDesc* d, float* stats)
{
    *d = {};
    if (stats)
        std::fill(stats, stats + TEXT_STATS_VALUES, 0.0f);
    std::string line;
    for (;;) {
        const int got = textLine(f, line);
        if (got == TL_EOF)
            return 0;
        if (got == TL_LONG)
            return -2;
        const std::size_t cut = line.find_first_of("= \t");
        const std::string key = line.substr(0, cut);
        const std::size_t eq = line.find('=');
        const std::string rest = eq == std::string::npos ? std::string() : line.substr(eq + 1);
        const auto words = tokens(rest, false);
        auto has = [&](const char* k) { return key.find(k) != std::string::npos; };
        if (has("COLS") || has("ROWS")) {
            if (words.empty() || !toU32(words[0], has("COLS") ? d->cols : d->rows))
                return -1;
        } else if (has("NBANDS")) {
            int32 n = 0;
            if (words.empty() || !toInt32(words[0].c_str(), n) || n < 0 || n > 32767)
                return -1;
            d->nBands = std::int16_t(n);
        } else if (has("SMODE") || has("DTYPE")) {
            const int code = words.empty()  ? 0
                             : has("SMODE") ? codeOf(modeNames, words[0])
                                            : codeOf(typeNames, words[0]);
            if (!code)
                return -1;
            (has("SMODE") ? d->sMode : d->dType) = std::int16_t(code);
        } else if (has("AOI")) {
            if (words.size() < 4)
                return -1;
            for (int i = 0; i < 4; ++i)
                if (!toU32(words[std::size_t(i)], d->aoi[i]))
                    return -1;
        } else if (has("SOURCE")) {
            d->srcBuf = 0;
            if (!words.empty() && !WORDEQ(words[0], "DISPLAY")) {
                int32 n = 0;
                const std::string& num = words.size() > 1 ? words[1] : words[0];
                if (!toInt32(num.c_str(), n) || n < 0 || n > 32767)
                    return -1;
                d->srcBuf = std::int16_t(n);
            }
        } else if (has("PROCESS")) {
            // The writer puts one blank after "="; the text itself starts after it.
            const std::size_t from = !rest.empty() && rest[0] == ' ' ? 1 : 0;
            const std::size_t n = std::min<std::size_t>(rest.size() - from, 255);
            std::memcpy(d->process, rest.data() + from, n);
            d->process[n] = '\0';
        } else if (has("BAND_STATS")) {
            for (int b = 0; b < d->nBands; ++b) {
                const int g = textLine(f, line);
                if (g == TL_EOF)
                    return 0;
                if (g == TL_LONG)
                    return -2;
                if (!stats || b >= TEXT_STATS_VALUES / 4)
                    continue; // statistics are kept for the first sixteen bands
                const std::size_t e = line.find('=');
                const auto v = tokens(e == std::string::npos ? line : line.substr(e + 1), true);
                for (std::size_t i = 0; i < 4 && i < v.size(); ++i) {
                    double x = 0;
                    if (!toDouble(v[i].c_str(), x))
                        return -1;
                    stats[b * 4 + int(i)] = float(x);
                }
            }
        } else if (has("{END}")) {
            return 0;
        }
    }
}

int file_to_sbuff(const char* path, int32& cols, int32& rows)
{
    if (!FOLIO_CREATED(SBUFF_EXPLOIT_SLOT))
        return -1;
    FilePtr in(path ? std::fopen(path, "rb") : nullptr);
    if (!in)
        return -2;
    struct stat st {};
    if (fstat(fileno(in.get()), &st) != 0)
        return -2;
    const std::uint64_t fileSize = std::uint64_t(st.st_size);

    folioDesc d{};
    bandStats fileStats[SBUFF_MAX_BANDS] = {};
    char magic[8] = {};
    const bool text =
        std::fread(magic, 1, 8, in.get()) == 8 && std::memcmp(magic, "TAVIMAGE", 8) == 0;
    std::rewind(in.get());
    if (text) {
        // The text header gives no offsets and no scaled-band count: the data follow "{END}"
        // band after band or line after line, and every band up to four is scaled. Its
        // statistics lack median and mode, so they are computed again.
        if (GET_FOLIO_TEXT_HEADER(in.get(), &d, nullptr) != 0)
            return -3;
        d.dataOfs = ftello(in.get());
        d.nScaleBands = std::int16_t(std::min<int>(
            d.dType == DTYPE_COMPLEX32 ? d.nBands / 2 : d.nBands, SBUFF_MAX_SCALE_BANDS));
        d.nStats = 0;
        for (int b = 0; b < SBUFF_MAX_BANDS && d.nBands >= 1 && d.nBands <= SBUFF_MAX_BANDS; ++b)
            d.bandOfs[b] =
                b < d.nBands
                    ? std::int64_t(std::uint64_t(d.dataOfs) + bandBytes(d) * std::uint64_t(b))
                    : 0; // unchecked sizes: reckoned without overflow
        for (int g = 0; g < std::min<int>(d.nBands, 4); ++g)
            d.gunBand[g] = std::uint16_t(g + 1);
        d.defined = 1;
    } else {
        if (std::fread(&d, sizeof d, 1, in.get()) != 1)
            return -3;
        if (d.nStats < 0 || d.nStats > SBUFF_MAX_BANDS)
            return -4;
        if (d.nStats > 0 && std::fread(fileStats, sizeof(bandStats), std::size_t(d.nStats),
                                       in.get()) != std::size_t(d.nStats))
            return -4;
    }
    cols = int32(std::min<int32u>(d.cols, 0x7FFFFFFF));
    rows = int32(std::min<int32u>(d.rows, 0x7FFFFFFF));
    if (const int bad = checkFileDesc(d, fileSize, !text); bad != 0)
        return bad;
    // Statistics for the scaled bands, at most four: kept from the file when it has them all.
    // A composition scales every band (one per gun) although each of its loads scaled one.
    const int keep =
        std::min({std::max<int>(d.nScaleBands, d.nStats), int(d.nBands), SBUFF_MAX_SCALE_BANDS});
    const bool compute = d.nStats < keep;
    DIAG("\n file_to_sbuff() fStats=%d fBands=%d cols=%d rows=%d", d.nStats, d.nBands, cols, rows);

    const int inMode = d.sMode;
    const std::uint64_t nc = d.cols, nr = d.rows, nb = std::uint64_t(d.nBands);
    floatBlock line = floatsFor(nc);
    if (!line)
        return -8;
    floatBlock ilLine;
    if (inMode == SMODE_PIXEL_IL && !(ilLine = floatsFor(nc * nb)))
        return -9;

    SET_ACTIVE_sBUFF(SBUFF_EXPLOIT);
    sbuffMem& inst = activeSbuff();
    CLAIM_FOLIOS(1u << SBUFF_EXPLOIT_SLOT);
    // A failed ingest leaves an empty Exploit sBUFF, never a header over partial data.
    auto dropIngest = [&inst](int status) {
        CLAIM_FOLIOS(1u << SBUFF_EXPLOIT_SLOT);
        inst.desc = {};
        return status;
    };
    std::FILE* folio = FOLIO_FILE(SBUFF_EXPLOIT_SLOT);
    folioDesc nd = d;
    nd.defined = 1;
    nd.inLayout = 1;
    nd.firstBand = 0;
    nd.process[sizeof nd.process - 1] = '\0';
    if (nd.sMode == SMODE_PIXEL_IL)
        nd.sMode = SMODE_SCAN_IL;
    // The statistics slots are written from the start so that the data never move: rewriting
    // the header with statistics later cannot overwrite the first lines.
    nd.nStats = std::int16_t(keep);
    std::fill(std::begin(nd.bandOfs), std::end(nd.bandOfs), 0);
    const std::uint64_t bb = bandBytes(d);
    for (int b = 0; b < d.nBands && nd.sMode == SMODE_BAND_SEQ; ++b)
        nd.bandOfs[b] = SBUFF_DATA_WITH_STATS + std::int64_t(bb) * b;
    if (nd.sMode == SMODE_FLAT)
        nd.bandOfs[0] = SBUFF_DATA_WITH_STATS;
    nd.endOfs = SBUFF_DATA_WITH_STATS + std::int64_t(bb * nb);
    for (int b = 0; b < keep; ++b) {
        if (compute)
            INIT_BAND_STATS(&inst.stats[b], b);
        else
            inst.stats[b] = fileStats[b];
        resetScalBlk(&inst.scal[b]);
    }
    if (PUT_FOLIO_HEADER(SBUFF_EXPLOIT_SLOT, &nd, inst.stats) != 0)
        return dropIngest(-7);

    auto store = [&](float* src, std::uint64_t band) {
        if (compute && band < std::uint64_t(keep))
            P1_ACCUM_FSTATS(src, &inst.stats[band], nc);
        return writeFloats(folio, src, nc);
    };
    if (!seekTo(in.get(), d.dataOfs))
        return dropIngest(-3);
    if (inMode == SMODE_PIXEL_IL) {
        for (std::uint64_t r = 0; r < nr; ++r) {
            if (!readFloats(in.get(), ilLine.get(), nc * nb))
                return dropIngest(-10);
            for (std::uint64_t b = 0; b < nb; ++b) {
                for (std::uint64_t c = 0; c < nc; ++c)
                    line.get()[c] = ilLine.get()[c * nb + b];
                if (!store(line.get(), b))
                    return dropIngest(-10);
            }
        }
    } else if (inMode == SMODE_SCAN_IL) {
        for (std::uint64_t r = 0; r < nr; ++r)
            for (std::uint64_t b = 0; b < nb; ++b)
                if (!readFloats(in.get(), line.get(), nc) || !store(line.get(), b))
                    return dropIngest(-11);
    } else {
        for (std::uint64_t b = 0; b < nb; ++b) {
            if (!seekTo(in.get(), inMode == SMODE_FLAT ? d.dataOfs : d.bandOfs[b]))
                return dropIngest(-12);
            for (std::uint64_t r = 0; r < nr; ++r)
                if (!readFloats(in.get(), line.get(), nc) || !store(line.get(), b))
                    return dropIngest(-12);
        }
    }
    in.reset();
    if (std::fflush(folio) != 0)
        return dropIngest(-7);

    if (compute) {
        if (!seekTo(folio, nd.dataOfs))
            return dropIngest(-7);
        const bool seq = nd.sMode != SMODE_SCAN_IL;
        if (!seq)
            DIAG("SCAN_IL calling P2_ACCUM_FSTATS");
        for (std::uint64_t i = 0; i < nr * nb; ++i) {
            // Sequential data run band after band, interleaved data line after line.
            const std::uint64_t band = seq ? i / nr : i % nb;
            if (!readFloats(folio, line.get(), nc))
                return dropIngest(-7);
            if (band < std::uint64_t(keep))
                P2_ACCUM_FSTATS(line.get(), &inst.scal[band], &inst.stats[band], nc);
        }
        if (!seq)
            DIAG("DONE");
        for (int b = 0; b < keep; ++b)
            FINISH_FSTATS(&inst.scal[b], &inst.stats[b]);
    }
    if (PUT_FOLIO_HEADER(SBUFF_EXPLOIT_SLOT, &nd, inst.stats) != 0)
        return dropIngest(-7);
    inst.desc = nd;
    if (nd.nBands == 1 && nd.gunLoad != 1)
        inst.stats[1] = inst.stats[2] = inst.stats[0];
    return 0;
}

int sbuff_to_file(const char* path, bool textHeader)
{
    const int slot = activeSbuffSlot();
    folioDesc d;
    bandStats stats[SBUFF_MAX_BANDS] = {};
    if (GET_FOLIO_HEADER(slot, &d, nullptr) != 0 || d.nBands < 1 || d.nBands > SBUFF_MAX_BANDS ||
        d.cols < 1 || d.rows < 1 || d.nStats < 0 || d.nStats > SBUFF_MAX_BANDS)
        return -1;
    std::FILE* folio = FOLIO_FILE(slot);
    if (d.nStats > 0 && (!seekTo(folio, SBUFF_DESC_BYTES) ||
                         std::fread(stats, sizeof(bandStats), std::size_t(d.nStats), folio) !=
                             std::size_t(d.nStats)))
        return -1;
    FilePtr out(path ? std::fopen(path, "wb+") : nullptr);
    if (!out)
        return -2;
    const std::uint64_t nc = d.cols, nr = d.rows, nb = std::uint64_t(d.nBands);
    floatBlock line = floatsFor(nc);
    if (!line)
        return -3;
    const bool seq = d.sMode != SMODE_SCAN_IL;
    // The file's bands follow one another from the data start, whatever gaps the folio had.
    folioDesc fd = d;
    const std::uint64_t bb = bandBytes(d);
    for (int b = 0; b < d.nBands && d.sMode == SMODE_BAND_SEQ; ++b)
        fd.bandOfs[b] = d.dataOfs + std::int64_t(bb) * b;
    fd.endOfs = d.dataOfs + std::int64_t(bb * nb);
    // A saved file is no load in progress: its bands and records count from band 0.
    fd.firstBand = 0;
    fd.inLayout = 1;
    // Header, statistics and data are written in one sequential run.
    if (textHeader) {
        if (PUT_FOLIO_TEXT_HEADER(out.get(), &fd, d.nStats > 0 ? stats : nullptr, d.nStats) != 0)
            return -4;
    } else {
        const bandStats zero{};
        if (std::fwrite(&fd, sizeof fd, 1, out.get()) != 1)
            return -4;
        for (int i = 0; i < SBUFF_MAX_BANDS && d.nStats > 0; ++i)
            if (std::fwrite(i < d.nStats ? &stats[i] : &zero, sizeof zero, 1, out.get()) != 1)
                return -4;
    }
    const int fail = seq ? -6 : -5;
    if (!seq) {
        if (!seekTo(folio, d.dataOfs))
            return fail;
        for (std::uint64_t i = 0; i < nr * nb; ++i)
            if (!readFloats(folio, line.get(), nc) || !writeFloats(out.get(), line.get(), nc))
                return fail;
    } else {
        for (std::uint64_t b = 0; b < nb; ++b) {
            if (!seekTo(folio, d.sMode == SMODE_BAND_SEQ ? d.bandOfs[b] : d.dataOfs))
                return fail;
            for (std::uint64_t r = 0; r < nr; ++r)
                if (!readFloats(folio, line.get(), nc) || !writeFloats(out.get(), line.get(), nc))
                    return fail;
        }
    }
    // Data still in the stream's buffer is not saved until flush and close succeed.
    if (std::fflush(out.get()) != 0)
        return -7;
    if (std::fclose(out.release()) != 0)
        return -7;
    return 0;
}
