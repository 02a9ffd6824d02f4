#include "input_fixture.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace tavtest {

const std::string& tmpDir()
{
    static const std::string dir = [] {
        char tmpl[] = "/tmp/tav_input_XXXXXX";
        const char* d = mkdtemp(tmpl);
        std::string s = d ? d : "/tmp";
        static struct cleaner {
            std::string path;
            ~cleaner()
            {
                std::error_code ec;
                if (path != "/tmp")
                    std::filesystem::remove_all(path, ec);
            }
        } c{s};
        return s;
    }();
    return dir;
}

std::string tmpPath(const std::string& name)
{
    return tmpDir() + "/" + name;
}

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<std::uint8_t> readFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void writePnm(const std::string& path, int w, int h, int bands, int maxval,
              const std::vector<std::uint16_t>& samples)
{
    const std::string head = std::string(bands == 3 ? "P6" : "P5") + "\n" + std::to_string(w) +
                             " " + std::to_string(h) + "\n" + std::to_string(maxval) + "\n";
    std::vector<std::uint8_t> bytes(head.begin(), head.end());
    for (std::uint16_t s : samples) {
        if (maxval > 255)
            bytes.push_back(static_cast<std::uint8_t>(s >> 8));
        bytes.push_back(static_cast<std::uint8_t>(s & 0xFF));
    }
    writeFile(path, bytes);
}

bool run(const std::string& cmd)
{
    return std::system(cmd.c_str()) == 0;
}

raster readPnm(const std::string& path)
{
    raster r;
    const auto bytes = readFile(path);
    std::size_t pos = 0;
    auto token = [&]() {
        while (pos < bytes.size() && std::isspace(bytes[pos]))
            ++pos;
        int v = 0;
        while (pos < bytes.size() && std::isdigit(bytes[pos]))
            v = v * 10 + (bytes[pos++] - '0');
        return v;
    };
    if (bytes.size() < 2 || bytes[0] != 'P')
        return r;
    r.bands = bytes[1] == '6' ? 3 : 1;
    pos = 2;
    r.w = token();
    r.h = token();
    token();
    ++pos;
    const std::size_t n = std::size_t(r.w) * r.h * r.bands;
    if (pos + n <= bytes.size())
        r.px.assign(bytes.begin() + long(pos), bytes.begin() + long(pos + n));
    return r;
}

raster gifReference(const std::string& gifPath)
{
    const std::string out = gifPath + ".ref.ppm";
    if (!run("giftopnm '" + gifPath + "' 2>/dev/null | ppmtoppm > '" + out + "' 2>/dev/null"))
        return {};
    return readPnm(out);
}

std::uint8_t loadResult::gun(int x, int y, int g) const
{
    const std::uint32_t p = px[std::size_t(y) * w + x];
    return static_cast<std::uint8_t>(p >> (8 * gunOfs[g]));
}

loadResult runLoad(const std::string& path, const loadTags& t)
{
    loadResult L;
    std::FILE* fp = std::fopen(path.c_str(), "rb");
    if (!fp)
        return L;

    ides id;
    initIdes(&id);
    bufdes b{};
    b.bufNum = 1;
    b.imgDes = &id;
    const int curGun = t.gun >= 0 ? t.gun : 0;
    id.curGun = static_cast<shortu>(curGun);
    fdes* fd = &id.fd[curGun];
    std::snprintf(fd->path, sizeof fd->path, "%s", path.c_str());
    fd->gun = static_cast<charu>(curGun);

    int32 nAnc = 0;
    charu* anc[4] = {};
    L.hdr = GETHEADER(fp, &b, path.c_str(), &nAnc, anc, false);
    if (L.hdr != 0) {
        std::fclose(fp);
        L.fd = *fd;
        return L;
    }
    for (int k = 0; k < 3 && k < nAnc; ++k)
        L.pal[k].assign(anc[k], anc[k] + 256);

    // Tags, as the loader applies them.
    fd->deres[0] = fd->deres[1] = 1.0;
    if (t.deres > 0) {
        fd->deres[0] = fd->deres[1] = 1.0 / (1 << t.deres);
        fd->deresLevel = static_cast<shortu>(t.deres);
        fd->vslCtlm |= VSL_DERES_X | VSL_DERES_Y;
    } else {
        fd->deres[0] = t.sx;
        fd->deres[1] = t.sy;
        if (t.sx < 1.0)
            fd->vslCtlm |= VSL_DERES_X;
        if (t.sy < 1.0)
            fd->vslCtlm |= VSL_DERES_Y;
    }
    if (t.flip)
        fd->vslCtlm |= VSL_FLIP;
    if (t.mirr)
        fd->vslCtlm |= VSL_MIRR;
    if (t.r180)
        fd->vslCtlm |= VSL_FLIP | VSL_MIRR | VSL_R180;
    if (t.bgr)
        fd->vslCtlm |= VSL_BGR2RGB;

    // Conversion class and band list.
    int gunSel = curGun;
    if (t.gif2alpha) {
        FREE_PALETTE(anc, &nAnc);
        fd->colorClass = CC_ALPHA_OVL;
        gunSel = 3;
        fd->gun = 3;
        fd->vslCtlm |= VSL_ONE_GUN;
        fd->dBands = 1;
        fd->Bands[3] = 1;
    } else if (!t.bands.empty()) {
        if (t.bands.size() == 1)
            fd->vslCtlm |= t.gun >= 0 ? VSL_ONE_GUN : VSL_GREY;
        else
            fd->vslCtlm |= VSL_RGB;
        fd->dBands = static_cast<std::int16_t>(t.bands.size());
        for (std::size_t k = 0; k < t.bands.size() && k < 4; ++k)
            fd->Bands[(t.gun >= 0 ? curGun : 0) + k] = static_cast<std::int16_t>(t.bands[k]);
    } else {
        if (fd->bands > 1)
            fd->vslCtlm |= VSL_RGB;
        else if (nAnc > 0)
            fd->vslCtlm |= VSL_PALETTE;
        else if (t.gun >= 0)
            fd->vslCtlm |= VSL_ONE_GUN;
        else
            fd->vslCtlm |= VSL_GREY;
        const int n = fd->bands > 4 ? 4 : (fd->bands < 1 ? 1 : fd->bands);
        fd->dBands = static_cast<std::int16_t>(n);
        for (int k = 0; k < n; ++k)
            fd->Bands[(t.gun >= 0 ? curGun : 0) + k] = static_cast<std::int16_t>(k + 1);
    }
    (void)gunSel;

    // Geometry.
    fd->fXofs = t.fx;
    fd->fYofs = t.fy;
    const std::int64_t remC = std::int64_t(fd->fCols) - t.fx, remR = std::int64_t(fd->fRows) - t.fy;
    fd->lCols = static_cast<int32u>((t.cols > 0 && t.cols <= remC) ? t.cols : remC);
    fd->lRows = static_cast<int32u>((t.rows > 0 && t.rows <= remR) ? t.rows : remR);
    if (t.lRowsOverride > 0)
        fd->lRows = static_cast<int32u>(t.lRowsOverride);
    fd->dCols = (fd->vslCtlm & VSL_DERES_X) ? int32u(fd->deres[0] * fd->lCols) : fd->lCols;
    fd->dRows = (fd->vslCtlm & VSL_DERES_Y) ? int32u(fd->deres[1] * fd->lRows) : fd->lRows;
    fd->bXofs = t.bx;
    fd->bYofs = t.by;
    L.w = t.bx + int(fd->dCols);
    L.h = t.by + int(fd->dRows);
    L.px.assign(std::size_t(L.w) * std::size_t(L.h), t.fill);
    b.imgbuf = L.px.data();
    b.width = L.w;
    b.height = L.h;
    L.fd = *fd;

    L.init = INIT_VSL(fp, &b, anc, nAnc);
    VSL.destUnset = t.unset;
    if (L.init == 0)
        L.load = IMAGE_LOAD();
    FREE_VSL();
    L.bufCtlm = b.bufCtlm;
    return L;
}

} // namespace tavtest

namespace tavtest {

namespace {

void putPal(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& pal)
{
    std::vector<std::uint8_t> p = pal;
    std::size_t entries = 2;
    while (entries * 3 < p.size())
        entries *= 2;
    p.resize(entries * 3, 0);
    out.insert(out.end(), p.begin(), p.end());
}

int palBits(const std::vector<std::uint8_t>& pal)
{
    int bits = 1;
    while ((std::size_t(1) << bits) * 3 < pal.size())
        ++bits;
    return bits - 1;
}

} // namespace

std::vector<std::uint8_t> makeGif(const gifPlan& s)
{
    std::vector<std::uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    auto le16 = [&](int v) {
        out.push_back(static_cast<std::uint8_t>(v & 0xFF));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    le16(s.w);
    le16(s.h);
    out.push_back(s.globalPal.empty() ? 0 : static_cast<std::uint8_t>(0xF0 | palBits(s.globalPal)));
    out.push_back(0);
    out.push_back(0);
    if (!s.globalPal.empty())
        putPal(out, s.globalPal);
    out.push_back(0x2C);
    le16(0);
    le16(0);
    le16(s.w);
    le16(s.h);
    std::uint8_t flags = s.interlaced ? 0x40 : 0;
    if (!s.localPal.empty())
        flags = static_cast<std::uint8_t>(flags | 0x80 | palBits(s.localPal));
    out.push_back(flags);
    if (!s.localPal.empty())
        putPal(out, s.localPal);
    out.push_back(static_cast<std::uint8_t>(s.minCodeSize));

    // Codes with the width the decoder expects when it reads them.
    std::vector<std::pair<int, int>> codes;
    if (!s.codes.empty()) {
        for (int c : s.codes)
            codes.emplace_back(c, 9);
    } else if (s.fullTable) {
        int width = 9, next = 258;
        bool first = true;
        codes.emplace_back(256, 9);
        for (std::uint8_t v : s.idx) {
            codes.emplace_back(v, width);
            if (!first && next < 4096) {
                ++next;
                if (next == (1 << width) && next < 4096)
                    ++width;
            }
            first = false;
        }
        codes.emplace_back(257, width);
    } else {
        int inRun = 254;
        for (std::uint8_t v : s.idx) {
            if (inRun == 254) {
                codes.emplace_back(256, 9);
                inRun = 0;
            }
            codes.emplace_back(v, 9);
            ++inRun;
        }
        codes.emplace_back(257, 9);
    }
    std::vector<std::uint8_t> data;
    std::uint32_t bits = 0;
    int n = 0;
    for (const auto& [c, width] : codes) {
        bits |= std::uint32_t(c) << n;
        n += width;
        while (n >= 8) {
            data.push_back(static_cast<std::uint8_t>(bits & 0xFF));
            bits >>= 8;
            n -= 8;
        }
    }
    if (n > 0)
        data.push_back(static_cast<std::uint8_t>(bits & 0xFF));
    for (std::size_t i = 0; i < data.size(); i += 255) {
        const std::size_t len = std::min<std::size_t>(255, data.size() - i);
        out.push_back(static_cast<std::uint8_t>(len));
        out.insert(out.end(), data.begin() + long(i), data.begin() + long(i + len));
    }
    out.push_back(0);
    out.push_back(0x3B);
    return out;
}

} // namespace tavtest
