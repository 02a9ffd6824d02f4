#include "lutFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

enum lineKind { LINE_OK, LINE_EOF, LINE_LONG, LINE_IO };

// One line without its end; a longer line than the file format allows is read to its end
// and reported, never cut into pieces that would be taken for lines of their own.
lineKind readLine(std::FILE* f, std::string& line)
{
    line.clear();
    bool any = false, tooLong = false;
    for (;;) {
        const int c = std::getc(f);
        if (c == EOF) {
            if (std::ferror(f))
                return LINE_IO;
            if (!any)
                return LINE_EOF;
            break;
        }
        any = true;
        if (c == '\n')
            break;
        if (line.size() >= std::size_t(LUTF_LINE_MAX))
            tooLong = true;
        else
            line.push_back(char(c));
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return tooLong ? LINE_LONG : LINE_OK;
}

bool isSeparator(char c)
{
    return c == ' ' || c == '\t' || c == ',';
}

// Three decimal integers at the start of a line; anything after the third is not read.
bool threeFields(const std::string& line, int v[3])
{
    std::size_t p = 0;
    for (int k = 0; k < 3; ++k) {
        while (p < line.size() && isSeparator(line[p]))
            ++p;
        std::size_t q = p;
        if (q < line.size() && (line[q] == '+' || line[q] == '-'))
            ++q;
        const std::size_t digits = q;
        while (q < line.size() && line[q] >= '0' && line[q] <= '9')
            ++q;
        if (q == digits || (q < line.size() && !isSeparator(line[q])))
            return false;
        errno = 0;
        const long n = std::strtol(line.c_str() + p, nullptr, 10);
        v[k] = errno == ERANGE ? (n < 0 ? -1 : 256) : int(n < -1 ? -1 : n > 256 ? 256 : n);
        p = q;
    }
    return true;
}

bool blank(const std::string& line)
{
    for (char c : line)
        if (!isSeparator(c))
            return false;
    return true;
}

} // namespace

int32 readLutFile(std::FILE* f, lutSet& out)
{
    lutSet tmp;
    int entries = 0;
    std::string line;
    while (entries < 256) {
        const lineKind k = readLine(f, line);
        if (k == LINE_EOF)
            break;
        if (k == LINE_IO)
            return LUTF_IO;
        if (k == LINE_LONG)
            return LUTF_LONG_LINE;
        if (blank(line) || line[line.find_first_not_of(" \t")] == '#')
            continue;
        int v[3];
        if (!threeFields(line, v))
            return LUTF_NON_NUMERIC;
        for (int g = 0; g < 3; ++g)
            tmp[g][entries] = charu(v[g] < 0 ? 0 : v[g] > 255 ? 255 : v[g]);
        ++entries;
    }
    if (entries < 256)
        return LUTF_SHORT;
    std::memcpy(out, tmp, sizeof tmp);
    return LUTF_OK;
}

bool writeLutFile(std::FILE* f, const lutSet& luts, std::string_view desc)
{
    bool ok = std::fputs("#\n#    TAV saved R-G-B color LUTs\n#\n", f) >= 0;
    if (ok && !desc.empty())
        ok = std::fprintf(f, "# %.*s\n#\n", int(desc.size()), desc.data()) >= 0;
    for (int i = 0; ok && i < 256; ++i)
        ok = std::fprintf(f, "%5d %5d %5d\n", luts[0][i], luts[1][i], luts[2][i]) > 0;
    return ok && std::fflush(f) == 0 && !std::ferror(f);
}
