#include "calcKernels.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "lexical.h"
#include "vectorClones.h"

// The line loops run over every pixel of a whole buffer in GLOBAL scope: they get the AVX2
// variant too.

namespace {

const char* const errorTexts[30] = {
    "***> Undefined command token(s)",
    "***> Negative constant not supported",
    "***> Invalid constant",
    "***> Operator expected",
    "***> 'PUT' operator [:] missing or syntax error",
    "***> Bit shift must be a constant; 1-31",
    "***> Gun [.,R,G,B,A,@] or constant expected",
    "***> Cannot use same accumulator twice in a single command",
    "***> Cannot read empty accumulator",
    "***> Accumulator header corrupt; cannot read",
    "***> Ancillary not enabled or Transform LUTs are active",
    "***> Destination gun(s) must follow 'PUT' operator [:]",
    "***> Operation on RGBA bitfield with grayscale undefined",
    "***> Operators [+-*/><] undefined for RGBA bitfield",
    "***> Too many destination guns",
    "***> Accumulator designator [@1,@2,@3,@4] expected",
    "***> Negative or invalid (r,g,b) color constant",
    "***> Gun or constant expected",
    "***> WARNING: Global Scope! Operations irreversible!",
    "***> Global Scope OFF. Operations to FG_AOI only",
    "***> Input accumulator requires color gun [.RGBA] designator",
    "***> Accumulator dimensions must match FG_AOI or Buffer",
    "***> Cannot designate color gun on output accumulator",
    "***> ALPHA plane requires MAPPED or GLOBAL mode",
    "***> Gun or accumulator expected after PUT [:] operator",
    "***> Expected: =true -or- =false",
    "***> Requested mode already active. Set =false to revert",
    "***> FG AOI does not Map to iBUFF",
    "***> MAPPED mode does not support Zoomed image",
    "***> CALC Severe; RenderPix class create fail",
};

const char* const operNames[OP_COUNT] = {
    "ADD  ", "SUB  ", "MUL  ", "DIV  ", "AND  ", "OR   ", "Not &", "Not |", "XOR  ", "GT   ",
    "LT   ", "EQ   ", "NEQ  ", "LE   ", "GE   ", "ZSET ", "NZSET", "<<   ", ">>   "};

constexpr int gunShift[4] = {16, 8, 0, 24}; // red, green, blue, alpha bytes of a pixel
constexpr std::string_view splitChars = "rgbaRGBA.@+-*/&|^:!><={}(,)";

bool isSplit(char c)
{
    return splitChars.find(c) != std::string_view::npos;
}
bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}
int gunOfLetter(char c)
{
    switch (c) {
    case 'r':
    case 'R':
        return 0;
    case 'g':
    case 'G':
        return 1;
    case 'b':
    case 'B':
        return 2;
    case 'a':
    case 'A':
        return 3;
    case '.':
        return CALC_PIXEL;
    default:
        return -1;
    }
}

// A number at s[i]: decimal, or hexadecimal after "0x" (its digits may be the letters a and b,
// which elsewhere name guns, so they are taken here before the line is split at them). The
// word must end at a split character, a blank or the end. CALC_OK with the value (at most
// 2^31 - 1), CALC_E_NEGATIVE for a larger one, CALC_E_TOKEN for anything else; i moves past
// the word either way.
int32 readNumber(std::string_view s, std::size_t& i, int32u& value)
{
    std::uint64_t v = 0;
    bool any = false;
    if (s[i] == '0' && i + 1 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        i += 2;
        for (int d; i < s.size() && (d = hexDigit(s[i])) >= 0; ++i, any = true)
            v = v > 0xFFFFFFFFull ? v : v * 16 + std::uint64_t(d);
    } else {
        for (; i < s.size() && isDigit(s[i]); ++i, any = true)
            v = v > 0xFFFFFFFFull ? v : v * 10 + std::uint64_t(s[i] - '0');
    }
    if (i < s.size() && !isSplit(s[i]) && !isBlank(s[i])) {
        while (i < s.size() && !isSplit(s[i]) && !isBlank(s[i]))
            ++i;
        return CALC_E_TOKEN;
    }
    if (!any)
        return CALC_E_TOKEN;
    if (v > 0x7FFFFFFFull)
        return CALC_E_NEGATIVE;
    value = int32u(v);
    return CALC_OK;
}

void skipBlanks(std::string_view s, std::size_t& i)
{
    while (i < s.size() && isBlank(s[i]))
        ++i;
}

// "(r,g,b[,a])" at s[i] == '(' into a packed pixel; alpha is 0 unless given.
int32 readColour(std::string_view s, std::size_t& i, int32u& value)
{
    ++i;
    int32u part[4] = {0, 0, 0, 0};
    int count = 0;
    for (;;) {
        skipBlanks(s, i);
        if (i >= s.size() || !isDigit(s[i]) || count == 4)
            return CALC_E_COLOUR;
        int32u v = 0;
        if (readNumber(s, i, v) != CALC_OK || v > 255)
            return CALC_E_COLOUR;
        part[count++] = v;
        skipBlanks(s, i);
        if (i < s.size() && s[i] == ',') {
            ++i;
            continue;
        }
        if (i < s.size() && s[i] == ')' && count >= 3) {
            ++i;
            break;
        }
        return CALC_E_COLOUR;
    }
    value = part[0] << gunShift[0] | part[1] << gunShift[1] | part[2] << gunShift[2] |
            part[3] << gunShift[3];
    return CALC_OK;
}

bool isOperand(const calcToken& t)
{
    return t.kind == CT_CONST || t.kind == CT_COLOUR || t.kind == CT_GUN || t.kind == CT_ACC;
}
bool isConstant(const calcToken& t)
{
    return t.kind == CT_CONST || t.kind == CT_COLOUR;
}

} // namespace

const char* calcErrorText(int32 err)
{
    return err >= 0 && err < 30 ? errorTexts[err] : "";
}

const char* calcOperName(int op)
{
    return op >= 0 && op < OP_COUNT ? operNames[op] : "-error-";
}

int32 calcTokenize(std::string_view s, const calcContext& ctx, calcCmd* cmd)
{
    cmd->n = 0;
    bool seenPut = false;
    bool accNamed[4] = {};
    std::size_t i = 0;
    for (;;) {
        skipBlanks(s, i);
        if (i >= s.size())
            return CALC_OK;
        // The token list holds 32: a 33rd is a malformed command, never written past the end.
        if (cmd->n == CALC_MAX_TOKENS)
            return CALC_E_PUT;
        calcToken t;
        const char c = s[i];
        if (isDigit(c)) {
            const int32 rc = readNumber(s, i, t.value);
            if (rc != CALC_OK)
                return rc;
            t.kind = CT_CONST;
        } else if (c == '(') {
            if (readColour(s, i, t.value) != CALC_OK)
                return CALC_E_COLOUR;
            t.kind = CT_COLOUR;
            t.bitfield = true;
        } else if (gunOfLetter(c) >= 0) {
            t.kind = CT_GUN;
            t.gun = charu(gunOfLetter(c));
            t.bitfield = t.gun == CALC_PIXEL;
            if (t.gun == 3 && !ctx.alphaOk)
                return CALC_E_ALPHA;
            ++i;
        } else if (c == '@') {
            ++i;
            skipBlanks(s, i);
            if (i >= s.size() || s[i] < '1' || s[i] > '4' ||
                (i + 1 < s.size() && isDigit(s[i + 1])))
                return CALC_E_ACC_NUMBER;
            t.kind = CT_ACC;
            t.acc = charu(s[i] - '1');
            ++i;
            if (accNamed[t.acc])
                return CALC_E_ACC_TWICE;
            accNamed[t.acc] = true;
            skipBlanks(s, i);
            const int letter = i < s.size() ? gunOfLetter(s[i]) : -1;
            if (seenPut) {
                if (letter >= 0)
                    return CALC_E_ACC_OUT_GUN;
                t.output = true;
            } else {
                const calcAccInfo& a = ctx.acc[t.acc];
                if (a.state == calcAccInfo::ACC_EMPTY)
                    return CALC_E_ACC_EMPTY;
                if (a.state != calcAccInfo::ACC_READY)
                    return CALC_E_ACC_CORRUPT;
                if (letter < 0)
                    return CALC_E_ACC_GUN;
                // A single-band accumulator gives its values whatever the letter; the whole
                // pixel needs packed pixels.
                if (letter == CALC_PIXEL ? a.nBands != 4 : (a.nBands != 1 && a.nBands != 4))
                    return CALC_E_ACC_CORRUPT;
                t.gun = charu(letter);
                t.packed = a.nBands == 4;
                t.bitfield = letter == CALC_PIXEL;
                ++i;
            }
        } else if (c == ':') {
            if (seenPut)
                return CALC_E_PUT;
            seenPut = true;
            t.kind = CT_PUT;
            ++i;
        } else {
            t.kind = CT_OPER;
            const char next = i + 1 < s.size() ? s[i + 1] : '\0';
            int len = 1;
            switch (c) {
            case '+':
                t.op = OP_ADD;
                break;
            case '-':
                t.op = OP_SUB;
                break;
            case '*':
                t.op = OP_MUL;
                break;
            case '/':
                t.op = OP_DIV;
                break;
            case '&':
                t.op = OP_AND;
                break;
            case '|':
                t.op = OP_OR;
                break;
            case '^':
                t.op = OP_XOR;
                break;
            case '=':
                t.op = OP_EQ;
                break;
            case '{':
                t.op = OP_ZSET;
                break;
            case '}':
                t.op = OP_NZSET;
                break;
            case '!':
                t.op = next == '&' ? OP_NAND : next == '|' ? OP_NOR : OP_NEQ;
                len = (next == '&' || next == '|' || next == '=') ? 2 : 1;
                break;
            case '<':
                t.op = next == '<' ? OP_SHL : next == '=' ? OP_LE : OP_LT;
                len = (next == '<' || next == '=') ? 2 : 1;
                break;
            case '>':
                t.op = next == '>' ? OP_SHR : next == '=' ? OP_GE : OP_GT;
                len = (next == '>' || next == '=') ? 2 : 1;
                break;
            default:
                // ',' and ')' outside a colour constant, and any other text.
                return CALC_E_TOKEN;
            }
            i += std::size_t(len);
        }
        cmd->tok[cmd->n++] = t;
    }
}

int32 CHECK_CALC_SYNTAX(calcCmd* cmd, const calcContext& ctx)
{
    calcToken* tok = cmd->tok;
    const int n = cmd->n;
    if (n < 3)
        return CALC_E_PUT;
    if (!isOperand(tok[0]))
        return CALC_E_OPERAND;
    bool bitfield = tok[0].bitfield;
    int i = 1;
    while (i < n && tok[i].kind != CT_PUT) {
        if (!isOperand(tok[i]))
            return CALC_E_OPERAND;
        if (i == 1 && isConstant(tok[0]) && isConstant(tok[1]))
            return CALC_E_CONSTANT;
        bitfield = bitfield || tok[i].bitfield;
        if (i + 1 >= n || tok[i + 1].kind != CT_OPER)
            return CALC_E_OPERATOR;
        const charu op = tok[i + 1].op;
        if ((op == OP_SHL || op == OP_SHR) && !(tok[i].kind == CT_CONST && tok[i].value <= 31))
            return CALC_E_SHIFT;
        if (bitfield && (op == OP_ADD || op == OP_SUB || op == OP_MUL || op == OP_DIV ||
                         op == OP_LT || op == OP_GT || op == OP_LE || op == OP_GE))
            return CALC_E_BITFIELD_OP;
        i += 2;
    }
    if (i >= n)
        return CALC_E_PUT;
    if (++i >= n)
        return CALC_E_NO_DEST;
    int singles = 0;
    for (int j = i; j < n; ++j) {
        calcToken& t = tok[j];
        if (t.kind == CT_GUN && t.gun == CALC_PIXEL) {
            if (j != n - 1)
                return CALC_E_TOO_MANY;
            if (!bitfield)
                return CALC_E_GREY;
        } else if (t.kind == CT_GUN) {
            if (++singles > 5)
                return CALC_E_TOO_MANY;
        } else if (t.kind == CT_ACC) {
            // An accumulator takes the line and ends the list: a destination after it would
            // never be written.
            if (j != n - 1)
                return CALC_E_TOO_MANY;
            t.bitfield = bitfield;
        } else {
            return CALC_E_DEST;
        }
    }
    for (int j = 0; j < i; ++j) {
        const calcToken& t = tok[j];
        if (t.kind != CT_ACC)
            continue;
        const calcAccInfo& a = ctx.acc[t.acc];
        if (a.cols != ctx.cols || a.rows != ctx.rows)
            return CALC_E_ACC_SIZE;
        if (bitfield && !t.packed)
            return CALC_E_GREY;
    }
    return CALC_OK;
}

calcTargets calcTargetsOf(const calcCmd& cmd)
{
    calcTargets out;
    bool afterPut = false;
    for (int k = 0; k < cmd.n; ++k) {
        const calcToken& t = cmd.tok[k];
        if (t.kind == CT_PUT)
            afterPut = true;
        else if (t.kind == CT_ACC && !afterPut)
            out.inAcc[t.acc] = true;
        else if (t.kind == CT_GUN && !afterPut)
            out.reads = true;
        else if (t.kind == CT_ACC) {
            out.outAcc = t.acc;
            out.outBitfield = t.bitfield;
        } else if (t.kind == CT_GUN && afterPut) {
            out.pixels = true;
            out.alpha = out.alpha || t.gun == 3 || t.gun == CALC_PIXEL;
        }
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Evaluation: each operand is loaded as a whole line (or stays a single value), then one tight
// loop per operator runs over the line; the operator is chosen once per line, not per pixel.

namespace {

// An operand: n values at p, or the single value c when p is null.
struct operandLine {
    const int32u* p;
    int32u c;
};

// Unsigned division by a constant d >= 2 as a multiply and shifts (exact for every 32-bit
// dividend): the vector unit has no integer divide.
struct udivMagic {
    int32u m;
    int sh;
};
udivMagic magicFor(int32u d)
{
    int l = 0;
    while ((std::uint64_t(1) << l) < d)
        ++l;
    const std::uint64_t m = ((std::uint64_t(1) << 32) * ((std::uint64_t(1) << l) - d)) / d + 1;
    return udivMagic{int32u(m), l - 1};
}

inline int32u sgnAbs(int32u v)
{
    return int32(v) < 0 ? 0u - v : v;
}

template <typename F>
__attribute__((always_inline)) inline void applyLine(int32u* __restrict v, operandLine w,
                                                     std::size_t n, F f)
{
    if (w.p) {
        const int32u* __restrict q = w.p;
        for (std::size_t i = 0; i < n; ++i)
            v[i] = f(v[i], q[i]);
    } else {
        const int32u c = w.c;
        for (std::size_t i = 0; i < n; ++i)
            v[i] = f(v[i], c);
    }
}

// Signed division, truncating toward zero, of the running value by a positive constant.
__attribute__((always_inline)) inline void divConstant(int32u* __restrict v, int32u d,
                                                       std::size_t n)
{
    if (d == 1)
        return;
    const udivMagic mg = magicFor(d);
    for (std::size_t i = 0; i < n; ++i) {
        const int32u x = v[i];
        const int32u a = sgnAbs(x);
        const int32u t = int32u((std::uint64_t(a) * mg.m) >> 32);
        const int32u q = (t + ((a - t) >> 1)) >> mg.sh;
        v[i] = int32(x) < 0 ? 0u - q : q;
    }
}

// Every value and operand is a 32-bit word. Sums, differences and products wrap; where the
// order of values matters (comparisons, the larger of two, the sign of a divisor, the right
// shift) a word is read as a signed number, so that negative values from an accumulator
// behave as numbers. Nothing here can overflow a signed type.
TAV_VECTOR_CLONES
void applyOper(int op, bool absMode, int32u* v, operandLine w, std::size_t n)
{
    switch (op) {
    case OP_ADD:
        applyLine(v, w, n, [](int32u a, int32u b) { return a + b; });
        break;
    case OP_SUB:
        if (absMode)
            applyLine(v, w, n,
                      [](int32u a, int32u b) { return int32(a) > int32(b) ? a - b : b - a; });
        else
            applyLine(v, w, n, [](int32u a, int32u b) { return a - b; });
        break;
    case OP_MUL:
        applyLine(v, w, n, [](int32u a, int32u b) { return a * b; });
        break;
    case OP_DIV:
        if (!w.p && int32(w.c) > 0) {
            divConstant(v, w.c, n);
        } else {
            // A divisor that is not positive gives all ones; |dividend| < 2^31 and a positive
            // divisor make the double quotient exact, and its truncation the integer one.
            applyLine(v, w, n, [](int32u a, int32u b) {
                const int32 d = int32(b);
                const double q = double(int32(a)) / double(d > 0 ? d : 1);
                return d > 0 ? int32u(int32(q)) : 0xFFFFFFFFu;
            });
        }
        break;
    case OP_AND:
        applyLine(v, w, n, [](int32u a, int32u b) { return a & b; });
        break;
    case OP_OR:
        applyLine(v, w, n, [](int32u a, int32u b) { return a | b; });
        break;
    case OP_NAND:
        applyLine(v, w, n, [](int32u a, int32u b) { return ~(a & b); });
        break;
    case OP_NOR:
        applyLine(v, w, n, [](int32u a, int32u b) { return ~(a | b); });
        break;
    case OP_XOR:
        applyLine(v, w, n, [](int32u a, int32u b) { return a ^ b; });
        break;
    case OP_GT:
        applyLine(v, w, n, [](int32u a, int32u b) { return int32(a) > int32(b) ? a : 0u; });
        break;
    case OP_LT:
        applyLine(v, w, n, [](int32u a, int32u b) { return int32(a) < int32(b) ? a : 0u; });
        break;
    case OP_EQ:
        applyLine(v, w, n, [](int32u a, int32u b) { return a == b ? a : 0u; });
        break;
    case OP_NEQ:
        applyLine(v, w, n, [](int32u a, int32u b) { return a != b ? a : 0u; });
        break;
    case OP_LE:
        applyLine(v, w, n, [](int32u a, int32u b) { return int32(a) <= int32(b) ? a : 0u; });
        break;
    case OP_GE:
        applyLine(v, w, n, [](int32u a, int32u b) { return int32(a) >= int32(b) ? a : 0u; });
        break;
    case OP_ZSET:
        applyLine(v, w, n, [](int32u a, int32u b) { return a == 0 ? b : a; });
        break;
    case OP_NZSET:
        applyLine(v, w, n, [](int32u a, int32u b) { return a != 0 ? b : a; });
        break;
    case OP_SHL:
        applyLine(v, w, n, [](int32u a, int32u b) { return a << (b & 31); });
        break;
    case OP_SHR:
        applyLine(v, w, n, [](int32u a, int32u b) { return int32u(int32(a) >> (b & 31)); });
        break;
    default:
        break;
    }
}

TAV_VECTOR_CLONES
void extractByte(const int32u* __restrict src, int32u* __restrict dst, int shift, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        dst[i] = (src[i] >> shift) & 0xFFu;
}

TAV_VECTOR_CLONES
void storeByte(int32u* __restrict pix, const int32u* __restrict v, int shift, std::size_t n)
{
    const int32u keep = ~(0xFFu << shift);
    for (std::size_t i = 0; i < n; ++i)
        pix[i] = (pix[i] & keep) | ((v[i] & 0xFFu) << shift);
}

// An operand token as a line: a constant stays one value; whole pixels and single-band
// accumulator values are used where they lie; a gun's bytes are gathered into scratch.
operandLine loadOperand(const calcToken& t, const calcLine& line, int32u* scratch)
{
    switch (t.kind) {
    case CT_CONST:
    case CT_COLOUR:
        return operandLine{nullptr, t.value};
    case CT_GUN:
        if (t.gun == CALC_PIXEL)
            return operandLine{line.pix, 0};
        extractByte(line.pix, scratch, gunShift[t.gun], line.n);
        return operandLine{scratch, 0};
    default: {
        const int32u* a = line.accIn[t.acc];
        if (!t.packed || t.gun == CALC_PIXEL)
            return operandLine{a, 0};
        extractByte(a, scratch, gunShift[t.gun], line.n);
        return operandLine{scratch, 0};
    }
    }
}

} // namespace

void calcEvalLine(const calcCmd& cmd, bool absMode, const calcLine& line, int32u* value,
                  int32u* operand, calcTrace* trace)
{
    const std::size_t n = line.n;
    if (n == 0 || cmd.n < 3)
        return;
    const bool tracing = trace && trace->col < n;
    if (tracing) {
        trace->before = line.pix[trace->col];
        trace->steps = 0;
    }
    const calcToken* tok = cmd.tok;
    const operandLine first = loadOperand(tok[0], line, value);
    if (!first.p) {
        for (std::size_t i = 0; i < n; ++i)
            value[i] = first.c;
    } else if (first.p != value) {
        std::memcpy(value, first.p, n * sizeof *value);
    }
    int k = 1;
    for (; k + 1 < cmd.n && tok[k].kind != CT_PUT; k += 2) {
        const operandLine w = loadOperand(tok[k], line, operand);
        const charu op = tok[k + 1].op;
        if (tracing && trace->steps < int(CALC_MAX_TOKENS / 2)) {
            auto& st = trace->step[trace->steps];
            st.value = value[trace->col];
            st.operand = w.p ? w.p[trace->col] : w.c;
            st.op = op;
        }
        applyOper(op, absMode, value, w, n);
        if (tracing && trace->steps < int(CALC_MAX_TOKENS / 2))
            trace->step[trace->steps++].result = value[trace->col];
    }
    // Destinations in order; an accumulator or the whole pixel ends the list.
    for (++k; k < cmd.n; ++k) {
        const calcToken& t = tok[k];
        if (t.kind == CT_ACC) {
            if (line.accOut)
                std::memcpy(line.accOut, value, n * sizeof *value);
            break;
        }
        if (t.kind != CT_GUN)
            continue;
        if (t.gun == CALC_PIXEL) {
            std::memcpy(line.pix, value, n * sizeof *value);
            break;
        }
        storeByte(line.pix, value, gunShift[t.gun], n);
    }
    if (tracing)
        trace->after = line.pix[trace->col];
}

void calcFloatsToInts(const float* src, int32u* dst, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        const float f = src[i];
        int32 v;
        if (std::isnan(f))
            v = 0;
        else if (f >= 2147483647.0f)
            v = 2147483647;
        else if (f <= -2147483648.0f)
            v = -2147483647 - 1;
        else
            v = int32(f);
        dst[i] = int32u(v);
    }
}
