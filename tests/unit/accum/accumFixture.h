// Shared set-up of the accumulator tests: fresh folios and instances, and a load driven the
// way the scanline pipeline drives one.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "folio_utl.h"
#include "sbuffActive.h"
#include "sbuffStats.h"

class AccumTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetFolios();
        resetSbuffs();
        resetHistCorrupt();
        CLAIM_FOLIOS(ALL_FOLIOS);
    }
    void TearDown() override
    {
        resetFolios();
        resetSbuffs();
    }

    static folioDesc loadDesc(int cols, int rows, int nBands, int nScale, int firstBand = 0,
                              int gunLoad = 0, int inLayout = 1)
    {
        folioDesc d{};
        d.cols = int32u(cols);
        d.rows = int32u(rows);
        d.aoi[2] = int32u(cols - 1);
        d.aoi[3] = int32u(rows - 1);
        d.nBands = std::int16_t(nBands);
        d.nScaleBands = std::int16_t(nScale);
        d.firstBand = std::int16_t(firstBand);
        d.gunLoad = charu(gunLoad);
        d.inLayout = std::int16_t(inLayout);
        d.dType = DTYPE_FLOAT32;
        d.srcBuf = 1;
        d.gunBand[firstBand] = std::uint16_t(firstBand + 1);
        d.defined = 1;
        std::strcpy(d.process, "load");
        return d;
    }

    // Loads rows lines of `perRow` samples each from `data`.
    static void load(folioDesc d, std::vector<float> data, std::size_t perRow)
    {
        ASSERT_EQ(PUT_sBUFF_HEADER(&d), 0);
        for (std::size_t r = 0; r < d.rows; ++r)
            ASSERT_EQ(PUT_sBUFF_SCANLINE(data.data() + r * perRow, perRow), 0);
        ASSERT_EQ(END_sBUFF_LOAD(), 0);
    }

    // A ramp of n samples from `start`.
    static std::vector<float> ramp(std::size_t n, float start = 0, float step = 1)
    {
        std::vector<float> v(n);
        for (std::size_t i = 0; i < n; ++i)
            v[i] = start + step * float(i);
        return v;
    }
};
