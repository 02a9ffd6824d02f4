#include "hdrMenuKernels.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "tavPaths.h"

namespace {

// Items of the menus, as their positions from 1.
enum : int32 { TOP_STATUS = 1, TOP_RESET, TOP_MODE, TOP_RANGE, TOP_EXTREMA, TOP_ARCHIVE };
enum : int32 { RANGE_FULL = 1, RANGE_HIST, RANGE_STDEV, RANGE_UNITS };
enum : int32 { EXT_THIS = 1, EXT_HIST, EXT_UNITS, EXT_CLEAR };

// Scaling control bits the menu hands on (the scaling's own words).
constexpr int32u kUnits = 0x400, kStdv = 0x800, kLoHi = 0x2000, kOnMean = 0x4000,
                 kOnMedian = 0x8000, kOnMark = 0x10000, kFromLow = 0x20000, kFromHigh = 0x40000;

bool item(int32 v, int32 last)
{
    return v >= 1 && v <= last;
}

// A gun choice: a mask of R, G, B, A with the grey bit, as the gun menu's "%x" values give.
bool gunChoice(int32 v, hdrRequest& r)
{
    if (v <= 0 || (v & ~0x1f) != 0 || (v & 0xf) == 0)
        return false;
    r.guns = int32u(v & 0xf);
    r.grey = (v & HDR_GREY_CHOICE) != 0;
    return true;
}

int32u unitBits(int32 unitItem)
{
    switch (unitItem) {
    case HDRU_LOHI:
        return kLoHi;
    case HDRU_FROM_LOW:
    case HDRU_SET_LOW:
        return kFromLow;
    case HDRU_FROM_HIGH:
    case HDRU_SET_HIGH:
        return kFromHigh;
    default:
        return kOnMark;
    }
}

hdrRequest decodeRange(const int32* v)
{
    hdrRequest r;
    switch (v[1]) {
    case RANGE_FULL:
    case RANGE_HIST:
        if (gunChoice(v[2], r))
            r.action = v[1] == RANGE_FULL ? hdrAction::rangeFull : hdrAction::rangeHist;
        break;
    case RANGE_STDEV: {
        static const int32u centre[5] = {kOnMean, kOnMedian, kFromLow, kFromHigh, kOnMark};
        if (!item(v[2], 5) || !item(v[3], 4) || !gunChoice(v[4], r))
            break;
        r.control = kStdv | centre[v[2] - 1];
        r.count = v[3] == 4 ? 0 : v[3];
        r.action = v[2] == 5 ? hdrAction::rangeMark : hdrAction::rangeSdev;
        break;
    }
    case RANGE_UNITS:
        if (!item(v[2], 6) || !gunChoice(v[3], r))
            break;
        r.unitItem = v[2];
        r.control = kUnits | unitBits(v[2]);
        r.action = hdrAction::rangeUnits;
        break;
    default:
        break;
    }
    return r;
}

hdrRequest decodeExtrema(const int32* v)
{
    hdrRequest r;
    if (v[1] == EXT_UNITS) {
        if (!item(v[2], 6) || !gunChoice(v[3], r))
            return hdrRequest{};
        r.unitItem = v[2];
        r.control = kUnits | unitBits(v[2]);
        r.action = hdrAction::extremaUnits;
        return r;
    }
    if (!item(v[1], 4) || !gunChoice(v[2], r))
        return hdrRequest{};
    r.action = v[1] == EXT_THIS   ? hdrAction::extremaThis
               : v[1] == EXT_HIST ? hdrAction::extremaHist
                                  : hdrAction::extremaClear;
    return r;
}

// A number as the user types it: an optional sign, then what from_chars reads in its general
// form. Returns the end of the number, or null.
const char* number(const char* at, const char* end, double& v)
{
    const char* p = at;
    if (p < end && *p == '+')
        ++p; // from_chars reads a minus only
    if (p == end || (*p == '-' && p != at))
        return nullptr;
    const auto [stop, ec] = std::from_chars(p, end, v, std::chars_format::general);
    if (ec != std::errc() || !std::isfinite(v))
        return nullptr;
    return stop;
}

bool blank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

hdrRequest hdrRequestOf(const int32* vals)
{
    hdrRequest r;
    if (!vals)
        return r;
    switch (vals[0]) {
    case TOP_STATUS:
        r.action = hdrAction::status;
        r.guns = 7;
        break;
    case TOP_RESET:
        if (item(vals[1], 3)) {
            r.action = hdrAction::reset;
            r.count = vals[1] - 1;
        }
        break;
    case TOP_MODE:
        if (item(vals[1], 5) && gunChoice(vals[2], r)) {
            r.control = int32u(1) << (vals[1] - 1);
            r.action = hdrAction::curve;
        }
        break;
    case TOP_RANGE:
        r = decodeRange(vals);
        break;
    case TOP_EXTREMA:
        r = decodeExtrema(vals);
        break;
    case TOP_ARCHIVE:
        if (item(vals[1], 4)) {
            static const hdrAction a[4] = {hdrAction::archiveTouch, hdrAction::archiveRestore,
                                           hdrAction::archiveSwap, hdrAction::archiveScript};
            r.action = a[vals[1] - 1];
        }
        break;
    default:
        break;
    }
    return r;
}

int32 hdrParseAnswer(std::string_view text, double& a, double& b, int32& n)
{
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && blank(*p))
        ++p;
    if (p == end)
        return HDRA_EMPTY;
    double v[2] = {0, 0};
    int32 got = 0;
    while (p < end) {
        if (got == 2)
            return HDRA_BAD;
        const char* stop = number(p, end, v[got]);
        if (!stop)
            return HDRA_BAD;
        ++got;
        p = stop;
        // The separator: blanks, at most one comma among them; the end needs no separator.
        bool comma = false, any = false;
        while (p < end && (blank(*p) || *p == ',')) {
            if (*p == ',') {
                if (comma)
                    return HDRA_BAD;
                comma = true;
            }
            any = true;
            ++p;
        }
        if (p < end && !any)
            return HDRA_BAD; // "10abc"
        if (p == end && comma)
            return HDRA_BAD; // "10," promises a second number
    }
    a = v[0];
    b = got == 2 ? v[1] : 0.0;
    n = got;
    return HDRA_OK;
}

int32 hdrBinAt(int32 x0, int32 x)
{
    return std::clamp(x - x0 - 1, 0, 255);
}

bool hdrWidenPick(const float table[256], int32& lo, int32& hi, double& dataLo, double& dataHi)
{
    int32 l = std::clamp(lo, 0, 255), h = std::clamp(hi, 0, 255);
    if (l > h)
        std::swap(l, h);
    // Levels no pixel was rendered to hold 0 in the table: the pick moves outward to the
    // nearest levels that carry data.
    while (l >= 1 && table[l] == 0.0f)
        --l;
    while (h < 255 && table[h] == 0.0f)
        ++h;
    lo = l;
    hi = h;
    const double dl = table[l], dh = table[h];
    if (l == h || std::fabs(dh - dl) < HDR_MIN_PICK_RANGE)
        return false;
    dataLo = dl;
    dataHi = dh;
    return true;
}

int32 hdrMarkLevel(const pixBox& graph, const pixBox& image, int32 x, int32 y, int32u displayed,
                   int32 gun)
{
    auto inside = [x, y](const pixBox& b) {
        return x >= b.x0 && x <= b.x1 && y >= b.y0 && y <= b.y1;
    };
    if (inside(graph))
        return hdrBinAt(graph.x0, x);
    if (gun < 0 || gun > 3 || !inside(image))
        return -1;
    static const int shift[4] = {16, 8, 0, 24};
    return int32((displayed >> shift[gun]) & 0xffu);
}

bool hdrScriptName(std::string_view dir, std::string_view answer, std::string& out)
{
    std::string name(dir.empty() ? std::string_view("./") : dir);
    name += answer;
    if (name.find(".cmd") == std::string::npos)
        name += ".cmd";
    if (name.size() > TAV_PATH_MAX || !ENV_EXPAND(name))
        return false;
    out = std::move(name);
    return true;
}

std::string hdrScriptText(std::string_view description, std::string_view commands)
{
    std::string text = "# ";
    text += description.empty() ? std::string_view("Load-Script created by TAV") : description;
    text += '\n';
    text += commands;
    return text;
}
