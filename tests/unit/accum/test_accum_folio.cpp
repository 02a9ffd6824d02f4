// The folio table and the scaling accumulator held in it: headers, loads of grey, multi-band,
// pixel-interleaved and composed images, copies into user accumulators and the float band
// exchange with operations.
#include <algorithm>
#include <cmath>
#include <string>

#include "accumFixture.h"

namespace {

std::vector<float> folioFloats(int slot, std::int64_t ofs, std::size_t n)
{
    std::vector<float> v(n);
    std::FILE* f = FOLIO_FILE(slot);
    EXPECT_EQ(fseeko(f, ofs, SEEK_SET), 0);
    EXPECT_EQ(std::fread(v.data(), sizeof(float), n, f), n);
    return v;
}

using FolioHeader = AccumTest;

TEST_F(FolioHeader, RoundTripWithAndWithoutStatistics)
{
    bandStats st[SBUFF_MAX_BANDS];
    for (int b = 0; b < SBUFF_MAX_BANDS; ++b) {
        INIT_BAND_STATS(&st[b], b);
        st[b].mean = 10 + b;
    }
    for (int nStats : {0, 3, 8}) {
        SCOPED_TRACE(nStats);
        folioDesc d = loadDesc(20, 30, 12, 6);
        d.nStats = std::int16_t(nStats);
        ASSERT_EQ(PUT_FOLIO_HEADER(2, &d, st), 0);
        EXPECT_EQ(d.nBands, 8) << "clamped";
        EXPECT_EQ(d.nScaleBands, 4) << "clamped";
        EXPECT_EQ(d.dataOfs, nStats ? 1552 : 400);
        EXPECT_TRUE(foliosDefined() & 4u);
        folioDesc back{};
        bandStats got[4] = {};
        ASSERT_EQ(GET_FOLIO_HEADER(2, &back, got), 0);
        EXPECT_EQ(std::memcmp(&back, &d, sizeof d), 0);
        for (int b = 0; b < std::min(nStats, 4); ++b)
            EXPECT_EQ(got[b].mean, 10 + b);
        EXPECT_EQ(ftello(FOLIO_FILE(2)), d.dataOfs) << "left at the data";
    }
}

TEST_F(FolioHeader, RefusesBadSlotsAndMissingStatistics)
{
    folioDesc d = loadDesc(20, 20, 1, 1);
    d.nStats = 1;
    EXPECT_EQ(PUT_FOLIO_HEADER(-1, &d, nullptr), -1);
    EXPECT_EQ(PUT_FOLIO_HEADER(14, &d, nullptr), -1);
    EXPECT_EQ(PUT_FOLIO_HEADER(3, &d, nullptr), -2);
    folioDesc back;
    EXPECT_EQ(GET_FOLIO_HEADER(3, &back, nullptr), -1) << "never defined";
    CLAIM_FOLIOS(1u << 3);
    EXPECT_FALSE(foliosDefined() & 8u) << "claiming clears the defined bit";
}

using SbuffLoad = AccumTest;

TEST_F(SbuffLoad, GreyBandIsFlatAndScalesAlikeOnThreeGuns)
{
    auto data = ramp(16 * 16);
    data[5] = std::nanf("");
    load(loadDesc(16, 16, 1, 1), data, 16);
    const sbuffMem& m = activeSbuff();
    EXPECT_EQ(m.desc.sMode, SMODE_FLAT);
    EXPECT_EQ(m.desc.dataOfs, 1552);
    EXPECT_EQ(m.desc.endOfs, 1552 + 16 * 16 * 4);
    EXPECT_EQ(m.stats[0].count, 256);
    EXPECT_EQ(m.stats[0].low, 0);
    EXPECT_EQ(m.stats[0].high, 255);
    EXPECT_NEAR(m.stats[0].mean, (255 * 256 / 2.0 - 5) / 256, 1e-9);
    EXPECT_EQ(m.stats[1].mean, m.stats[0].mean);
    EXPECT_EQ(m.stats[2].stdDev, m.stats[0].stdDev);
    auto stored = folioFloats(SBUFF_LOADER_SLOT, 1552, 256);
    data[5] = 0;
    EXPECT_EQ(stored, data) << "NaN stored as 0";
    folioDesc onDisk;
    bandStats st[4];
    ASSERT_EQ(GET_FOLIO_HEADER(SBUFF_LOADER_SLOT, &onDisk, st), 0);
    EXPECT_EQ(st[0].median, m.stats[0].median);
    EXPECT_EQ(onDisk.endOfs, m.desc.endOfs);
}

TEST_F(SbuffLoad, PixelInterleavedLinesAreStoredBandAfterBand)
{
    const int cols = 16, rows = 16;
    std::vector<float> px(std::size_t(cols * rows * 3));
    for (std::size_t i = 0; i < px.size(); ++i)
        px[i] = float(i % 3) * 100 + float(i / 3);
    load(loadDesc(cols, rows, 3, 3, 0, 0, 4), px, cols * 3);
    const sbuffMem& m = activeSbuff();
    EXPECT_EQ(m.desc.sMode, SMODE_SCAN_IL);
    auto row0 = folioFloats(SBUFF_LOADER_SLOT, 1552, cols * 3);
    for (int b = 0; b < 3; ++b)
        for (int c = 0; c < cols; ++c)
            ASSERT_EQ(row0[std::size_t(b * cols + c)], float(b * 100 + c));
    for (int b = 0; b < 3; ++b) {
        EXPECT_EQ(m.stats[b].low, b * 100);
        EXPECT_EQ(m.stats[b].high, b * 100 + cols * rows - 1);
        EXPECT_EQ(m.stats[b].band, b);
    }
}

TEST_F(SbuffLoad, ThreeGunsOfACompositionBecomeBandSequential)
{
    const int n = 16 * 16;
    for (int g = 0; g < 3; ++g)
        load(loadDesc(16, 16, 1, 1, g, 1), ramp(n, float(1000 * g)), 16);
    const sbuffMem& m = activeSbuff();
    EXPECT_EQ(m.desc.sMode, SMODE_BAND_SEQ);
    EXPECT_EQ(m.desc.nBands, 3);
    EXPECT_EQ(m.desc.nStats, 3);
    for (int g = 0; g < 3; ++g) {
        EXPECT_EQ(m.desc.gunBand[g], g + 1);
        EXPECT_EQ(m.desc.bandOfs[g], 1552 + g * n * 4);
        EXPECT_EQ(m.stats[g].low, 1000 * g);
        EXPECT_EQ(folioFloats(SBUFF_LOADER_SLOT, m.desc.bandOfs[g], 2)[1], 1000 * g + 1);
    }
    EXPECT_EQ(m.desc.endOfs, 1552 + 3 * n * 4);
}

// A load keeps its lines in memory when there is room and writes the folio only when it is
// first read; without room it streams through the folio. Both must leave the same folio, the
// same statistics, and a composition's first band intact when a second is appended.
bool noRam(std::uint64_t& ram, std::uint64_t& swap)
{
    ram = 4096;
    swap = 0;
    return true;
}

TEST_F(SbuffLoad, LinesHeldInMemoryOrStreamedLeaveTheSameFolio)
{
    const int n = 64 * 64;
    auto data = ramp(n, -5.0f, 0.25f);
    data[7] = INFINITY;
    std::vector<std::vector<float>> seen;
    std::vector<double> medians;
    for (const bool roomy : {true, false}) {
        SCOPED_TRACE(roomy ? "held in memory" : "streamed");
        resetFolios(); // a block kept from the last load would serve even without room
        setFreeMemSource(roomy ? nullptr : noRam);
        CLAIM_FOLIOS(ALL_FOLIOS);
        resetSbuffs();
        load(loadDesc(64, 64, 1, 1), data, 64);
        setFreeMemSource(nullptr);
        const float* mem = RESIDENT_LINES(SBUFF_LOADER_SLOT);
        EXPECT_EQ(mem != nullptr, roomy);
        seen.push_back(folioFloats(SBUFF_LOADER_SLOT, 1552, n));
        if (mem) {
            EXPECT_TRUE(std::equal(seen.back().begin(), seen.back().end(), mem));
        }
        EXPECT_EQ(seen.back()[7], 0.0f) << "an infinity is stored as 0";
        medians.push_back(activeSbuff().stats[0].median);
        // A second gun appended after the first keeps the first band on file.
        load(loadDesc(64, 64, 1, 1, 1, 1), ramp(n, 9000), 64);
        ASSERT_EQ(activeSbuff().desc.sMode, SMODE_BAND_SEQ);
        EXPECT_EQ(folioFloats(SBUFF_LOADER_SLOT, 1552, n), seen.back());
        EXPECT_EQ(folioFloats(SBUFF_LOADER_SLOT, 1552 + n * 4, 1)[0], 9000.0f);
    }
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(medians[0], medians[1]);
}

TEST_F(SbuffLoad, ALoadIntoTheOtherInstanceKeepsTheLinesOfTheFirst)
{
    const int n = 32 * 32;
    load(loadDesc(32, 32, 1, 1), ramp(n, 1), 32);
    ASSERT_NE(RESIDENT_LINES(SBUFF_LOADER_SLOT), nullptr);
    ASSERT_EQ(SET_ACTIVE_sBUFF(SBUFF_EXPLOIT), SBUFF_EXPLOIT_SLOT);
    load(loadDesc(32, 32, 1, 1), ramp(n, 500), 32);
    EXPECT_EQ(folioFloats(SBUFF_EXPLOIT_SLOT, 1552, n), ramp(n, 500));
    EXPECT_EQ(folioFloats(SBUFF_LOADER_SLOT, 1552, n), ramp(n, 1));
}

TEST_F(SbuffLoad, RefusesUndefinedOrUnstorableHeadersAndShortLines)
{
    folioDesc d = loadDesc(16, 16, 1, 1);
    d.defined = 0;
    EXPECT_EQ(PUT_sBUFF_HEADER(&d), -1);
    d = loadDesc(16, 16, 1, 1, 3);
    d.nScaleBands = 2; // would reach past the four guns
    EXPECT_EQ(PUT_sBUFF_HEADER(&d), -1);
    float line[16] = {};
    EXPECT_EQ(PUT_sBUFF_SCANLINE(line, 16), -1) << "no load started";
    EXPECT_EQ(END_sBUFF_LOAD(), -1);
    d = loadDesc(16, 16, 2, 2);
    ASSERT_EQ(PUT_sBUFF_HEADER(&d), 0);
    EXPECT_EQ(PUT_sBUFF_SCANLINE(line, 16), -2) << "two bands need 32 samples";
}

using UserAccum = AccumTest;

TEST_F(UserAccum, CutCopiesOneBandOfEveryStorageMode)
{
    const int n = 16 * 16;
    struct cutCase {
        const char* name;
        bool composed;
    };
    for (const cutCase c : {cutCase{"scan-interleaved", false}, cutCase{"band-sequential", true}}) {
        SCOPED_TRACE(c.name);
        SetUp();
        if (c.composed) {
            for (int g = 0; g < 3; ++g)
                load(loadDesc(16, 16, 1, 1, g, 1), ramp(n, float(1000 * g)), 16);
        } else {
            std::vector<float> lines(std::size_t(n * 3));
            for (int r = 0; r < 16; ++r)
                for (int b = 0; b < 3; ++b)
                    for (int x = 0; x < 16; ++x)
                        lines[std::size_t((r * 3 + b) * 16 + x)] = float(1000 * b + r * 16 + x);
            load(loadDesc(16, 16, 3, 3), lines, 48);
        }
        EXPECT_EQ(CUT_SBUFFtoACCUM(1, 0, 4), -4) << "bands count from 1";
        EXPECT_EQ(CUT_SBUFFtoACCUM(1, 4, 4), -4);
        EXPECT_EQ(CUT_SBUFFtoACCUM(4, 1, 4), -2);
        ASSERT_EQ(CUT_SBUFFtoACCUM(1, 2, 4), 0);
        folioDesc d;
        bandStats st[4];
        ASSERT_EQ(GET_FOLIO_HEADER(1, &d, st), 0);
        EXPECT_EQ(d.sMode, SMODE_FLAT);
        EXPECT_EQ(d.nBands, 1);
        EXPECT_EQ(d.gunBand[0], 2);
        EXPECT_EQ(d.srcBuf, 4);
        EXPECT_STREQ(d.process, "load");
        EXPECT_EQ(st[0].low, 1000);
        EXPECT_EQ(folioFloats(1, 1552, std::size_t(n)), ramp(std::size_t(n), 1000));
    }
}

using SbuffBands = AccumTest;

TEST_F(SbuffBands, WrittenBandsReadBackInEveryLayout)
{
    const int n = 5, cols = 20, rows = 16;
    std::vector<std::vector<float>> src(n);
    std::vector<const float*> ptrs;
    for (int b = 0; b < n; ++b) {
        src[std::size_t(b)] = ramp(cols * rows, float(b * 1000));
        ptrs.push_back(src[std::size_t(b)].data());
    }
    const aoiRec aoi{10, 20, 10 + cols - 1, 20 + rows - 1};
    for (int writeLayout : {1, 2}) {
        SCOPED_TRACE(writeLayout);
        SET_ACTIVE_sBUFF(SBUFF_EXPLOIT);
        ASSERT_EQ(WRITE_sBUFF_BANDS(ptrs.data(), nullptr, aoi, n, DTYPE_FLOAT32, " wav",
                                    writeLayout, 3, 1024, 768),
                  0);
        const sbuffMem& m = activeSbuff();
        EXPECT_EQ(m.desc.sMode, writeLayout == 2 ? SMODE_BAND_SEQ : SMODE_SCAN_IL);
        EXPECT_EQ(m.desc.nScaleBands, 4);
        EXPECT_EQ(m.stats[3].low, 3000);
        EXPECT_EQ(std::string(m.desc.process).substr(std::strlen(m.desc.process) - 4), " wav")
            << "the operation is added to the history";
        sbuffBands out;
        ASSERT_EQ(READ_sBUFF_BANDS(2, out), 0);
        for (int b = 0; b < n; ++b)
            ASSERT_TRUE(std::equal(src[std::size_t(b)].begin(), src[std::size_t(b)].end(),
                                   out.block[b].get()));
        ASSERT_EQ(READ_sBUFF_BANDS(3, out), 0);
        EXPECT_EQ(out.block[0].get()[cols * 2 + 1], 2001.0f) << "line 0, band 2, sample 1";
        EXPECT_EQ(READ_sBUFF_BANDS(4, out), -5);
        EXPECT_EQ(READ_sBUFF_BANDS(1, out), -4);
    }
    ASSERT_EQ(WRITE_sBUFF_BANDS(ptrs.data(), nullptr, aoi, 3, DTYPE_FLOAT32, "", 1, 3, 1024, 768),
              0);
    sbuffBands out;
    ASSERT_EQ(READ_sBUFF_BANDS(4, out), 0);
    EXPECT_EQ(out.block[0].get()[3 * 7 + 2], 2007.0f) << "pixel 7, band 2";
}

TEST_F(SbuffBands, WriteRefusesBadRequests)
{
    std::vector<float> b(16 * 16);
    const float* p = b.data();
    const aoiRec ok{0, 0, 15, 15}, thin{0, 0, 14, 15};
    EXPECT_EQ(WRITE_sBUFF_BANDS(&p, nullptr, ok, 0, DTYPE_FLOAT32, "", 1, 1, 64, 64), -1);
    EXPECT_EQ(WRITE_sBUFF_BANDS(&p, nullptr, ok, 1, DTYPE_FLOAT64, "", 1, 1, 64, 64), -2);
    EXPECT_EQ(WRITE_sBUFF_BANDS(&p, nullptr, thin, 1, DTYPE_FLOAT32, "", 1, 1, 64, 64), -3);
}

} // namespace
