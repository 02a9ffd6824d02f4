// Accumulator files: saved and ingested again byte for byte with either header, statistics
// kept or computed, and hostile files refused before anything is allocated or copied.
#include <cstdio>
#include <string>

#include <unistd.h>

#include "accumFixture.h"

namespace {

std::string tmpPath(const char* stem)
{
    return std::string(::testing::TempDir()) + stem + std::to_string(getpid()) + ".tav";
}

std::string slurp(const std::string& path)
{
    std::string out;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            out.append(buf, n);
        std::fclose(f);
    }
    return out;
}

void spit(const std::string& path, const std::string& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
}

class AccumFile : public AccumTest {
protected:
    std::string a = tmpPath("accumA"), b = tmpPath("accumB");
    void TearDown() override
    {
        std::remove(a.c_str());
        std::remove(b.c_str());
        AccumTest::TearDown();
    }
    // A 16 x 16 grey load with distinct values in the Loader sBUFF.
    void greyLoad() { load(loadDesc(16, 16, 1, 1), ramp(256, -3.5f, 0.25f), 16); }
    void composedLoad()
    {
        for (int g = 0; g < 3; ++g)
            load(loadDesc(16, 16, 1, 1, g, 1), ramp(256, float(g * 7), 1.5f), 16);
    }
};

TEST_F(AccumFile, SavedIngestedAndSavedAgainIsByteIdentical)
{
    struct rtCase {
        const char* name;
        bool composed, text;
    };
    for (const rtCase c :
         {rtCase{"grey, binary", false, false}, rtCase{"grey, text", false, true},
          rtCase{"composition, binary", true, false}, rtCase{"composition, text", true, true}}) {
        SCOPED_TRACE(c.name);
        SetUp();
        c.composed ? composedLoad() : greyLoad();
        ASSERT_EQ(sbuff_to_file(a.c_str(), c.text), 0);
        int32 cols = 0, rows = 0;
        ASSERT_EQ(file_to_sbuff(a.c_str(), cols, rows), 0);
        EXPECT_EQ(activeSbuffId(), SBUFF_EXPLOIT);
        EXPECT_EQ(cols, 16);
        EXPECT_EQ(rows, 16);
        const sbuffMem& ld = sbuffInstance(SBUFF_LOADER);
        const sbuffMem& ex = sbuffInstance(SBUFF_EXPLOIT);
        for (int s = 0; s < ld.desc.nStats; ++s) {
            EXPECT_EQ(ex.stats[s].mean, ld.stats[s].mean);
            EXPECT_EQ(ex.stats[s].median, ld.stats[s].median);
        }
        ASSERT_EQ(sbuff_to_file(b.c_str(), c.text), 0);
        const std::string first = slurp(a), second = slurp(b);
        EXPECT_EQ(first.size(), (c.text ? 0u : 1552u) + (c.composed ? 3u : 1u) * 1024u +
                                    (c.text ? first.find("{END}\n") + 6 : 0u));
        EXPECT_TRUE(first == second);
        if (c.text) {
            EXPECT_EQ(first.rfind("TAVIMAGE\nCOLS= 16\nROWS= 16\n", 0), 0u);
        }
    }
}

TEST_F(AccumFile, FileWithoutStatisticsGetsThemComputed)
{
    greyLoad();
    ASSERT_EQ(sbuff_to_file(a.c_str()), 0);
    // The same data behind a descriptor without statistics records.
    std::string bytes = slurp(a);
    folioDesc d;
    std::memcpy(&d, bytes.data(), sizeof d);
    d.nStats = 0;
    d.dataOfs = 400;
    std::string stripped(reinterpret_cast<const char*>(&d), sizeof d);
    stripped += bytes.substr(1552);
    spit(b, stripped);
    int32 cols, rows;
    ASSERT_EQ(file_to_sbuff(b.c_str(), cols, rows), 0);
    const sbuffMem& ex = sbuffInstance(SBUFF_EXPLOIT);
    EXPECT_EQ(ex.desc.nStats, 1);
    EXPECT_DOUBLE_EQ(ex.stats[0].mean, sbuffInstance(SBUFF_LOADER).stats[0].mean);
    EXPECT_DOUBLE_EQ(ex.stats[0].median, sbuffInstance(SBUFF_LOADER).stats[0].median);
    EXPECT_EQ(ex.stats[1].mean, ex.stats[0].mean) << "grey: same scaling on R, G and B";
}

TEST_F(AccumFile, HostileFilesAreRefused)
{
    greyLoad();
    ASSERT_EQ(sbuff_to_file(a.c_str()), 0);
    const std::string good = slurp(a);
    auto withDesc = [&](auto change) {
        folioDesc d;
        std::memcpy(&d, good.data(), sizeof d);
        change(d);
        std::string s = good;
        std::memcpy(s.data(), &d, sizeof d);
        return s;
    };
    struct hostile {
        const char* name;
        std::string bytes;
        int status;
    };
    const hostile cases[] = {
        {"19-byte file", good.substr(0, 19), -3},
        {"statistics cut short", good.substr(0, 500), -4},
        {"nine statistics records", withDesc([](folioDesc& d) { d.nStats = 9; }), -4},
        {"negative statistics count", withDesc([](folioDesc& d) { d.nStats = -1; }), -4},
        {"FLOAT64 data", withDesc([](folioDesc& d) { d.dType = DTYPE_FLOAT64; }), -5},
        {"nine bands", withDesc([](folioDesc& d) { d.nBands = 9; }), -6},
        {"no scaled band", withDesc([](folioDesc& d) { d.nScaleBands = 0; }), -6},
        {"more scaled bands than bands", withDesc([](folioDesc& d) { d.nScaleBands = 2; }), -6},
        {"zero columns", withDesc([](folioDesc& d) { d.cols = 0; }), -13},
        {"gigapixel claim", withDesc([](folioDesc& d) { d.cols = d.rows = 0xFFFFFFF0u; }), -13},
        {"claims more rows than stored", withDesc([](folioDesc& d) { d.rows = 1u << 20; }), -12},
        {"unknown storage mode", withDesc([](folioDesc& d) { d.sMode = 9; }), -13},
        {"data offset past the end", withDesc([](folioDesc& d) { d.dataOfs = 1 << 30; }), -13},
        {"data offset inside the statistics", withDesc([](folioDesc& d) { d.dataOfs = 400; }), -13},
        {"unterminated process text",
         withDesc([](folioDesc& d) { std::memset(d.process, 'x', sizeof d.process); }), -13},
        {"band offset past the end", withDesc([](folioDesc& d) {
             d.sMode = SMODE_BAND_SEQ;
             d.bandOfs[0] = std::int64_t(1) << 40;
         }),
         -12},
        {"truncated data", good.substr(0, good.size() - 4), -12},
        {"text header with unknown type", "TAVIMAGE\nCOLS= 16\nROWS= 16\nDTYPE= FLOAT16\n{END}\n",
         -3},
        {"text header without data",
         "TAVIMAGE\nCOLS= 16\nROWS= 16\nNBANDS= 1\nDTYPE= FLOAT32\nSMODE= FLAT\n{END}\n", -12},
        {"text header claiming gigapixel bands",
         "TAVIMAGE\nCOLS= 2000000000\nROWS= 2000000000\nNBANDS= 8\nDTYPE= FLOAT32\n"
         "SMODE= BAND_SEQ\n{END}\n",
         -13},
        {"text header with a huge line",
         "TAVIMAGE\nPROCESS= " + std::string(5000, 'p') + "\n{END}\n", -3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        spit(b, c.bytes);
        int32 cols, rows;
        EXPECT_EQ(file_to_sbuff(b.c_str(), cols, rows), c.status);
    }
    int32 cols, rows;
    EXPECT_EQ(file_to_sbuff("/nonexistent/x.tav", cols, rows), -2);
}

TEST_F(AccumFile, RefusedFileLeavesTheExploitSbuffAsItWas)
{
    greyLoad();
    ASSERT_EQ(sbuff_to_file(a.c_str()), 0);
    int32 cols, rows;
    ASSERT_EQ(file_to_sbuff(a.c_str(), cols, rows), 0);
    spit(b, slurp(a).substr(0, 1600)); // the header promises more rows than follow
    EXPECT_EQ(file_to_sbuff(b.c_str(), cols, rows), -12);
    SET_ACTIVE_sBUFF(SBUFF_EXPLOIT);
    ASSERT_EQ(sbuff_to_file(b.c_str()), 0);
    EXPECT_TRUE(slurp(a) == slurp(b));
}

TEST_F(AccumFile, SaveReportsWhatDidNotReachTheDisk)
{
    EXPECT_EQ(sbuff_to_file(a.c_str()), -1) << "an empty sBUFF";
    greyLoad();
    EXPECT_EQ(sbuff_to_file("/nonexistent/dir/x.tav"), -2);
    if (access("/dev/full", W_OK) == 0) {
        EXPECT_EQ(sbuff_to_file("/dev/full"), -7) << "a full disk is no successful save";
        EXPECT_EQ(sbuff_to_file("/dev/full", true), -7);
    }
}

TEST(FolioTextHeader, WriterRefusesWhatItCannotDescribe)
{
    folioDesc d{};
    d.cols = d.rows = 4;
    d.nBands = 1;
    d.dType = DTYPE_FLOAT32;
    d.sMode = SMODE_FLAT;
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    struct bad {
        void (*change)(folioDesc&);
        int status;
    };
    const bad cases[] = {
        {[](folioDesc& x) { x.rows = 0; }, -1},
        {[](folioDesc& x) { x.dType = 3; }, -2},
        {[](folioDesc& x) { x.sMode = 0; }, -3},
        {[](folioDesc& x) { x.nBands = 33; }, -4},
        {[](folioDesc& x) { x.dType = DTYPE_COMPLEX32; }, -5},
    };
    for (const auto& c : cases) {
        folioDesc x = d;
        c.change(x);
        EXPECT_EQ(PUT_FOLIO_TEXT_HEADER(f, &x, nullptr, 0), c.status);
    }
    EXPECT_EQ(PUT_FOLIO_TEXT_HEADER(nullptr, &d, nullptr, 0), -1);
    std::fclose(f);
}

TEST(FolioTextHeader, ReaderKeepsSixteenBandsAndBoundedProcessText)
{
    std::string text = "# made by hand\nTAVIMAGE\nCOLS= 40\nROWS= 30\nNBANDS= 20\n"
                       "DTYPE= float32\nSMODE= SCAN_IL\nAOI= 1 2 40 31\nSOURCE= BUFFER 7\n"
                       "BAND_STATS\n";
    for (int b = 0; b < 20; ++b)
        text += "  LO/HI/AVG/STDEV= " + std::to_string(b) + ", 9 5 1\n";
    text += "PROCESS= a #1 " + std::string(300, 'q') + "\n{END}\nDATA";
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    std::fputs(text.c_str(), f);
    std::rewind(f);
    folioDesc d;
    float stats[TEXT_STATS_VALUES + 4];
    stats[TEXT_STATS_VALUES] = -1;
    ASSERT_EQ(GET_FOLIO_TEXT_HEADER(f, &d, stats), 0);
    EXPECT_EQ(d.cols, 40u);
    EXPECT_EQ(d.rows, 30u);
    EXPECT_EQ(d.nBands, 20);
    EXPECT_EQ(d.dType, DTYPE_FLOAT32);
    EXPECT_EQ(d.sMode, SMODE_SCAN_IL);
    EXPECT_EQ(d.aoi[3], 31u);
    EXPECT_EQ(d.srcBuf, 7);
    EXPECT_EQ(stats[15 * 4], 15.0f);
    EXPECT_EQ(stats[15 * 4 + 1], 9.0f);
    EXPECT_EQ(stats[TEXT_STATS_VALUES], -1.0f) << "bands past sixteen are not stored";
    EXPECT_EQ(std::strlen(d.process), 255u);
    EXPECT_EQ(std::string(d.process).rfind("a #1 qq", 0), 0u) << "the process keeps its #";
    char rest[5] = {};
    EXPECT_EQ(std::fread(rest, 1, 4, f), 4u);
    EXPECT_STREQ(rest, "DATA") << "the stream is left at the data";
    std::fclose(f);
}

} // namespace
