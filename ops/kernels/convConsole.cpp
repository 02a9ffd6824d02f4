#include "convConsole.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "lexical.h"

namespace {

constexpr const char* errorTexts[] = {
    "",
    "File error opening kernel definitions",
    "Error: numeric values must be integer",
    "Undefined input",
    "Value out of range. Min/max= -/+ 32767",
    "Error: number kernel entries not match Kdef",
    "Error: ancillary display not enabled",
    "Error: divide by zero undefined",
    "Error in convolution file contents",
    "Numeric value expected",
    "Separator '=' and value expected.",
    "Convolution kernel undefined.",
    "Filename expected",
    "Kernel X,Y dimen. must be odd, > 2 and < 64",
    "Kernel ID tag not found in file.",
    "Kernel scaling failed. Operation aborted.Kernel definition in file contains errors"};

// Longest kernel path and file name together (a 256-byte text with its end).
constexpr std::size_t pathMax = 255;

bool isSep(char c)
{
    return c == ' ' || c == '\t' || c == ',' || c == '=';
}

std::string upper(std::string t)
{
    for (char& c : t)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return t;
}

// The tokens of a value list: separated by blanks, commas and "=".
std::vector<std::string> tokens(const std::string& t)
{
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < t.size()) {
        while (i < t.size() && isSep(t[i]))
            ++i;
        const std::size_t s = i;
        while (i < t.size() && !isSep(t[i]))
            ++i;
        if (i > s)
            out.push_back(t.substr(s, i - s));
    }
    return out;
}

// An integer token: 0, or CNVL_E_DECIMAL for a number with a decimal point, CNVL_E_NUMBER for
// anything else or a value past 32 bits.
int32 parseInt(const std::string& t, long long* v)
{
    std::size_t i = t[0] == '+' || t[0] == '-' ? 1 : 0;
    bool digits = false, point = false;
    for (std::size_t k = i; k < t.size(); ++k) {
        if (std::isdigit(static_cast<unsigned char>(t[k])))
            digits = true;
        else if (t[k] == '.' && !point)
            point = true;
        else
            return CNVL_E_NUMBER;
    }
    if (!digits)
        return CNVL_E_NUMBER;
    if (point)
        return CNVL_E_DECIMAL;
    errno = 0;
    *v = std::strtoll(t.c_str(), nullptr, 10);
    if (errno == ERANGE || *v < INT32_MIN || *v > INT32_MAX)
        return CNVL_E_NUMBER;
    return 0;
}

// A typed line cut into its keyword (upper case, ending at a separator or a period), whether
// "=" follows it, and the rest after the "=" (or after the keyword).
struct parsed {
    std::string word, rest;
    bool eq = false;
};

parsed parse(const std::string& line)
{
    parsed p;
    std::size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    const std::size_t s = i;
    while (i < line.size() && !isSep(line[i]) && line[i] != '.')
        ++i;
    p.word = upper(line.substr(s, i - s));
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    if (i < line.size() && line[i] == '=') {
        p.eq = true;
        ++i;
    } else if (i < line.size() && (line[i] == '.' || line[i] == ',')) {
        ++i;
    }
    p.rest = trimBlanks(line.substr(i));
    return p;
}

// Gun letters r, g, b in any case (periods, commas and blanks between them): the gun bits,
// all three when none is given, 0 for any other letter.
int32 gunLetters(const std::string& t)
{
    int32 m = 0;
    for (char c : t) {
        switch (std::tolower(static_cast<unsigned char>(c))) {
        case 'r':
            m |= 1;
            break;
        case 'g':
            m |= 2;
            break;
        case 'b':
            m |= 4;
            break;
        case ' ':
        case '\t':
        case ',':
        case '.':
        case '=':
            break;
        default:
            return 0;
        }
    }
    return m ? m : 7;
}

// A kernel file line without its comment (" #" on) and trailing blanks; empty for a comment
// line.
std::string fileLine(const std::string& l)
{
    std::string t = l;
    if (!t.empty() && t.back() == '\r')
        t.pop_back();
    const std::string lead = trimBlanks(t);
    if (lead.empty() || lead[0] == '#')
        return {};
    const std::size_t c = t.find(" #");
    if (c != std::string::npos)
        t.erase(c);
    return trimBlanks(t);
}

} // namespace

const char* convErrorText(int32 err)
{
    return err >= 1 && err <= 15 ? errorTexts[err] : "";
}

convConsole::convConsole(int32 guns, std::string kpath, fileReader reader, dirCheck isDir)
    : guns_(guns & 7 ? guns & 7 : 7), kpath_(std::move(kpath)), reader_(std::move(reader)),
      isDir_(std::move(isDir))
{
}

const char* convConsole::prompt() const
{
    return pendingDef_ ? "...Klist?: " : "cnvl> ";
}

std::vector<std::string> convConsole::labels() const
{
    static const char* gunText[8] = {"RGB", "R  ", " G ", "RG ", "  B", "R B", " GB", "RGB"};
    char b[4][48];
    std::snprintf(b[0], sizeof b[0], "CSUM=%4d", csum_);
    std::snprintf(b[1], sizeof b[1], "CVAL=%4d", cval_);
    std::snprintf(b[2], sizeof b[2], "GUNS=%s", gunText[guns_ & 7]);
    std::snprintf(b[3], sizeof b[3], plus_ ? "KTYP=%d+%d" : "KTYP=%dX%d", xs_, ys_);
    return {b[0], b[1], b[2], b[3]};
}

convParams convConsole::params(int32 kscale) const
{
    return convParams{csum_, cval_, kscale, guns_};
}

void convConsole::fail(convReply& r, int32 err)
{
    r.error = err;
    r.lines.push_back({convErrorText(err), true});
}

void convConsole::closeFile()
{
    file_.clear();
    next_ = 0;
    fileOpen_ = reading_ = false;
}

convReply convConsole::exec(const std::string& line)
{
    convReply r;
    if (line.size() > convLineMax) {
        fail(r, CNVL_E_UNDEFINED);
        return r;
    }
    if (pendingDef_)
        kdefValues(line, r);
    else
        command(line, r);
    if (reading_)
        runFileLines(r);
    return r;
}

void convConsole::kdefValues(const std::string& text, convReply& r)
{
    const std::vector<std::string> list = tokens(text);
    const std::size_t need = std::size_t(convListLength(xs_, ys_, plus_));
    auto abandon = [&](int32 err) {
        pendingDef_ = false;
        values_.clear();
        fail(r, err);
    };
    // A continuation that brings nothing ends the definition short.
    if (pendingDef_ && list.empty()) {
        abandon(CNVL_E_COUNT);
        return;
    }
    for (const std::string& t : list) {
        long long v = 0;
        if (const int32 e = parseInt(t, &v)) {
            abandon(e);
            return;
        }
        if (v < -32767 || v > 32767) {
            abandon(CNVL_E_RANGE);
            return;
        }
        if (values_.size() == need) {
            abandon(CNVL_E_COUNT);
            return;
        }
        values_.push_back(std::int16_t(v));
    }
    if (values_.size() < need) {
        pendingDef_ = true;
        return;
    }
    pendingDef_ = false;
    defined_ = convKernelFromList(xs_, ys_, plus_, values_, &kernel_);
    values_.clear();
    r.lines.push_back({"Kernel definition loaded.", false});
}

bool convConsole::selectTag(const std::string& tag, convReply& r)
{
    const std::string want = upper(tag);
    for (std::size_t i = 0; i < file_.size(); ++i) {
        const std::string l = fileLine(file_[i]);
        if (l.empty())
            continue;
        std::string first = l.substr(0, l.find_first_of(" \t"));
        first = first.substr(0, first.find(':'));
        if (upper(first) == want) {
            next_ = i + 1;
            reading_ = true;
            return true;
        }
    }
    closeFile();
    fail(r, CNVL_E_TAG);
    return false;
}

// The lines after a found tag, as console commands, until KEND, KEXE, the end of the file or
// an error (which closes the file). A kernel file cannot open files or select tags itself, so
// reading can neither recurse nor loop.
void convConsole::runFileLines(convReply& r)
{
    while (reading_) {
        if (next_ >= file_.size()) {
            reading_ = false;
            if (pendingDef_) {
                pendingDef_ = false;
                values_.clear();
                fail(r, CNVL_E_COUNT);
                closeFile();
                return;
            }
            break;
        }
        const std::string& raw = file_[next_++];
        if (raw.size() > convLineMax) {
            fail(r, CNVL_E_CONTENTS);
            closeFile();
            return;
        }
        const std::string l = fileLine(raw);
        if (l.empty())
            continue;
        const int32 before = r.error;
        r.error = 0;
        if (pendingDef_) {
            kdefValues(l, r);
        } else {
            const parsed p = parse(l);
            if (p.word == "KFIL" || p.word == "KTAG") {
                fail(r, CNVL_E_CONTENTS);
            } else if (p.word == "KEND") {
                reading_ = false;
                break;
            } else if (p.word == "KEXE") {
                reading_ = false;
                r.lines.push_back({"Convolution defined from file", false});
                command(l, r);
                if (r.error)
                    closeFile();
                return;
            } else {
                command(l, r);
            }
        }
        if (r.error) {
            closeFile();
            return;
        }
        r.error = before;
    }
    r.lines.push_back({"Convolution defined from file", false});
}

void convConsole::command(const std::string& line, convReply& r)
{
    const parsed p = parse(line);
    const std::string& w = p.word;
    if (w.empty() && p.rest.empty()) {
        r.action = CA_QUIT;
    } else if (w == "QUIT" || w == "EXIT") {
        r.action = CA_QUIT;
    } else if (w == "KTYP") {
        if (!p.eq || p.rest.empty()) {
            fail(r, CNVL_E_SEPARATOR);
            return;
        }
        // xXy, x+y or xX (y defaults to x).
        const std::string v = upper(p.rest);
        std::size_t i = 0;
        while (i < v.size() && std::isdigit(static_cast<unsigned char>(v[i])))
            ++i;
        if (i == 0 || i > 4) {
            fail(r, i == 0 ? CNVL_E_NUMBER : CNVL_E_DIMENSION);
            return;
        }
        const int32 x = std::atoi(v.substr(0, i).c_str());
        if (i == v.size() || (v[i] != 'X' && v[i] != '+')) {
            fail(r, CNVL_E_DIMENSION);
            return;
        }
        const bool plus = v[i] == '+';
        const std::string ytext = trimBlanks(v.substr(i + 1));
        int32 y = x;
        if (!ytext.empty()) {
            std::size_t k = 0;
            while (k < ytext.size() && std::isdigit(static_cast<unsigned char>(ytext[k])))
                ++k;
            if (k != ytext.size() || k > 4) {
                fail(r, CNVL_E_DIMENSION);
                return;
            }
            y = std::atoi(ytext.c_str());
        }
        if (!(x & 1) || !(y & 1) || x < 3 || y < 3 || x * y <= 8 || x > convMaxSide ||
            y > convMaxSide) {
            fail(r, CNVL_E_DIMENSION);
            return;
        }
        xs_ = x;
        ys_ = y;
        plus_ = plus;
        values_.clear();
        defined_ = false;
    } else if (w == "KDEF") {
        if (!p.eq) {
            fail(r, CNVL_E_SEPARATOR);
            return;
        }
        values_.clear();
        defined_ = false;
        pendingDef_ = false;
        kdefValues(p.rest, r);
    } else if (w == "CSUM" || w == "CVAL") {
        const std::vector<std::string> t = tokens(p.rest);
        if (!p.eq || t.empty()) {
            fail(r, CNVL_E_SEPARATOR);
            return;
        }
        long long v = 0;
        if (const int32 e = parseInt(t[0], &v)) {
            fail(r, e);
            return;
        }
        if (w == "CSUM") {
            if (v < 0) {
                fail(r, CNVL_E_DIVIDE);
                return;
            }
            csum_ = int32(v);
        } else {
            cval_ = int32(v);
        }
    } else if (w == "KPATH") {
        if (!p.eq) {
            r.lines.push_back({"File path: " + kpath_, false});
            return;
        }
        std::string dir = p.rest;
        if (dir.empty() || dir.size() >= pathMax || !isDir_ || !isDir_(dir)) {
            r.lines.push_back({"Invalid: " + dir, true});
            return;
        }
        if (dir.back() != '/')
            dir += '/';
        kpath_ = dir;
    } else if (w == "KFIL") {
        const std::size_t end = p.rest.find_first_of(" \t,");
        const std::string name = p.rest.substr(0, end);
        if (!p.eq || name.empty()) {
            fail(r, CNVL_E_FILENAME);
            return;
        }
        closeFile();
        const std::string path = kpath_ + name;
        std::vector<std::string> lines;
        if (path.size() > pathMax || !reader_ || !reader_(path, &lines)) {
            fail(r, CNVL_E_FILE);
            return;
        }
        file_ = std::move(lines);
        fileOpen_ = true;
        r.lines.push_back({"Convolution definitions loaded", false});
        const std::string after =
            end == std::string::npos ? "" : trimBlanks(p.rest.substr(end + 1));
        if (after.empty())
            return;
        const parsed t = parse(after);
        if (t.word != "KTAG" || !t.eq || t.rest.empty()) {
            fail(r, CNVL_E_UNDEFINED);
            return;
        }
        selectTag(t.rest.substr(0, t.rest.find_first_of(" \t,")), r);
    } else if (w == "KTAG") {
        if (!fileOpen_) {
            fail(r, CNVL_E_FILE);
            return;
        }
        if (!p.eq || p.rest.empty()) {
            fail(r, CNVL_E_UNDEFINED);
            return;
        }
        selectTag(p.rest.substr(0, p.rest.find_first_of(" \t,")), r);
    } else if (w == "KEND") {
        reading_ = false;
    } else if (w == "KEXE") {
        if (!defined_) {
            fail(r, CNVL_E_NO_KERNEL);
            return;
        }
        int32 kscale = 0;
        if (!p.rest.empty() || p.eq) {
            const parsed k = parse(p.rest);
            const std::vector<std::string> t = tokens(k.rest);
            if (k.word != "KSCALE" || !k.eq || t.size() != 1) {
                r.diag.push_back("\nconvol: " + line);
                fail(r, CNVL_E_UNDEFINED);
                return;
            }
            long long v = 0;
            if (parseInt(t[0], &v) != 0) {
                fail(r, CNVL_E_NUMBER);
                return;
            }
            kscale = int32(v);
        }
        r.action = CA_EXECUTE;
        r.kscale = kscale;
    } else if (w == "G" || w == "GUNS" || w == "U" || w == "UNDO") {
        const int32 m = gunLetters(p.rest);
        if (!m) {
            fail(r, CNVL_E_UNDEFINED);
            return;
        }
        if (w[0] == 'G') {
            guns_ = m;
        } else {
            r.action = CA_UNDO;
            r.undoGuns = m;
        }
    } else if (w == "M" || w == "MOUSE") {
        r.action = CA_MOUSE;
    } else {
        fail(r, CNVL_E_UNDEFINED);
    }
}
