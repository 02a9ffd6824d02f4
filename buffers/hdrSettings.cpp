#include "hdrSettings.h"

#include <cctype>

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

bool sameWord(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

const std::span<const hdrWord> hdrCurveWords{curveWords};
const std::span<const hdrWord> hdrRangeWords{rangeWords};

bool hdrLookupWord(std::span<const hdrWord> table, std::string_view word, int32u& bits)
{
    for (const auto& e : table) {
        if (sameWord(word, e.word)) {
            bits = e.bits;
            return true;
        }
    }
    return false;
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
