// The command loop around the load: lines come from a command string, the
// command stream or a command script; the tags of each line build one load
// request, and a line that names an image file is handed to the load execution.
#include "tav_load.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "diag.h"
#include "fcrypt.h"
#include "hdrSettings.h"
#include "ldrErrors.h"
#include "ldrExec.h"
#include "ldrRequest.h"
#include "lexical.h"
#include "loadGui.h"
#include "tavDefaults.h"
#include "tavPaths.h"
#include "regularFile.h"

loaderState ldrState{};

void resetLoadRequest(loadRequest& req, int32 imageCount)
{
    req = loadRequest{};
    req.imgIndex = imageCount;
}

void resetLoaderState()
{
    ldrState = loaderState{};
    ldrState.autob = GET_DEFAULT_AUTOB();
}

namespace {

std::FILE* streamOverride = nullptr;
LoadExecFn loadExec = LOAD_EXEC;

std::FILE* commandStream()
{
    return streamOverride ? streamOverride : stdin;
}

struct FileCloser {
    void operator()(std::FILE* f) const
    {
        if (f)
            std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

constexpr const char* kTagDelims = "= ";
constexpr const char* kValueDelims = ", ";
constexpr const char* kPlainDelims = " ";
constexpr const char* kColorDelims = "<, >";

constexpr std::size_t kKeyTextMax = 128;

bool atLineEnd(char stop)
{
    return stop == '\0' || stop == '\n';
}

// The echo never shows key texts: they would otherwise land in the loader
// window and on standard error in clear. Blanks around the "=" are allowed, as
// the tokenizer allows them.
std::string maskKeys(std::string line)
{
    std::size_t pos = 0;
    for (;;) {
        std::size_t hit = std::string::npos;
        for (std::size_t i = pos; i + 3 <= line.size(); ++i) {
            if (!WORDEQ(std::string_view(line).substr(i, 3), "KEY"))
                continue;
            std::size_t k = i + 3;
            while (k < line.size() && isBlankChar(line[k]))
                ++k;
            if (k >= line.size() || line[k] != '=')
                continue;
            ++k;
            while (k < line.size() && isBlankChar(line[k]))
                ++k;
            if (k < line.size() && line[k] == '\'') {
                hit = k + 1;
                break;
            }
        }
        if (hit == std::string::npos)
            return line;
        std::size_t close = line.find('\'', hit);
        if (close == std::string::npos)
            close = line.size();
        line.replace(hit, close - hit, "***");
        pos = hit + 3;
    }
}

class CommandLoop {
public:
    CommandLoop(bufdes* table, shortu* current, shortu source, const char* text)
        : table_(table), current_(current), entry_(*current), source_(source)
    {
        if (source_ == SRC_STRING && text) {
            str_ = text;
            strCur_ = str_.data();
        }
    }

    shortu run();

private:
    using Handler = char (CommandLoop::*)(char stop);
    struct tagEntry {
        const char* name;
        Handler fn;
    };
    static const tagEntry kTags[];

    bufdes& buffer() { return table_[*current_]; }
    // The first refusal of a command is the one reported: a tag that already failed on its
    // value does not add a second message for the same value.
    char fail(int code, std::string_view text = {})
    {
        if (!req_.error)
            req_.error = LDR_ERROR(code, text);
        return '\0';
    }
    const char* value(const char* delims, char& stop);
    int intPair(const char* delims, int32& a, int32& b, char& stop);
    int dblPair(const char* delims, double& a, double& b, char& stop);
    void closeScript()
    {
        script_.reset();
        autoInitPending_ = false;
    }
    void echo(const char* from);
    bool nextLine();
    int readScriptOrStream(std::string& into);
    void tagLoop();
    shortu endSequence();
    void consumeWipe();
    bool quotedKey(std::string& text);
    int32 defaultImage() { return buffer().numImgs > 0 ? buffer().numImgs - 1 : 0; }

    char tagExit(char stop);
    char tagImage(char stop);
    char tagCols(char stop);
    char tagRows(char stop);
    char tagBxy(char stop);
    char tagFxy(char stop);
    char tagBand(char stop);
    char tagGun(char stop);
    char tagStatic(char stop);
    char tagKey(char stop);
    char tagDkey(char stop);
    char tagDumph(char stop);
    char tagFlip(char stop);
    char tagMirr(char stop);
    char tagBswap(char stop);
    char tagBgr(char stop);
    char tagXalpha(char stop);
    char tagInit(char stop);
    char tagR180(char stop);
    char tagAutob(char stop);
    char tagSetb(char stop);
    char tagCmd(char stop);
    char tagHdu(char stop);
    char tagSfact(char stop);
    char tagDeres(char stop);
    char tagHdr(char stop);
    char tagIpath(char stop);
    char tagSpath(char stop);
    char tagSvpath(char stop);
    char tagWpath(char stop);
    char tagGif2Alpha(char stop);
    char tagGfill(char stop);

    char colsRows(char stop, int32& into);
    char setPath(char stop, const char* tag, bool (*setter)(std::string_view));
    char flag(char stop, int32u bit)
    {
        req_.vslCtlm |= bit;
        return stop;
    }

    bufdes* table_;
    shortu* current_;
    shortu entry_;
    shortu source_;
    std::string str_;         // the command string (tokens are cut out of it in place)
    char* strCur_ = nullptr;  // where the next line of the command string starts
    std::string line_;        // the current script or stream line
    char* cur_ = nullptr;     // cursor in the line being parsed
    bool fromString_ = false; // the current line lies in the command string
    FilePtr script_;
    bool streamDone_ = false;
    bool autoInitPending_ = false;
    bool exit_ = false;
    loadRequest req_;
};

const CommandLoop::tagEntry CommandLoop::kTags[] = {
    {"EXIT", &CommandLoop::tagExit},
    {"i", &CommandLoop::tagImage},
    {"COLS", &CommandLoop::tagCols},
    {"ROWS", &CommandLoop::tagRows},
    {"BXY", &CommandLoop::tagBxy},
    {"FXY", &CommandLoop::tagFxy},
    {"BAND", &CommandLoop::tagBand},
    {"GUN", &CommandLoop::tagGun},
    {"STATIC", &CommandLoop::tagStatic},
    {"KEY", &CommandLoop::tagKey},
    {"DKEY", &CommandLoop::tagDkey},
    {"DUMPH", &CommandLoop::tagDumph},
    {"FLIP", &CommandLoop::tagFlip},
    {"MIRR", &CommandLoop::tagMirr},
    {"BSWAP", &CommandLoop::tagBswap},
    {"BGRtoRGB", &CommandLoop::tagBgr},
    {"XALPHA", &CommandLoop::tagXalpha},
    {"INIT", &CommandLoop::tagInit},
    {"R180", &CommandLoop::tagR180},
    {"AUTOB", &CommandLoop::tagAutob},
    {"SETB", &CommandLoop::tagSetb},
    {"CMD", &CommandLoop::tagCmd},
    {"HDU", &CommandLoop::tagHdu},
    {"SFACT", &CommandLoop::tagSfact},
    {"DERES", &CommandLoop::tagDeres},
    {"HDR", &CommandLoop::tagHdr},
    {"IPATH", &CommandLoop::tagIpath},
    {"SPATH", &CommandLoop::tagSpath},
    {"SVPATH", &CommandLoop::tagSvpath},
    {"WPATH", &CommandLoop::tagWpath},
    {"GIF2ALPHA", &CommandLoop::tagGif2Alpha},
    {"GFILL", &CommandLoop::tagGfill},
};

// A pair of quotes with nothing between them names no value. Taken as a value it would be an
// empty path or number, and at the place of a tag it would end the line as if nothing followed:
// either way the command would stop without saying why. It is refused as a parsing error.
bool emptyQuoted(const char* token, char stop)
{
    return *token == '\0' && (stop == '"' || stop == '\'');
}

const char* CommandLoop::value(const char* delims, char& stop)
{
    const char* v = NXTTOKEN(cur_, delims, stop);
    if (emptyQuoted(v, stop))
        fail(4, stop == '"' ? "\"\"" : "''");
    return v;
}

int CommandLoop::intPair(const char* delims, int32& a, int32& b, char& stop)
{
    if (!toInt32(value(delims, stop), a))
        return PAIR_BAD_FIRST;
    if (stop != ',') {
        b = a;
        return PAIR_OK;
    }
    return toInt32(value(delims, stop), b) ? PAIR_OK : PAIR_BAD_SECOND;
}

int CommandLoop::dblPair(const char* delims, double& a, double& b, char& stop)
{
    if (!toDouble(value(delims, stop), a))
        return PAIR_BAD_FIRST;
    if (stop != ',') {
        b = a;
        return PAIR_OK;
    }
    return toDouble(value(delims, stop), b) ? PAIR_OK : PAIR_BAD_SECOND;
}

void CommandLoop::echo(const char* from)
{
    std::string shown(from, std::strcspn(from, "\n"));
    if (!shown.empty() && shown.back() == '\r')
        shown.pop_back();
    if (!shown.empty())
        LDR_MSG(strPrintf("\nParsing: %s", maskKeys(std::move(shown)).c_str()).c_str());
}

// Next line of the open script, else of the stream: LINE_OK, LINE_EOF, or an
// error set.
int CommandLoop::readScriptOrStream(std::string& into)
{
    std::FILE* in = script_ ? script_.get() : nullptr;
    if (!in && source_ == SRC_STREAM && !streamDone_)
        in = commandStream();
    if (!in)
        return LINE_EOF;
    const int r = GET_CMDLINE(in, into);
    if (r == LINE_TOO_LONG) {
        fail(4, "line too long");
        return LINE_TOO_LONG;
    }
    if (r == LINE_EOF && !script_)
        streamDone_ = true;
    return r;
}

// Step to the next command line; false when an error was set.
bool CommandLoop::nextLine()
{
    fromString_ = false;
    while (script_ || source_ == SRC_STREAM) {
        const int r = readScriptOrStream(line_);
        if (r == LINE_TOO_LONG)
            return false;
        if (r == LINE_OK) {
            cur_ = line_.data();
            return true;
        }
        if (!script_)
            break;     // the stream ran dry: an empty line ends the sequence
        closeScript(); // back to the stream or to the rest of the command string
    }
    if (source_ == SRC_STRING && strCur_) {
        // Blank lines in a command string are skipped as a script's are.
        char* p = strCur_;
        for (;;) {
            while (isBlankChar(*p) || *p == '\r')
                ++p;
            if (*p != '\n')
                break;
            strCur_ = ++p;
        }
        cur_ = strCur_;
        fromString_ = true;
        return true;
    }
    line_.clear();
    cur_ = line_.data();
    return true;
}

void CommandLoop::tagLoop()
{
    for (;;) {
        char stop = '\0';
        char* token = NXTTOKEN(cur_, kTagDelims, stop);
        if (*token == '\0') {
            if (stop == '=')
                fail(4, "=");
            else if (emptyQuoted(token, stop))
                fail(4, stop == '"' ? "\"\"" : "''");
            return; // an empty token ends the tags of the line
        }
        if (std::strcmp(token, "\\") == 0) {
            // Continuation: in a command string the backslash and its newline are
            // already consumed; text after the backslash on the same line is parsed
            // as usual.
            if (fromString_ || (!atLineEnd(stop) && *cur_))
                continue;
            const int r = readScriptOrStream(line_);
            if (r == LINE_TOO_LONG)
                return;
            if (r != LINE_OK) {
                fail(21);
                return;
            }
            cur_ = line_.data();
            echo(cur_);
            continue;
        }
        Handler fn = nullptr;
        for (const auto& t : kTags) {
            if (WORDEQ(token, t.name)) {
                fn = t.fn;
                break;
            }
        }
        if (!fn) {
            fail(4, token);
            return;
        }
        req_.tagHandled = true;
        const char last = (this->*fn)(stop);
        if (req_.error || exit_ || atLineEnd(last))
            return;
    }
}

shortu CommandLoop::endSequence()
{
    bufdes& b = buffer();
    if (b.numImgs > 0)
        return TAV_CONTINUE;
    if (req_.staticX > 0 && req_.staticY > 0) {
        int st = 0;
        int32u* px = CREATE_iBUFF(&b, req_.staticX, req_.staticY, &st);
        ides* grown = nullptr;
        if (px) {
            // One image now, so the descriptor array needs its spare beyond it.
            grown = static_cast<ides*>(std::realloc(b.imgDes, 2 * sizeof(ides)));
            if (grown) {
                b.imgDes = grown;
                initIdes(&b.imgDes[1]);
            } else {
                st = -2;
            }
        }
        if (!px || !grown) {
            if (px)
                CLEAR_iBUFF(&b);
            LDR_ERROR(33, strPrintf("Static buffer create fail: %d", st));
            *current_ = entry_;
            return TAV_TO_LOADER;
        }
        FILL_iBUFF(px, req_.staticX, req_.staticY, req_.staticColor);
        b.numImgs = 1;
        b.bufCtlm |= bufSTATIC;
        return TAV_CONTINUE;
    }
    LDR_ERROR(59);
    *current_ = entry_;
    return TAV_TO_LOADER;
}

shortu CommandLoop::run()
{
    if (!ldrState.firstCallDone) {
        ldrState.firstCallDone = true;
        ldrState.autob = GET_DEFAULT_AUTOB();
        std::string key;
        if (GET_DEFAULT_USER_KEY(key) && !key.empty()) {
            if (SETUSERKEY(key.c_str()) == CRYPT_OK)
                ldrState.userKeyText = key;
            else
                req_.error = LDR_ERROR(60, key);
        }
    } else if (fileCipher.keySet()) {
        ldrState.userKeyText = fileCipher.keyText();
    }

    for (;;) {
        if (req_.error) {
            closeScript();
            *current_ = entry_;
            return TAV_TO_LOADER;
        }
        if (ldrState.autob)
            *current_ = shortu((*current_ + 1) % NUM_iBUFF);
        resetLoadRequest(req_, buffer().numImgs);
        if (!nextLine())
            continue;
        echo(cur_);
        tagLoop();
        if (fromString_)
            strCur_ = cur_;
        if (exit_) {
            closeScript();
            return TAV_CONTINUE;
        }
        if (req_.error)
            continue;
        if (!req_.tagHandled) {
            // An empty line: the source is used up.
            closeScript();
            if (ldrState.autob)
                *current_ = entry_;
            return TAV_CONTINUE;
        }
        if ((req_.vslCtlm & REQ_RESAMPLE_Y) && (req_.vslCtlm & REQ_FLIP)) {
            fail(53);
            continue;
        }
        if (req_.dumpH && req_.gunGiven) {
            fail(30);
            continue;
        }
        if (req_.fileCount == 0) {
            closeScript();
            return endSequence();
        }
        req_.autoInit = autoInitPending_ && !req_.initF;
        autoInitPending_ = false;
        const int rc = loadExec(req_, table_, *current_);
        if (rc != 0) {
            req_.error = static_cast<short>(rc);
            continue;
        }
        if (!script_ && source_ == SRC_STRING) {
            const char* p = strCur_;
            while (*p && std::isspace(static_cast<unsigned char>(*p)))
                ++p;
            if (*p == '\0')
                return TAV_CONTINUE;
        }
    }
}

// ---- tags
// ----------------------------------------------------------------------------

char CommandLoop::tagExit(char)
{
    exit_ = true;
    return '\0';
}

char CommandLoop::tagImage(char stop)
{
    if (req_.fileCount > 0 || stop != '=')
        return fail(1);
    char s = '\0';
    const char* v = value(kValueDelims, s);
    if (*v == '\0')
        return fail(1);
    std::string path = std::strchr(v, '/') ? std::string(v) : GET_IPATH() + v;
    if (path.size() > TAV_PATH_MAX)
        return fail(10, path);
    req_.path = std::move(path);
    req_.fileCount = 1;
    return s;
}

char CommandLoop::colsRows(char stop, int32& into)
{
    int32 n = 0; // a value that is not a number counts as 0
    char s = stop;
    if (stop == '=') {
        const char* v = value(kPlainDelims, s);
        if (!toInt32(v, n))
            n = 0;
    }
    if (n < 16)
        return fail(3);
    into = n;
    return s;
}

char CommandLoop::tagCols(char stop)
{
    return colsRows(stop, req_.cols);
}
char CommandLoop::tagRows(char stop)
{
    return colsRows(stop, req_.rows);
}

char CommandLoop::tagBxy(char stop)
{
    if (req_.bxyGiven || stop != '=')
        return fail(9, "BXY invalid");
    int32 x = 0, y = 0;
    char s = '\0';
    // A negative offset would place pixels before the buffer.
    if (intPair(kValueDelims, x, y, s) != PAIR_OK || x < 0 || y < 0)
        return fail(9, "BXY invalid");
    req_.bXofs = x;
    req_.bYofs = y;
    req_.bxyGiven = true;
    return s;
}

char CommandLoop::tagFxy(char stop)
{
    if (stop != '=')
        return fail(9, "FXY invalid");
    int32 x = 0, y = 0;
    char s = '\0';
    if (intPair(kValueDelims, x, y, s) != PAIR_OK || x < 0 || y < 0)
        return fail(9, "FXY invalid");
    req_.fXofs = x;
    req_.fYofs = y;
    return s;
}

char CommandLoop::tagBand(char stop)
{
    if (req_.bandGiven)
        return fail(29, "BAND");
    if (req_.gunGiven)
        return fail(38);
    if (stop != '=')
        return fail(22);
    shortu bands[4] = {0, 0, 0, 0};
    int n = 0;
    char s = '\0';
    do {
        const char* v = value(kValueDelims, s);
        int32 b = 0;
        if (!toInt32(v, b) || b < 1 || b > 511)
            return fail(22);
        bands[n++] = static_cast<shortu>(b);
    } while (s == ',' && n < 4);
    if (n == 2)
        return fail(22);
    shortu maxBand = 0;
    for (int k = 0; k < 4; ++k) {
        req_.bands[k] = bands[k];
        if (bands[k] > maxBand)
            maxBand = bands[k];
    }
    req_.bandCount = static_cast<shortu>(n);
    req_.maxBand = maxBand;
    req_.bandGiven = true;
    return s;
}

char CommandLoop::tagGun(char stop)
{
    if (ldrState.autob)
        return fail(48);
    if (req_.gunGiven)
        return fail(29, "GUN");
    if (stop != '=')
        return fail(7);
    char s = '\0';
    const char* v = value(kValueDelims, s);
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(v[0])));
    shortu plane = 0;
    switch (c) {
    case 'R':
        plane = GUN_R;
        break;
    case 'G':
        plane = GUN_G;
        break;
    case 'B':
        plane = GUN_B;
        break;
    case 'A':
        plane = GUN_A;
        break;
    default:
        return fail(7);
    }
    if (plane == GUN_A && req_.xalpha)
        return fail(7);
    if (req_.bandGiven && req_.bandCount > 1)
        return fail(22);
    int32 img = defaultImage();
    if (s == ',') {
        const char* nv = value(kValueDelims, s);
        int32 n = 0;
        if (!toInt32(nv, n) || n < 1 || n > buffer().numImgs)
            return fail(28);
        img = n - 1;
    }
    if (req_.hdrFlags & HDR_PSEUDO)
        plane = GUN_R;
    const shortu band = req_.bandGiven ? req_.bands[0] : shortu(plane + 1);
    for (auto& b : req_.bands)
        b = 0;
    req_.bands[plane] = band;
    req_.bandCount = 1;
    req_.gun = plane;
    req_.gunGiven = true;
    req_.vslCtlm |= REQ_ONE_GUN;
    req_.imgIndex = img;
    return s;
}

char CommandLoop::tagStatic(char stop)
{
    req_.isStatic = true;
    if (stop != '=')
        return stop;
    int32 x = 0, y = 0;
    char s = '\0';
    if (intPair(kValueDelims, x, y, s) != PAIR_OK)
        return fail(4, "STATIC");
    if (x < 16 || y < 16)
        return fail(3);
    req_.staticX = x;
    req_.staticY = y;
    if (s != ',')
        return s;
    const char* open = value(kColorDelims, s);
    if (*open || s != '<')
        return fail(35);
    int32 rgb[3] = {0, 0, 0};
    for (int k = 0; k < 3; ++k) {
        const char* v = value(kColorDelims, s);
        if (!toInt32(v, rgb[k]) || rgb[k] < 0 || rgb[k] > 255 || s != (k < 2 ? ',' : '>'))
            return fail(35);
    }
    req_.staticColor = int32u(rgb[0]) << 16 | int32u(rgb[1]) << 8 | int32u(rgb[2]);
    return s;
}

// The key text between single quotes right after "=", verbatim (leading blanks
// and double quotes are part of the key).
bool CommandLoop::quotedKey(std::string& text)
{
    if (*cur_ != '\'')
        return false;
    const char* start = cur_ + 1;
    const char* close = start;
    while (*close && *close != '\n' && *close != '\'')
        ++close;
    if (*close != '\'')
        return false;
    text.assign(start, close);
    cur_ = const_cast<char*>(close) + 1;
    return text.size() <= kKeyTextMax;
}

// WIPE anywhere later on the line belongs to KEY: switch the mode on and blank
// the word so that it is not taken for a tag.
void CommandLoop::consumeWipe()
{
    char* p = cur_;
    while (*p && *p != '\n') {
        while (isBlankChar(*p))
            ++p;
        char* w = p;
        while (*p && *p != '\n' && !isBlankChar(*p))
            ++p;
        if (WORDEQ(std::string_view(w, std::size_t(p - w)), "WIPE")) {
            ldrState.wipe = true;
            std::memset(w, ' ', 4);
        }
    }
}

char CommandLoop::tagKey(char stop)
{
    if (stop != '=') {
        // Both keys go: a domain key left behind would keep shaping every key set later.
        fileCipher.clearKeys();
        wipeKeyText(ldrState.userKeyText);
        consumeWipe();
        return stop;
    }
    std::string text;
    if (!quotedKey(text))
        return fail(55);
    // Quoted, the text derives the same key in tav and in bulkseal.
    const std::string quoted = "'" + text + "'";
    if (SETUSERKEY(quoted.c_str()) != CRYPT_OK) {
        ldrState.userKeyText.clear();
        return fail(52);
    }
    ldrState.userKeyText = quoted;
    consumeWipe();
    return '\'';
}

char CommandLoop::tagDkey(char stop)
{
    std::string text;
    if (stop != '=' || !quotedKey(text))
        return fail(55);
    const std::string quoted = "'" + text + "'";
    if (SETDOMAINKEY(quoted.c_str()) != CRYPT_OK)
        return fail(52);
    return '\'';
}

char CommandLoop::tagDumph(char stop)
{
    req_.dumpH = true;
    return stop;
}

char CommandLoop::tagFlip(char stop)
{
    return flag(stop, REQ_FLIP);
}
char CommandLoop::tagMirr(char stop)
{
    return flag(stop, REQ_MIRR);
}
char CommandLoop::tagBswap(char stop)
{
    return flag(stop, REQ_BSWAP);
}
char CommandLoop::tagBgr(char stop)
{
    return flag(stop, REQ_BGR2RGB);
}
char CommandLoop::tagR180(char stop)
{
    return flag(stop, REQ_R180);
}
char CommandLoop::tagGfill(char stop)
{
    return flag(stop, REQ_GFILL);
}

char CommandLoop::tagXalpha(char stop)
{
    if ((req_.gunGiven && req_.gun == GUN_A) || req_.gif2alpha)
        return fail(7);
    req_.xalpha = true;
    return stop;
}

char CommandLoop::tagInit(char stop)
{
    if (stop != '=') {
        req_.init = true;
        return stop;
    }
    char s = '\0';
    const char* v = value(kPlainDelims, s);
    if (v[0] == 'f' || v[0] == 'F')
        req_.initF = true;
    else
        req_.init = true;
    return s;
}

char CommandLoop::tagAutob(char stop)
{
    bool on = true;
    char s = stop;
    if (stop == '=') {
        const char* v = value(kPlainDelims, s);
        if (req_.error)
            return '\0';
        on = v[0] == 't' || v[0] == 'T';
    }
    if (on && req_.gunGiven)
        return fail(48);
    ldrState.autob = on;
    return s;
}

char CommandLoop::tagSetb(char stop)
{
    int32 n = 1;
    char s = stop;
    if (stop == '=') {
        const char* v = value(kPlainDelims, s);
        if (!toInt32(v, n))
            return fail(42);
    }
    if (n < 1 || n > NUM_iBUFF)
        return fail(42);
    *current_ = static_cast<shortu>(n - 1);
    ldrState.autob = false;
    req_.imgIndex = buffer().curImg;
    return s;
}

char CommandLoop::tagCmd(char stop)
{
    if (script_ || stop != '=')
        return fail(16);
    char s = '\0';
    const char* v = value(kPlainDelims, s);
    if (*v == '\0')
        return fail(16);
    std::string path = std::strchr(v, '/') ? std::string(v) : GET_SPATH() + v;
    if (!ENV_EXPAND(path) || path.size() > TAV_PATH_MAX)
        return fail(13, path);
    script_.reset(openRegularFile(path));
    if (!script_)
        return fail(13, path);
    // The rest of a command string resumes after the script; the rest of a stream
    // line is not kept.
    if (fromString_)
        strCur_ = cur_;
    fromString_ = false;
    const int r = readScriptOrStream(line_);
    if (r == LINE_TOO_LONG)
        return '\0';
    if (r != LINE_OK) {
        closeScript();
        return fail(21);
    }
    autoInitPending_ = !req_.initF;
    cur_ = line_.data();
    echo(cur_);
    return ' '; // the script's first line is parsed in place of the rest of this
                // one
}

char CommandLoop::tagHdu(char stop)
{
    if (stop != '=')
        return fail(32);
    char s = '\0';
    const char* v = value(kPlainDelims, s);
    int32 n = 0;
    if (!toInt32(v, n) || n < 1 || n > 0xFFFF)
        return fail(32);
    req_.hdu = static_cast<shortu>(n);
    return s;
}

char CommandLoop::tagSfact(char stop)
{
    if (stop != '=')
        return fail(15);
    double x = 0, y = 0;
    char s = '\0';
    if (dblPair(kValueDelims, x, y, s) != PAIR_OK || !(x > 0.0) || x > 1.0 || !(y > 0.0) || y > 1.0)
        return fail(15);
    constexpr double kMinFactor = 0.0625;
    if (x < kMinFactor || y < kMinFactor) {
        LDR_ERROR(15); // a warning: the factor is raised and the load goes on
        if (x < kMinFactor)
            x = kMinFactor;
        if (y < kMinFactor)
            y = kMinFactor;
    }
    req_.xFactor = x;
    req_.yFactor = y;
    req_.deresLevel = 0;
    req_.vslCtlm &= ~(REQ_RESAMPLE_X | REQ_RESAMPLE_Y);
    if (x < 1.0)
        req_.vslCtlm |= REQ_RESAMPLE_X;
    if (y < 1.0)
        req_.vslCtlm |= REQ_RESAMPLE_Y;
    return s;
}

char CommandLoop::tagDeres(char stop)
{
    int32 n = 0;
    char s = stop;
    if (stop == '=') {
        const char* v = value(kPlainDelims, s);
        if (!toInt32(v, n))
            n = 0;
    }
    if (n < 1 || n > 4)
        return fail(37);
    req_.deresLevel = static_cast<shortu>(n);
    req_.xFactor = req_.yFactor = 1.0 / double(1 << n);
    req_.vslCtlm |= REQ_RESAMPLE_X | REQ_RESAMPLE_Y;
    return s;
}

char CommandLoop::tagHdr(char stop)
{
    if (stop != '=')
        return fail(12);
    char s = '\0';
    const char* first = value(kValueDelims, s);
    if (WORDEQ(first, "RESET")) {
        int mode = HDR_FULL;
        if (s == ',') {
            const char* m = value(kValueDelims, s);
            if (m[0] < '0' || m[0] > '2')
                return fail(12);
            mode = m[0] - '0';
        }
        SET_HDR_DEFAULT_RANGE(mode);
        req_.hdrGiven = true;
        return s;
    }
    int32u channels = 0;
    if (!hdrChannelsOf(first, channels))
        return fail(12);
    if (s != ',')
        return fail(12);
    int32u curve = 0;
    if (!hdrLookupWord(hdrCurveWords, value(kValueDelims, s), curve))
        return fail(12);
    if (curve == HDR_PSEUDO)
        channels = HDR_CH_R;
    if (s != ',')
        return fail(12);
    int32u range = 0;
    if (!hdrLookupWord(hdrRangeWords, value(kValueDelims, s), range))
        return fail(12);
    double p1 = 0, p2 = 0;
    if (range != HDR_RANGE_FULL) {
        if (s != ',')
            return fail(12);
        if (dblPair(kValueDelims, p1, p2, s) != PAIR_OK)
            return fail(12);
        if (range == HDR_RANGE_LOHI) {
            if (p1 == p2)
                return fail(12);
        } else if (p1 < 0.0 || p1 > 5.0 || p2 < 0.0 || p2 > 5.0) {
            return fail(12);
        }
    }
    req_.hdrFlags = curve | range;
    req_.hdrChannels = channels;
    req_.hdrGiven = true;
    hdrSet.tagFlags = curve | range;
    hdrSet.tagChannels = channels;
    hdrSet.tagP1 = p1;
    hdrSet.tagP2 = p2;
    hdrSet.tagGiven = true;
    return s;
}

char CommandLoop::setPath(char stop, const char* tag, bool (*setter)(std::string_view))
{
    if (stop != '=')
        return fail(4, tag);
    char s = '\0';
    const char* v = value(kPlainDelims, s);
    if (req_.error)
        return '\0';
    if (!setter(v))
        return fail(4, std::string(tag) + "=" + v);
    return s;
}

char CommandLoop::tagIpath(char stop)
{
    return setPath(stop, "IPATH", SET_IPATH);
}
char CommandLoop::tagSpath(char stop)
{
    return setPath(stop, "SPATH", SET_SPATH);
}
char CommandLoop::tagSvpath(char stop)
{
    return setPath(stop, "SVPATH", SET_SVPATH);
}
char CommandLoop::tagWpath(char stop)
{
    return setPath(stop, "WPATH", SET_WPATH);
}

char CommandLoop::tagGif2Alpha(char stop)
{
    if (ldrState.autob)
        return fail(48);
    if (req_.gunGiven && req_.gun != GUN_A)
        return fail(29, "GUN");
    if (req_.xalpha)
        return fail(7);
    if (req_.bandGiven && req_.bandCount > 1)
        return fail(22);
    int32 img = defaultImage();
    char s = stop;
    if (stop == '=') {
        const char* v = value(kPlainDelims, s);
        int32 n = 0;
        if (!toInt32(v, n) || n < 1 || n > buffer().numImgs)
            return fail(28);
        img = n - 1;
    }
    req_.gif2alpha = true;
    req_.gunGiven = true;
    req_.gun = GUN_A;
    for (auto& b : req_.bands)
        b = 0;
    req_.bands[GUN_A] = 4;
    req_.bandCount = 1;
    req_.vslCtlm |= REQ_ONE_GUN;
    req_.imgIndex = img;
    return s;
}

} // namespace

void setLoaderStream(std::FILE* in)
{
    streamOverride = in;
}

void setLoadExecHook(LoadExecFn fn)
{
    loadExec = fn ? fn : LOAD_EXEC;
}

shortu TAV_LOAD(bufdes* table, shortu* current, shortu source, const char* text)
{
    if (!table || !current || *current >= NUM_iBUFF)
        return TAV_INTERNAL;
    if (source == SRC_STRING) {
        if (!text || std::strlen(text) < 3) {
            LDR_ERROR(4, text ? text : "");
            return TAV_TO_LOADER;
        }
    } else if (source != SRC_STREAM) {
        LDR_ERROR(58);
        return TAV_TO_LOADER;
    }
    CommandLoop loop(table, current, source, text);
    return loop.run();
}
