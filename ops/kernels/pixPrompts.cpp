#include "pixPrompts.h"

#include "lexical.h"

namespace {

// A signed decimal integer within 32 bits; hexadecimal and decimal points are refused.
bool decimalInt(const std::string& answer, int32* v)
{
    const std::string t = trimBlanks(answer);
    return !t.empty() && NUMCLASS(t.c_str()) == 1 && toInt32(t.c_str(), *v);
}

} // namespace

std::string parseMcdIterations(const std::string& answer, int32* n)
{
    int32 v = 0;
    if (!decimalInt(answer, &v))
        return "You must enter a decimal integer.";
    if (v < 1 || v > 256)
        return "Iterations must be > 0 or < 256";
    *n = v;
    return {};
}

std::string parseDaubechiesLength(const std::string& answer, int32* n)
{
    int32 v = 0;
    if (!decimalInt(answer, &v))
        return "ERROR: You must select an integer from the list.";
    // The filters exist for even lengths 4 to 16 only: a length between two of them takes
    // the longer one.
    if (v <= 4)
        *n = 4;
    else if (v > 14)
        *n = 16;
    else
        *n = v + (v & 1);
    return {};
}

std::string parsePacketPath(const std::string& answer, std::string* path)
{
    constexpr std::size_t maxLevels = 8;
    std::string p;
    for (const char c : answer) {
        switch (c) {
        case ' ':
        case '\t':
        case ',':
        case '\r':
        case '\n':
            continue;
        case 'L':
        case 'l':
        case '0':
            p += '0';
            break;
        case 'H':
        case 'h':
        case '1':
            p += '1';
            break;
        default:
            return "Recognized filters are 'L' or 'H'";
        }
    }
    if (p.empty() || p.size() % 2 != 0)
        return "Two filters per scale level are needed (X,Y pairs).";
    if (p.size() > 2 * maxLevels)
        return "At most 8 scale levels (16 filters) in a path.";
    *path = p;
    return {};
}
