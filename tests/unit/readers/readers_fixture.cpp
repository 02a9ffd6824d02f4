#include "readers_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include <stdlib.h>

#include "bufRecMgt.h"

namespace rdtest {

bool sh(const std::string& cmd)
{
    return std::system(cmd.c_str()) == 0;
}

std::string shOut(const std::string& cmd)
{
    std::string out;
    std::FILE* p = popen(cmd.c_str(), "r");
    if (!p)
        return out;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    return pclose(p) == 0 ? out : std::string();
}

std::string slurp(const std::string& path)
{
    std::string data;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return data;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        data.append(buf, n);
    std::fclose(f);
    return data;
}

void damage(const std::string& in, const std::string& out, std::size_t keep, int flipAt)
{
    std::string data = slurp(in);
    if (keep < data.size())
        data.resize(keep);
    if (flipAt >= 0 && std::size_t(flipAt) < data.size())
        data[std::size_t(flipAt)] = char(data[std::size_t(flipAt)] ^ 0x5A);
    if (data.size() < 1024)
        data.resize(1024, '\0');
    std::ofstream(out, std::ios::binary) << data;
}

image magickRgba(const std::string& path, int w, int h)
{
    image im;
    const std::string raw = shOut("convert '" + path + "' -depth 8 rgba:- 2>/dev/null");
    if (raw.size() != std::size_t(w) * h * 4)
        return im;
    im.w = w;
    im.h = h;
    im.bands = 4;
    im.px.assign(raw.begin(), raw.end());
    return im;
}

namespace {

image parseNetpbm(const std::string& data)
{
    image im;
    std::istringstream in(data);
    std::string magic;
    in >> magic;
    int maxval = 0;
    if (magic == "P7") {
        std::string key;
        while (in >> key && key != "ENDHDR") {
            if (key == "WIDTH")
                in >> im.w;
            else if (key == "HEIGHT")
                in >> im.h;
            else if (key == "DEPTH")
                in >> im.bands;
            else if (key == "MAXVAL")
                in >> maxval;
            else
                in.ignore(1 << 20, '\n');
        }
    } else if (magic == "P5" || magic == "P6") {
        im.bands = magic == "P5" ? 1 : 3;
        in >> im.w >> im.h >> maxval;
    } else {
        return {};
    }
    in.get();
    const std::size_t n = std::size_t(im.w) * im.h * im.bands;
    im.px.resize(n);
    in.read(reinterpret_cast<char*>(im.px.data()), std::streamsize(n));
    if (maxval != 255 || std::size_t(in.gcount()) != n)
        return {};
    return im;
}

} // namespace

image djpeg(const std::string& path)
{
    return parseNetpbm(shOut("djpeg -pnm '" + path + "'"));
}

image readNetpbm(const std::string& path)
{
    return parseNetpbm(slurp(path));
}

void writeNetpbm(const std::string& path, const image& im)
{
    std::ofstream f(path, std::ios::binary);
    if (im.bands == 4)
        f << "P7\nWIDTH " << im.w << "\nHEIGHT " << im.h
          << "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    else
        f << (im.bands == 1 ? "P5\n" : "P6\n") << im.w << " " << im.h << "\n255\n";
    f.write(reinterpret_cast<const char*>(im.px.data()), std::streamsize(im.px.size()));
}

image pattern(int w, int h, int bands)
{
    image im{w, h, bands, {}};
    im.px.resize(std::size_t(w) * h * bands);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int b = 0; b < bands; ++b) {
                const unsigned v = b == 0   ? x * 7 + y
                                   : b == 1 ? y * 5 + (x >> 2)
                                   : b == 2 ? (x ^ y) * 3
                                            : 255 - ((x + y) & 127);
                im.px[(std::size_t(y) * w + x) * bands + b] = std::uint8_t(v);
            }
    return im;
}

void Readers::SetUp()
{
    char tmpl[] = "/tmp/tavreaders.XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
    loaddrv::reset();
}

void Readers::TearDown()
{
    RELEASE_BUFMGT();
    if (!HasFailure())
        sh("rm -rf '" + dir + "'");
}

loaddrv::Result Readers::load(const std::string& cmd)
{
    testing::internal::CaptureStderr();
    loaddrv::Result r = loaddrv::runCommand(cmd, 0);
    err = testing::internal::GetCapturedStderr();
    return r;
}

int Readers::header(const std::string& file, fdes& out, int32* nAnc, bool headerOnly)
{
    static ides img[1];
    static bufdes b;
    b = bufdes{};
    img[0] = ides{};
    b.imgDes = img;
    std::FILE* fp = std::fopen(file.c_str(), "rb");
    if (!fp)
        return 999;
    charu* anc[4] = {};
    int32 n = 0;
    testing::internal::CaptureStderr();
    const int st = GETHEADER(fp, &b, file.c_str(), &n, anc, headerOnly);
    err = testing::internal::GetCapturedStderr();
    std::fclose(fp);
    if (nAnc)
        *nAnc = n;
    FREE_PALETTE(anc, &n);
    out = img[0].fd[0];
    return st;
}

::testing::AssertionResult Readers::sameAs(const image& ref, int fx, int fy, int w, int h,
                                           bool withAlpha, int bx, int by, int tolerance) const
{
    const bufdes& b = bufObjs[0];
    if (!b.imgbuf || ref.px.empty())
        return ::testing::AssertionFailure() << "no pixels";
    if (bx + w > b.width || by + h > b.height)
        return ::testing::AssertionFailure() << "buffer " << b.width << "x" << b.height;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const auto* p =
                reinterpret_cast<const charu*>(b.imgbuf + std::size_t(by + y) * b.width + bx + x);
            const std::uint8_t* q =
                &ref.px[(std::size_t(fy + y) * ref.w + fx + x) * std::size_t(ref.bands)];
            std::uint8_t want[4] = {q[0], q[0], q[0], 255};
            if (ref.bands >= 3) {
                want[1] = q[1];
                want[2] = q[2];
            }
            if (ref.bands == 4)
                want[3] = q[3];
            const std::uint8_t got[4] = {p[2], p[1], p[0], p[3]};
            for (int k = 0; k < (withAlpha ? 4 : 3); ++k)
                if (std::abs(int(got[k]) - int(want[k])) > tolerance)
                    return ::testing::AssertionFailure()
                           << "pixel " << x << "," << y << " sample " << k << ": " << int(got[k])
                           << " != " << int(want[k]);
        }
    return ::testing::AssertionSuccess();
}

} // namespace rdtest
