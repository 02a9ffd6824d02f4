#include "lexical.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

bool inSet(const char* delims, char c)
{
    if (c == '\0')
        return false;
    if (std::strchr(delims, c))
        return true;
    return isBlankChar(c) && std::strchr(delims, ' ');
}

// A hostile stream could send one endless line; past this much it is known to
// be too long and the rest is only consumed.
constexpr std::size_t kLineKeep = 4096;

} // namespace

int NUMCLASS(const char* text)
{
    if (!text)
        return 0;
    const char* p = text;
    bool hex = false;
    if (std::strpbrk(text, "-+"))
        ++p; // the first character is taken as the sign
    else if (std::strstr(text, "0x") || std::strstr(text, "0X")) {
        hex = true;
        p += 2;
    }
    bool point = false;
    bool digit = false;
    for (; *p && *p != '\n'; ++p) {
        const char c = *p;
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if (c == '.' && !hex && !point) {
            point = true;
        } else if ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')) {
            if (point)
                return 0;
            hex = true;
            digit = true;
        } else {
            return 0;
        }
    }
    if (!digit)
        return 0;
    if (hex)
        return 2;
    return point ? 3 : 1;
}

char* NXTTOKEN(char*& cursor, const char* delims, char& stop)
{
    char* p = cursor;
    while (isBlankChar(*p))
        ++p;

    if ((*p == '"' || *p == '\'') && !inSet(delims, *p)) {
        const char quote = *p;
        char* close = p + 1;
        while (*close && *close != '\n' && *close != quote)
            ++close;
        if (*close == quote) {
            *close = '\0';
            char* token = p + 1;
            p = close + 1;
            while (isBlankChar(*p))
                ++p;
            stop = quote;
            cursor = p;
            return token;
        }
        // Without a closing quote the quote is an ordinary character.
    }

    char* token = p;
    char* w = p; // escapes shift the token left as they are removed
    stop = '\0';
    for (;;) {
        const char c = *p;
        if (c == '\0')
            break;
        if (c == '\n' || (c == '\r' && p[1] == '\n')) {
            stop = '\n';
            p += (c == '\r') ? 2 : 1;
            break;
        }
        if (c == '\\' && (inSet(delims, p[1]) || (w == token && isBlankChar(p[1])))) {
            *w++ = p[1];
            p += 2;
            continue;
        }
        if (inSet(delims, c)) {
            stop = c;
            ++p;
            if (isBlankChar(c)) {
                while (isBlankChar(*p))
                    ++p;
                if (*p == '\n' || (*p == '\r' && p[1] == '\n')) {
                    stop = '\n';
                    p += (*p == '\r') ? 2 : 1;
                } else if (inSet(delims, *p)) {
                    stop = *p++;
                }
            }
            break;
        }
        *w++ = c;
        ++p;
    }
    *w = '\0';
    cursor = p;
    return token;
}

bool toInt32(const char* text, int32& out)
{
    if (NUMCLASS(text) != 1)
        return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text, &end, 10);
    if (errno == ERANGE || v < INT32_MIN || v > INT32_MAX || end == text)
        return false;
    out = static_cast<int32>(v);
    return true;
}

bool toDouble(const char* text, double& out)
{
    const int cls = NUMCLASS(text);
    if (cls != 1 && cls != 3)
        return false;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (errno == ERANGE || end == text)
        return false;
    out = v;
    return true;
}

int INT_PAIR(char*& cursor, const char* delims, int32& a, int32& b, char& stop)
{
    const char* t = NXTTOKEN(cursor, delims, stop);
    if (!toInt32(t, a))
        return PAIR_BAD_FIRST;
    if (stop != ',') {
        b = a;
        return PAIR_OK;
    }
    t = NXTTOKEN(cursor, delims, stop);
    return toInt32(t, b) ? PAIR_OK : PAIR_BAD_SECOND;
}

int DBL_PAIR(char*& cursor, const char* delims, double& a, double& b, char& stop)
{
    const char* t = NXTTOKEN(cursor, delims, stop);
    if (!toDouble(t, a))
        return PAIR_BAD_FIRST;
    if (stop != ',') {
        b = a;
        return PAIR_OK;
    }
    t = NXTTOKEN(cursor, delims, stop);
    return toDouble(t, b) ? PAIR_OK : PAIR_BAD_SECOND;
}

bool WORDEQ(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

int GET_CMDLINE(std::FILE* in, std::string& line)
{
    if (!in)
        return LINE_EOF;
    for (;;) {
        line.clear();
        bool overflow = false;
        bool any = false;
        int c;
        while ((c = std::fgetc(in)) != EOF) {
            any = true;
            if (c == '\n')
                break;
            if (line.size() < kLineKeep)
                line.push_back(static_cast<char>(c));
            else
                overflow = true;
        }
        if (!any)
            return LINE_EOF;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();

        std::size_t first = 0;
        while (first < line.size() && isBlankChar(line[first]))
            ++first;
        if (first == line.size() || line[first] == '#')
            continue; // empty or comment line
        bool cut = false;
        for (std::size_t i = first + 1; i < line.size(); ++i) {
            if (line[i] == '#' && isBlankChar(line[i - 1])) {
                line.resize(i); // trailing comment: what was not kept belonged to it
                cut = true;
                break;
            }
        }
        while (!line.empty() && (isBlankChar(line.back()) || line.back() == '\r'))
            line.pop_back();
        if ((overflow && !cut) || line.size() > CMD_LINE_MAX)
            return LINE_TOO_LONG;
        return LINE_OK;
    }
}
