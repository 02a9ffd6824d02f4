// Fonts and colours: the font table, font selection and metrics, the text colour table and the
// conversion of colour indices into view pixels.
#include "textwin.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "diag.h"
#include "textwin_priv.h"

using namespace twPriv;

const char* const tavFontNames[] = {
    "-misc-fixed-medium-r-semicondensed--0-0-75-75-c-0-iso8859-1",
    "-misc-fixed-medium-r-semicondensed--13-100-100-100-c-60-iso8859-1",
    "-misc-fixed-medium-r-semicondensed--13-120-75-75-c-60-iso8859-1",
    "LiberationSans:roman:medium",
    "LiberationSans:roman:bold",
    "LiberationSans:italic:medium",
    "LiberationSans:italic:bold",
    "LiberationSansNarrow:roman:medium",
    "LiberationSansNarrow:roman:bold",
    "LiberationSansNarrow:italic:medium",
    "LiberationSansNarrow:italic:bold",
    "LiberationMono:roman:medium",
    "LiberationMono:roman:bold",
    "LiberationMono:italic:medium",
    "LiberationMono:italic:bold",
    "LiberationSerif:roman:medium",
    "LiberationSerif:roman:bold",
    "LiberationSerif:italic:medium",
    "LiberationSerif:italic:bold",
    "Ga Maamli:roman:medium",
    "DancingScript:roman:medium",
    "Chiller:roman:medium",
    "Kablammo:roman:medium",
    "OldLondon:roman:medium",
    "",
};

const twRGB textColours[18] = {
    {130, 130, 130}, {255, 255, 255}, {255, 255, 0}, {255, 230, 90}, {195, 195, 195},
    {100, 100, 100}, {255, 200, 0},   {255, 255, 0}, {0, 0, 0},      {255, 0, 0},
    {0, 225, 0},     {63, 63, 255},   {0, 0, 0},     {0, 0, 0},      {0, 0, 0},
    {0, 0, 0},       {0, 0, 0},       {0, 0, 0},
};

namespace twPriv {

fontState fonts;
TavFontDes curFont;

} // namespace twPriv

namespace {

charu gunTab[4] = {2, 1, 0, 3};
const twRGB* dispColours = nullptr;

} // namespace

void fontMetrics(int32 ascent, int32 descent, int32 charW, TavFontDes* f)
{
    f->ascent = short(ascent + 1);
    f->descent = short(descent + 1);
    f->height = short(f->ascent + f->descent);
    f->charW = short(charW + 1);
    f->lineStep = short(f->descent + f->height);
    f->box2 = short(2 * f->lineStep - f->descent + 9);
}

int fontCount()
{
    static const int n = [] {
        int k = 0;
        while (tavFontNames[k][0])
            ++k;
        return k;
    }();
    return n;
}

int xftSlant(const std::string& w)
{
    if (w == "italic")
        return 100;
    if (w == "oblique")
        return 110;
    return 0;
}

int xftWeight(const std::string& w)
{
    if (w == "medium")
        return 100;
    if (w == "demibold")
        return 180;
    if (w == "bold")
        return 200;
    if (w == "black")
        return 210;
    return 50;
}

bool sameFamily(const std::string& a, const std::string& b)
{
    auto squeeze = [](const std::string& s) {
        std::string o;
        for (unsigned char c : s)
            if (c != ' ')
                o += char(std::tolower(c));
        return o;
    };
    return squeeze(a) == squeeze(b);
}

const TavFontDes& currentFont()
{
    return curFont;
}

bool SETFONT(int index, int size, TavFontDes* retnFont)
{
    TAV_ASSERT(retnFont != NULL);
    if (index < 0 || index >= fontCount() || !twBack)
        return false;
    const bool xft = index >= firstXftFont;
    const bool newSize = xft && size >= 13 && size <= 756 && size != fonts.xftSize;
    fontSlot& s = fonts.slot[index];
    if (fonts.current == index && curFont.loaded && !newSize) {
        *retnFont = curFont;
        return true;
    }
    if (xft) {
        if (size >= 13 && size <= 756)
            fonts.xftSize = size;
        if (fonts.xftSize < 12 || fonts.xftSize > 756) {
            DIAG("\nSETFONT() invalid font size: %d", fonts.xftSize);
            return false;
        }
        if (s.open && s.des.xftSize != fonts.xftSize) {
            twBack->closeFont(true, s.des.xftFont);
            s = fontSlot{};
            // The closed font may be the current one: should the reopening fail, nothing
            // may go on claiming it.
            if (fonts.current == index) {
                fonts.current = -1;
                curFont = TavFontDes{};
            }
        }
        if (!s.open) {
            // family:slant:weight
            std::string name = tavFontNames[index], parts[3];
            size_t p = 0;
            for (int k = 0; k < 3; ++k) {
                const size_t e = name.find(':', p);
                parts[k] = name.substr(p, e == std::string::npos ? std::string::npos : e - p);
                if (e == std::string::npos) {
                    p = name.size();
                    ++k;
                    for (; k < 3; ++k)
                        parts[k].clear();
                    break;
                }
                p = e + 1;
            }
            twFontInfo fi;
            // fontconfig hands back a substitute for a missing family; that is a failure here.
            if (!twBack->openFont(true, parts[0], xftSlant(parts[1]), xftWeight(parts[2]),
                                  double(fonts.xftSize), &fi) ||
                !sameFamily(fi.family, parts[0])) {
                if (fi.handle)
                    twBack->closeFont(true, fi.handle);
                DIAG("\n***TEXTWIN():SETFONT:XftFontOpen failed\n");
                return false;
            }
            s.des = TavFontDes{};
            s.des.xftFont = fi.handle;
            s.des.xft = true;
            s.des.xftSize = short(fonts.xftSize);
            fontMetrics(fi.ascent, fi.descent, fi.charW, &s.des);
            s.open = true;
        }
    } else if (!s.open) {
        twFontInfo fi;
        if (!twBack->openFont(false, tavFontNames[index], 0, 0, 0.0, &fi)) {
            DIAG("\n***TEXTWIN():SETFONT:XLoadQueryFont failed\n");
            return false;
        }
        s.des = TavFontDes{};
        s.des.coreFont = fi.handle;
        fontMetrics(fi.ascent, fi.descent, fi.charW, &s.des);
        s.open = true;
    }
    s.des.index = short(index);
    s.des.loaded = true;
    twBack->useFont(xft, xft ? s.des.xftFont : s.des.coreFont);
    fonts.current = index;
    curFont = s.des;
    *retnFont = curFont;
    return true;
}

int32u rgbPixel(charu r, charu g, charu b, const charu gunOfs[4])
{
    return (int32u(r) << (8 * gunOfs[0])) | (int32u(g) << (8 * gunOfs[1])) |
           (int32u(b) << (8 * gunOfs[2]));
}

void setTextGunTable(const charu gunOfs[4])
{
    std::memcpy(gunTab, gunOfs, 4);
}

void setDisplayColourTable(const twRGB* table256)
{
    dispColours = table256;
}

int32u colourPixel(int index, bool rgbFlag)
{
    if (rgbFlag) {
        const int i = std::clamp(index, 0, 255);
        if (dispColours)
            return rgbPixel(dispColours[i].r, dispColours[i].g, dispColours[i].b, gunTab);
        return rgbPixel(charu(i), charu(i), charu(i), gunTab);
    }
    const twRGB& c = textColours[std::clamp(index, 0, 17)];
    return rgbPixel(c.r, c.g, c.b, gunTab);
}

bool textwinFontInit()
{
    TavFontDes f;
    (void)fontCount();
    return SETFONT(0, 0, &f);
}

void textwinDrawInit(const charu gunOfs[4])
{
    setTextGunTable(gunOfs);
}
