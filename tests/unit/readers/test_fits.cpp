// FITS reader through the load driver on files written here card by card (the format is plain
// text headers and big-endian samples): the automatic HDU choice and requested HDUs, rows shown
// top-down, cube planes in band order, scaled integers kept exact, names the library's extended
// syntax would misread, and damaged files.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bufRecMgt.h"
#include "fcrypt.h"
#include "readers_fixture.h"
#include "vslReaders.h"

namespace rdtest {
namespace {

std::string card(const std::string& key, const std::string& value)
{
    char c[81];
    std::snprintf(c, sizeof c, "%-8s= %20s", key.c_str(), value.c_str());
    std::string s(c);
    s.resize(80, ' ');
    return s;
}

void pad(std::string& s, char fill)
{
    s.resize((s.size() + 2879) / 2880 * 2880, fill);
}

/// One HDU: a primary (SIMPLE) or an IMAGE extension, `extra` cards, samples big-endian.
std::string hdu(bool primary, int bitpix, const std::vector<long>& axes,
                const std::vector<double>& samples, const std::vector<std::string>& extra = {})
{
    std::string h = primary ? card("SIMPLE", "T") : card("XTENSION", "'IMAGE   '");
    h += card("BITPIX", std::to_string(bitpix));
    h += card("NAXIS", std::to_string(axes.size()));
    for (std::size_t k = 0; k < axes.size(); ++k)
        h += card("NAXIS" + std::to_string(k + 1), std::to_string(axes[k]));
    h += primary ? card("EXTEND", "T") : card("PCOUNT", "0") + card("GCOUNT", "1");
    for (const auto& e : extra)
        h += e;
    h += std::string("END").append(77, ' ');
    pad(h, ' ');
    std::string d;
    const int bytes = std::abs(bitpix) / 8;
    for (double v : samples) {
        std::uint64_t bits = 0;
        if (bitpix == -32) {
            const float f = float(v);
            std::uint32_t u;
            std::memcpy(&u, &f, 4);
            bits = u;
        } else if (bitpix == -64) {
            std::memcpy(&bits, &v, 8);
        } else {
            bits = std::uint64_t(std::int64_t(v));
        }
        for (int b = bytes - 1; b >= 0; --b)
            d += char((bits >> (8 * b)) & 0xFF);
    }
    pad(d, '\0');
    return h + d;
}

/// A 2-D picture whose file row r (0 = the first stored, the bottom) and column c hold f(c, r).
template <class F> std::vector<double> plane(int w, int h, F f)
{
    std::vector<double> v;
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c)
            v.push_back(f(c, r));
    return v;
}

class FitsReader : public Readers {
protected:
    std::string write(const std::string& name, const std::string& bytes)
    {
        std::ofstream(path(name), std::ios::binary) << bytes;
        return path(name);
    }
    int px(int x, int y, int k) const
    {
        const bufdes& b = bufObjs[0];
        return reinterpret_cast<const charu*>(b.imgbuf + std::size_t(y) * b.width + x)[k];
    }
};

constexpr int W = 40, H = 30;
int grey(int c, int r)
{
    return (c * 5 + r * 3) & 255;
}

TEST_F(FitsReader, AutomaticChoiceAndRequestedHdus)
{
    // An empty primary, a 16 x 16 thumbnail, then the 40 x 30 picture.
    const std::string f =
        write("multi.fits", hdu(true, 8, {}, {}) + hdu(false, 8, {16, 16}, plane(16, 16, grey)) +
                                hdu(false, 8, {W, H}, plane(W, H, grey)));
    fdes fd{};
    ASSERT_EQ(header(f, fd, nullptr, true), FITS_OK) << err;
    EXPECT_EQ(fd.HDU, 3) << "the thumbnail is not chosen automatically";
    EXPECT_EQ(fd.fCols, unsigned(W));
    EXPECT_EQ(fd.fRows, unsigned(H));
    EXPECT_NE(err.find("HDUs found= 3"), std::string::npos) << err;
    EXPECT_NE(err.find("HDU #: 2 bitsPix:   8, numAxis:  2 arrDims[0-4]: 16 16 0 0 0"),
              std::string::npos)
        << err;

    auto r = load("i=\"" + f + "\"");
    ASSERT_EQ(r.status, 0) << r.messages << err;
    EXPECT_EQ(r.width, W);
    EXPECT_EQ(px(7, H - 1, 2), grey(7, 0));

    // Asked for by number, the thumbnail passes the reader (the loader then finds it too
    // small to place).
    loaddrv::reset();
    r = load("HDU=2 i=\"" + f + "\"");
    EXPECT_NE(r.messages.find("FCOLS: 16   FROWS: 16"), std::string::npos) << r.messages;
    EXPECT_EQ(err.find("not displayable"), std::string::npos) << err;

    const struct {
        int hdu;
        int status;
        const char* text;
    } refused[] = {{4, FITS_BAD_HDU, "\nSpecified HDU= 4 invalid. HDUs in file= 3.\n"},
                   {1, FITS_NOT_DISPLAYABLE, "\nSpecified HDU= 1 is not displayable\n"}};
    for (const auto& c : refused) {
        SCOPED_TRACE(c.hdu);
        loaddrv::reset();
        r = load("HDU=" + std::to_string(c.hdu) + " i=\"" + f + "\"");
        EXPECT_NE(r.status, 0);
        EXPECT_NE(r.messages.find(std::to_string(c.status)), std::string::npos) << r.messages;
        EXPECT_NE(err.find(c.text), std::string::npos) << err;
    }

    const std::string small = write("small.fits", hdu(true, 8, {16, 16}, plane(16, 16, grey)));
    ASSERT_EQ(header(small, fd), FITS_NOTHING_SHOWN);
    EXPECT_NE(err.find("No displayable FITS Image found"), std::string::npos) << err;
}

TEST_F(FitsReader, RowsShowTopDownAndRegionsCountFromTheTop)
{
    // Brackets and an equals sign: the extended file-name syntax would read a filter here.
    const std::string f = write("scene[1]=a.fits", hdu(true, 8, {W, H}, plane(W, H, grey)));
    auto r = load("i=\"" + f + "\"");
    ASSERT_EQ(r.status, 0) << r.messages << err;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; x += 3)
            ASSERT_EQ(px(x, y, 1), grey(x, H - 1 - y)) << x << "," << y;

    loaddrv::reset();
    r = load("FXY=5,3 COLS=20 ROWS=17 i=\"" + f + "\"");
    ASSERT_EQ(r.status, 0) << r.messages << err;
    ASSERT_EQ(r.width, 20);
    ASSERT_EQ(r.height, 17);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(px(x, y, 0), grey(5 + x, H - 1 - (3 + y))) << x << "," << y;
}

TEST_F(FitsReader, EncryptedFileIsReadFromItsDecryptedCopy)
{
    const std::string plain = write("enc.fits", hdu(true, 8, {W, H}, plane(W, H, grey)));
    ASSERT_EQ(SETUSERKEY("'correct horse battery'"), 0);
    std::FILE* in = std::fopen(plain.c_str(), "rb");
    std::string marked = plain;
    ASSERT_EQ(cryptFile(in, nullptr, &marked, "'correct horse battery'", CRYPT_ENCRYPT), 0);
    std::fclose(in);
    ASSERT_EQ(marked, path("enc#.fits"));
    const auto r = load("i=\"" + marked + "\"");
    ASSERT_EQ(r.status, 0) << r.messages << err;
    EXPECT_EQ(px(9, 0, 2), grey(9, H - 1));
}

TEST_F(FitsReader, CubePlanesGoToTheirGunsInBandOrder)
{
    auto planeK = [](int k) {
        return [k](int c, int r) { return (c * (k + 1) + r * 7 + k * 50) & 255; };
    };
    std::vector<double> cube;
    for (int k = 0; k < 3; ++k) {
        const auto p = plane(W, H, planeK(k));
        cube.insert(cube.end(), p.begin(), p.end());
    }
    const std::string f = write("cube.fits", hdu(true, 8, {W, H, 3}, cube));
    const struct {
        const char* tags;
        int planeOf[3]; // file plane shown in R, G, B
    } cases[] = {{"", {0, 1, 2}},
                 {"BAND=3,2,1 ", {2, 1, 0}},
                 {"BGRtoRGB ", {2, 1, 0}},
                 {"BAND=2 ", {1, 1, 1}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tags);
        loaddrv::reset();
        auto r = load(std::string(c.tags) + "i=\"" + f + "\"");
        ASSERT_EQ(r.status, 0) << r.messages << err;
        for (int y = 0; y < H; y += 4)
            for (int x = 0; x < W; x += 3)
                for (int g = 0; g < 3; ++g)
                    ASSERT_EQ(px(x, y, 2 - g), planeK(c.planeOf[g])(x, H - 1 - y))
                        << x << "," << y << " gun " << g;
    }
}

TEST_F(FitsReader, ScaledIntegersAreReadExactlyAsHdr)
{
    // Four levels a quarter of the picture each; BSCALE 0.5 makes them 1000, 1000.5, 1001 and
    // 1001.5, which integers would merge in pairs.
    auto level = [](int c, int) { return double(c * 4 / W); };
    const std::string f = write("scaled.fits", hdu(true, 16, {W, H}, plane(W, H, level),
                                                   {card("BSCALE", "0.5"), card("BZERO", "1000")}));
    fdes fd{};
    ASSERT_EQ(header(f, fd), FITS_OK) << err;
    EXPECT_EQ(fd.dataType, DT_FLOAT64);
    EXPECT_EQ(fd.bytsPixl, 8);
    EXPECT_TRUE(fd.vslCtlm & vslIS_HDR);
    auto r = load("HDR=RGB,LIN,LO-HI,1000,1001.5 i=\"" + f + "\"");
    ASSERT_EQ(r.status, 0) << r.messages << err;
    const int want[4] = {0, 85, 170, 255};
    for (int q = 0; q < 4; ++q)
        EXPECT_NEAR(px(q * W / 4 + 2, 5, 2), want[q], 1) << q;

    // Unsigned 32-bit: the top of the range lies above what a signed integer holds.
    auto big = [](int c, int) { return c < W / 2 ? -2147483648.0 : 2147483647.0; };
    const std::string u =
        write("u32.fits", hdu(true, 32, {W, H}, plane(W, H, big), {card("BZERO", "2147483648")}));
    loaddrv::reset();
    r = load("HDR=RGB,LIN,LO-HI,0,4294967295 i=\"" + u + "\"");
    ASSERT_EQ(r.status, 0) << r.messages << err;
    EXPECT_EQ(px(1, 1, 2), 0);
    EXPECT_EQ(px(W - 2, 1, 2), 255);

    // Unscaled 16-bit stays a 32-bit integer read; float rows show top-down too.
    const std::string s16 = write("s16.fits", hdu(true, 16, {W, H}, plane(W, H, grey)));
    ASSERT_EQ(header(s16, fd), FITS_OK);
    EXPECT_EQ(fd.dataType, DT_INT32);
    EXPECT_EQ(fd.bytsPixl, 4);
    auto ramp = [](int, int row) { return row < H / 2 ? -1.5 : 7.25; };
    const std::string fl = write("float.fits", hdu(true, -32, {W, H}, plane(W, H, ramp)));
    loaddrv::reset();
    r = load("HDR=RGB,LIN,LO-HI,-1.5,7.25 i=\"" + fl + "\"");
    ASSERT_EQ(r.status, 0) << r.messages << err;
    EXPECT_EQ(px(3, 0, 1), 255) << "the last stored row is the top";
    EXPECT_EQ(px(3, H - 1, 1), 0);
}

TEST_F(FitsReader, DamagedFilesEndInAStatus)
{
    std::vector<double> cube;
    for (int k = 0; k < 3; ++k) {
        const auto p = plane(W, H, grey);
        cube.insert(cube.end(), p.begin(), p.end());
    }
    const std::string good = hdu(true, 16, {W, H, 3}, cube);
    for (std::size_t keep :
         {std::size_t(100), std::size_t(2880), std::size_t(2880 + 700), good.size() - 2000}) {
        SCOPED_TRACE(keep);
        damage(write("good.fits", good), path("cut.fits"), keep);
        loaddrv::reset();
        const auto r = load("i=\"" + path("cut.fits") + "\"");
        EXPECT_NE(r.status, 0) << r.messages;
    }
    // A header claiming a huge picture over a few bytes of data.
    std::string huge = hdu(true, 8, {W, H}, plane(W, H, grey));
    const std::string n1 = card("NAXIS1", "40"), big1 = card("NAXIS1", "30000");
    const std::string n2 = card("NAXIS2", "30"), big2 = card("NAXIS2", "30000");
    huge.replace(huge.find(n1), 80, big1);
    huge.replace(huge.find(n2), 80, big2);
    loaddrv::reset();
    const auto r = load("COLS=64 ROWS=64 i=\"" + write("huge.fits", huge) + "\"");
    EXPECT_NE(r.status, 0) << r.messages;
}

} // namespace
} // namespace rdtest
