// The image calculator's pure part: a typed line split into at most 32 tokens, the syntax
// check of a calculation, and its left-to-right evaluation over one line of values at a time.
// The front end gathers what the tokens need to know about the scope and the user
// accumulators, reads and writes the lines; nothing here touches a folio, the view or X.
#pragma once

#include <cstddef>
#include <string_view>

#include "tavtypes.h"

constexpr int CALC_MAX_TOKENS = 32; ///< tokens of one command
constexpr int CALC_MAX_LINE = 80;   ///< characters read after "calc> "
constexpr charu CALC_PIXEL = 4;     ///< "gun" of the whole RGBA pixel (".")

/// Error numbers of the calculator; calcErrorText gives each one's text. CALC_OK is no error.
enum : int32 {
    CALC_OK = -1,
    CALC_E_UNDEFINED = 0,    ///< a word that is no command and no calculation
    CALC_E_NEGATIVE = 1,     ///< a number that does not fit a non-negative 32-bit signed integer
    CALC_E_CONSTANT = 2,     ///< a constant straight after the leading constant
    CALC_E_OPERATOR = 3,     ///< an operator was expected
    CALC_E_PUT = 4,          ///< ":" missing, twice, or too many tokens
    CALC_E_SHIFT = 5,        ///< a shift by anything but a constant of at most 31
    CALC_E_OPERAND = 6,      ///< an operand was expected
    CALC_E_ACC_TWICE = 7,    ///< one accumulator named twice
    CALC_E_ACC_EMPTY = 8,    ///< an input accumulator holds nothing
    CALC_E_ACC_CORRUPT = 9,  ///< an input accumulator's header or data cannot be read as such
    CALC_E_ANCIL = 10,       ///< ANCIL without the ancillary display or with transform LUTs
    CALC_E_DEST = 11,        ///< a destination that is no gun and no accumulator
    CALC_E_GREY = 12,        ///< bitfield and grey values mixed where that is undefined
    CALC_E_BITFIELD_OP = 13, ///< an arithmetic or ordering operator on a bitfield
    CALC_E_TOO_MANY = 14,    ///< too many destinations, or one after a closing destination
    CALC_E_ACC_NUMBER = 15,  ///< "@" not followed by 1-4
    CALC_E_COLOUR = 16,      ///< a malformed colour constant
    CALC_E_TOKEN = 17,       ///< text that is no number
    CALC_E_GLOBAL = 18,      ///< UNDO in GLOBAL or MAPPED scope
    CALC_E_GLOBAL_OFF = 19,
    CALC_E_ACC_GUN = 20,     ///< an input accumulator without its gun letter
    CALC_E_ACC_SIZE = 21,    ///< an input accumulator of another size than the scope
    CALC_E_ACC_OUT_GUN = 22, ///< a gun letter after an output accumulator
    CALC_E_ALPHA = 23,       ///< the alpha gun in the display scope
    CALC_E_NO_DEST = 24,     ///< nothing after ":"
    CALC_E_TRUE_FALSE = 25,  ///< a mode switched on that is already on
    CALC_E_MODE_ACTIVE = 26, ///< a scope switched on that is already on
    CALC_E_NO_MAP = 27,      ///< the FG AOI shows no part of the iBUFF
    CALC_E_ZOOMED = 28,      ///< MAPPED scope on a zoomed view
    CALC_E_RENDER = 29       ///< a render object could not be made
};
/// The text of an error number ("***> ..."); an empty text for numbers outside 0-29.
const char* calcErrorText(int32 err);

/// Kinds of token.
enum : charu { CT_CONST, CT_COLOUR, CT_GUN, CT_ACC, CT_OPER, CT_PUT };

/// Operator codes, in the order of their debug names.
enum : charu {
    OP_ADD,
    OP_SUB,
    OP_MUL,
    OP_DIV,
    OP_AND,
    OP_OR,
    OP_NAND,
    OP_NOR,
    OP_XOR,
    OP_GT,
    OP_LT,
    OP_EQ,
    OP_NEQ,
    OP_LE,
    OP_GE,
    OP_ZSET,
    OP_NZSET,
    OP_SHL,
    OP_SHR,
    OP_COUNT
};
/// Five-character debug name of an operator ("ADD  " ... ">>   "), "-error-" for others.
const char* calcOperName(int op);

/// One token.
struct calcToken {
    charu kind = CT_CONST;
    charu gun = 0;         ///< CT_GUN: 0-3 or CALC_PIXEL; input CT_ACC: the letter after it
    charu acc = 0;         ///< CT_ACC: accumulator 0-3 (@1-@4)
    charu op = 0;          ///< CT_OPER: operator code
    bool output = false;   ///< CT_ACC: named after ":"
    bool bitfield = false; ///< an RGBA bitfield: colour constant, ".", "@N." or such an output
    bool packed = false;   ///< input CT_ACC: the accumulator holds packed RGBA pixels
    int32u value = 0;      ///< CT_CONST, CT_COLOUR: the value
};

/// A tokenised command.
struct calcCmd {
    calcToken tok[CALC_MAX_TOKENS];
    int n = 0;
};

/// What the tokens may ask of one user accumulator.
struct calcAccInfo {
    /// ACC_EMPTY: no header; ACC_BAD: the header or the data behind it cannot be read as an
    /// accumulator; ACC_READY: readable, with the fields below.
    enum : charu { ACC_EMPTY, ACC_BAD, ACC_READY } state = ACC_EMPTY;
    int nBands = 0;
    int32u cols = 0, rows = 0;
};

/// What a calculation is checked against: the scope and the user accumulators.
struct calcContext {
    bool alphaOk = false; ///< the alpha gun may be used (GLOBAL or MAPPED scope)
    int32u cols = 0, rows = 0;
    calcAccInfo acc[4];
};

/// Splits a calculation into tokens. CALC_OK or the error number.
int32 calcTokenize(std::string_view line, const calcContext& ctx, calcCmd* cmd);
/// Checks the token order of a calculation and marks an output accumulator as a bitfield when
/// the command has a bitfield operand. CALC_OK or the error number.
int32 CHECK_CALC_SYNTAX(calcCmd* cmd, const calcContext& ctx);

/// What a checked calculation writes.
struct calcTargets {
    bool reads = false;  ///< guns or whole pixels of the scope are operands
    bool pixels = false; ///< guns or whole pixels of the scope are written
    bool alpha = false;  ///< the alpha gun (or whole pixels)
    int outAcc = -1;     ///< the output accumulator 0-3, -1 none
    bool outBitfield = false;
    bool inAcc[4] = {}; ///< accumulators read
};
calcTargets calcTargetsOf(const calcCmd& cmd);

/// The values of one line: the scope's pixels and the accumulators' values.
struct calcLine {
    int32u* pix = nullptr; ///< n pixels; destination guns and pixels are written here
    std::size_t n = 0;
    const int32u* accIn[4] = {}; ///< each input accumulator's n values (packed or single-band)
    int32u* accOut = nullptr;    ///< n values for the output accumulator
};

/// The value, operand and result of each operator at one column, and the pixel there before
/// and after (debug output).
struct calcTrace {
    std::size_t col = 0;
    int32u before = 0, after = 0;
    int steps = 0;
    struct step {
        int32u value, operand, result;
        charu op;
    } step[CALC_MAX_TOKENS / 2];
};

/// Evaluates a checked command over one line, left to right; absMode makes SUB the larger
/// minus the smaller. value and operand are scratch lines of at least line.n values.
void calcEvalLine(const calcCmd& cmd, bool absMode, const calcLine& line, int32u* value,
                  int32u* operand, calcTrace* trace);

/// Float samples of an accumulator written from an sBUFF as integers: truncated toward zero,
/// saturated to the signed 32-bit range, NaN as 0.
void calcFloatsToInts(const float* src, int32u* dst, std::size_t n);
