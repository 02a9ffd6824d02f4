#include "tavDefaults.h"

#include <cstdio>
#include <memory>
#include <string_view>

#include <sys/stat.h>

#include "diag.h"
#include "hdrSettings.h"
#include "lexical.h"
#include "tavPaths.h"

tavDefaults tavDflt{"", false, 0, 0, 0, DFLT_DMODE, DFLT_ANCIL, false, false, false, false};

namespace {

/// Defaults file line results.
enum : int { DLINE_EOF = 0, DLINE_OK = 1, DLINE_TOO_LONG = -1 };

/// Zoom interpolation bits: the low four bits of the view mode word.
constexpr int32u ZOOM_BITS = 0xF;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

/// One line without its line end (a carriage return before the newline, or at the end of the
/// file, belongs to the line end). A line longer than CMD_LINE_MAX is consumed whole and
/// refused rather than read as two lines.
int readLine(std::FILE* in, std::string& line, bool& hadNewline)
{
    line.clear();
    hadNewline = false;
    int c = 0;
    bool any = false;
    while ((c = std::getc(in)) != EOF) {
        any = true;
        if (c == '\n') {
            hadNewline = true;
            break;
        }
        line.push_back(char(c));
    }
    if (!any)
        return DLINE_EOF;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line.size() > CMD_LINE_MAX ? DLINE_TOO_LONG : DLINE_OK;
}

bool isDirectory(const std::string& path)
{
    struct stat sb {};
    return stat(path.c_str(), &sb) == 0 && S_ISDIR(sb.st_mode);
}

class DefaultsReader {
public:
    void line(std::string& text, bool hadNewline);
    void tooLong() { error("\nDefaults: line longer than 255 characters ignored"); }
    bool ok() const { return ok_; }
    const std::string& report() const { return report_; }

private:
    void error(const std::string& text)
    {
        report_ += text;
        ok_ = false;
    }
    void pathKey(std::string_view key, char*& cur);
    void userKey(char* rest, bool hadNewline);
    void displaySize(char*& cur);
    void zoomMode(char*& cur);
    static bool valueIsTrue(char*& cur);

    std::string report_ = "\n****TAVdefaults:";
    bool ok_ = true;
};

bool DefaultsReader::valueIsTrue(char*& cur)
{
    char stop = '\0';
    return WORDEQ(NXTTOKEN(cur, " ", stop), "true");
}

void DefaultsReader::line(std::string& text, bool hadNewline)
{
    // Only a "#" in the first column comments a line out; a line of blanks counts as empty.
    if (text.empty() || text[0] == '#' || text.find_first_not_of(" \t") == std::string::npos)
        return;
    char* cur = text.data();
    char stop = '\0';
    const std::string key = NXTTOKEN(cur, "= ", stop);
    const std::string_view k = key;

    if (k.find("_path") != std::string_view::npos || k.find("_PATH") != std::string_view::npos)
        pathKey(k, cur);
    else if (WORDEQ(k, "USER_KEY"))
        userKey(cur, hadNewline);
    else if (WORDEQ(k, "DISPLAY_SIZE"))
        displaySize(cur);
    else if (WORDEQ(k, "ALPHA")) {
        if (valueIsTrue(cur))
            tavDflt.dmode |= 0x80;
    } else if (WORDEQ(k, "ANCIL_DISP")) {
        if (!valueIsTrue(cur))
            tavDflt.ancil &= ~int32u(0x1);
    } else if (WORDEQ(k, "FAST_MENU")) {
        if (!valueIsTrue(cur))
            tavDflt.dmode |= 0x800;
    } else if (WORDEQ(k, "SBUFF_WRITE")) {
        if (valueIsTrue(cur))
            tavDflt.dmode |= 0x1000;
    } else if (WORDEQ(k, "SBUFF_AUTO")) {
        if (valueIsTrue(cur)) {
            tavDflt.dmode |= 0x2000;
            hdrSet.autoMode = true;
        }
    } else if (WORDEQ(k, "ZOOM_MODE"))
        zoomMode(cur);
    else if (WORDEQ(k, "AUTOB")) {
        if (valueIsTrue(cur))
            tavDflt.autob = true;
    } else if (WORDEQ(k, "TWO_BUTTON_MOUSE"))
        tavDflt.twoButtonMouse = true; // the key alone asks for it; its value is not read
    else
        error(strPrintf("\nUnknown tag: %s", key.c_str()));
}

void DefaultsReader::pathKey(std::string_view key, char*& cur)
{
    char stop = '\0';
    std::string value = NXTTOKEN(cur, " ", stop);
    // An empty value would otherwise become "/", the root, which nobody writes on purpose.
    if (value.empty()) {
        error("\nInvalid path in Defaults: ");
        return;
    }
    if (value.back() != '/')
        value += '/';
    // Refused whole when it does not fit: a cut path would name another directory.
    std::string expanded = value;
    if (value.size() > TAV_PATH_MAX || !ENV_EXPAND(expanded) || !isDirectory(expanded)) {
        error(strPrintf("\nInvalid path in Defaults: %s", value.c_str()));
        return;
    }
    if (WORDEQ(key, "IMAGE_PATH"))
        SET_IPATH(value);
    else if (WORDEQ(key, "ISAVE_PATH"))
        SET_SVPATH(value);
    else if (WORDEQ(key, "SCRIPT_PATH"))
        SET_SPATH(value);
    else if (WORDEQ(key, "WORK_PATH"))
        SET_WPATH(value);
    else
        error(strPrintf("\nInvalid tag: %s", std::string(key).c_str()));
}

void DefaultsReader::userKey(char* rest, bool hadNewline)
{
    // The key is the rest of the line as written. Its carriage return (a file written on
    // another system) was dropped with the line end: kept, it would silently become part of
    // the key. The length still counts the line end, as the minimum always has.
    const std::string text = rest;
    if (text.size() + (hadNewline ? 1 : 0) < 6) {
        error("\nDefaults: Crypto Key too short");
        return;
    }
    tavDflt.userKey = text;
    tavDflt.userKeyGiven = true;
}

void DefaultsReader::displaySize(char*& cur)
{
    char stop = '\0';
    const std::string word = NXTTOKEN(cur, ", ", stop);
    if (WORDEQ(word, "FULLSCREEN")) {
        tavDflt.dpyType = 3;
        return;
    }
    if (WORDEQ(word, "FIT-TO-BUFFER")) {
        tavDflt.dpyType = 0;
        return;
    }
    if (WORDEQ(word, "MINIMIZE")) {
        tavDflt.dpyType = 2;
        return;
    }
    int32 cols = 0, rows = 0;
    if (stop == ',' && toInt32(word.c_str(), cols) && toInt32(NXTTOKEN(cur, ", ", stop), rows) &&
        cols > 767 && rows > 767) {
        tavDflt.dpyType = 1;
        tavDflt.maxW = cols;
        tavDflt.maxH = rows;
        return;
    }
    tavDflt.dpyType = 2;
    error("\nDefaults: DISPLAY_SIZE=cols,rows invalid. Using MINIMIZE");
}

void DefaultsReader::zoomMode(char*& cur)
{
    char stop = '\0';
    const std::string word = NXTTOKEN(cur, " ", stop);
    int32u bits = 0x4;
    if (WORDEQ(word, "BILINEAR"))
        bits = 0x2;
    else if (WORDEQ(word, "BICUBIC"))
        bits = 0x4;
    else if (WORDEQ(word, "REPLICATE"))
        bits = 0x1;
    else if (WORDEQ(word, "CATMULL-ROM"))
        bits = 0x8;
    else
        error("\nInvalid ZOOM mode");
    tavDflt.dmode = (tavDflt.dmode & ~ZOOM_BITS) | bits;
}

} // namespace

void resetDefaults()
{
    tavDflt = tavDefaults{"", false, 0, 0, 0, DFLT_DMODE, DFLT_ANCIL, false, false, false, false};
}

void TAV_DEFAULTS()
{
    if (tavDflt.done)
        return;
    resetDefaults();
    tavDflt.done = true;
    resetPathsToCwd();
    SET_HDR_DEFAULT_RANGE(HDR_MED3SD);

    static const char* const fileName = "$HOME/TAVdefaults.txt";
    std::string path = fileName;
    FilePtr in;
    if (ENV_EXPAND(path))
        in.reset(std::fopen(path.c_str(), "r"));
    if (!in) {
        DIAG("\n***Defaults() %s :file not found.\n", fileName);
        testLog("defaults missing");
        return;
    }

    DefaultsReader reader;
    std::string line;
    bool hadNewline = false;
    for (;;) {
        const int r = readLine(in.get(), line, hadNewline);
        if (r == DLINE_EOF)
            break;
        if (r == DLINE_TOO_LONG)
            reader.tooLong();
        else
            reader.line(line, hadNewline);
    }
    in.reset();
    tavDflt.valid = reader.ok();
    if (!tavDflt.valid)
        DIAG("%s\n", reader.report().c_str());
    testLog("defaults read valid %d", int(tavDflt.valid));
}

bool GET_VIEW_DEFAULTS(viewDefaults& out)
{
    out.ipath = GET_IPATH();
    out.svpath = GET_SVPATH();
    out.spath = GET_SPATH();
    out.wpath = GET_WPATH();
    out.dmode = tavDflt.dmode;
    out.ancil = tavDflt.ancil;
    return tavDflt.valid;
}

int GET_DEFAULT_USER_KEY(std::string& text)
{
    if (!tavDflt.userKeyGiven)
        return 0;
    text = tavDflt.userKey;
    return 1;
}

bool GET_DEFAULT_AUTOB()
{
    return tavDflt.autob;
}

bool GET_DEFAULT_TWO_BUTTON()
{
    return tavDflt.twoButtonMouse;
}
