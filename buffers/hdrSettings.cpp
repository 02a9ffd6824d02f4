#include "hdrSettings.h"

#include <cctype>

#include "lexical.h"

hdrSettings hdrSet{};

namespace {

// The help pages and older scripts spell the curves and ranges out (LINEAR, MEDIAN); both
// forms are accepted.
constexpr hdrWord curveWords[] = {{"LIN", HDR_LIN},   {"LINEAR", HDR_LIN},      {"LOG", HDR_LOG},
                                  {"EXP", HDR_EXP},   {"EXPONENTIAL", HDR_EXP}, {"SINH", HDR_SINH},
                                  {"TANH", HDR_TANH}, {"PSEUDO", HDR_PSEUDO}};
constexpr hdrWord rangeWords[] = {{"FULL", HDR_RANGE_FULL},         {"MN", HDR_RANGE_MEAN},
                                  {"MEAN", HDR_RANGE_MEAN},         {"MED", HDR_RANGE_MEDIAN},
                                  {"MEDIAN", HDR_RANGE_MEDIAN},     {"LO-HI", HDR_RANGE_LOHI},
                                  {"LOW-STDV", HDR_RANGE_LOW_STDV}, {"HI-STDV", HDR_RANGE_HI_STDV}};

} // namespace

const std::span<const hdrWord> hdrCurveWords{curveWords};
const std::span<const hdrWord> hdrRangeWords{rangeWords};

bool hdrLookupWord(std::span<const hdrWord> table, std::string_view word, int32u& bits)
{
    for (const auto& e : table) {
        if (WORDEQ(word, e.word)) {
            bits = e.bits;
            return true;
        }
    }
    return false;
}

bool hdrChannelsOf(std::string_view word, int32u& bits)
{
    if (WORDEQ(word, "RGB")) {
        bits = HDR_CH_RGB;
        return true;
    }
    // A single gun is named by its first letter.
    switch (word.empty() ? 0 : std::toupper(static_cast<unsigned char>(word[0]))) {
    case 'R':
        bits = HDR_CH_R;
        return true;
    case 'G':
        bits = HDR_CH_G;
        return true;
    case 'B':
        bits = HDR_CH_B;
        return true;
    case 'A':
        bits = HDR_CH_A;
        return true;
    default:
        return false;
    }
}

const char* hdrWordOf(std::span<const hdrWord> table, int32u bits)
{
    for (const auto& e : table)
        if (e.bits == bits)
            return e.word;
    return nullptr;
}

void SET_HDR_DEFAULT_RANGE(int mode)
{
    if (mode < HDR_MED3SD || mode > HDR_FULL)
        mode = HDR_MED3SD;
    hdrSet.rangeMode[0] = hdrSet.rangeMode[1] = mode;
}

void CHOOSE_HDR_DEFAULT_RANGE(int mode)
{
    SET_HDR_DEFAULT_RANGE(mode);
    hdrSet.rangeChosen = true;
}

void SET_HDR_LOAD_DEFAULT_RANGE()
{
    // A mode the user asked for outranks the full-range default of a plain HDR load.
    if (!hdrSet.rangeChosen)
        SET_HDR_DEFAULT_RANGE(HDR_FULL);
}

void resetHdrSettings()
{
    hdrSet = hdrSettings{};
}
