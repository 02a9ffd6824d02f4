// Lexical routines shared by the loader's tag language, the defaults file, the
// menus and the prompts.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "tavtypes.h"

/// Longest command line a script or stream may hold (characters, newline
/// excluded).
constexpr std::size_t CMD_LINE_MAX = 255;

/// True for the blank characters (space, tab) that separate tokens.
inline bool isBlankChar(char c)
{
    return c == ' ' || c == '\t';
}

/// The text without the blanks, carriage returns and newlines around it.
inline std::string trimBlanks(const std::string& s)
{
    const std::size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos)
        return {};
    return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

/// Value of a hexadecimal digit (either case), or -1 for any other character.
inline int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

/// Number classifier: 0 not a number, 1 integer, 2 hexadecimal, 3 decimal with
/// one point.
int NUMCLASS(const char* text);

/// Tokenizer: returns the next token of the writable text at `cursor` and
/// advances the cursor. A token ends at one of `delims` (a blank in the set
/// stands for space and tab), a newline or the end; the delimiter is the stop
/// character and is replaced by the end of text (a blank stop followed by a
/// delimiter or newline takes that one instead). A token opening with a quote
/// that is not a delimiter runs to the equal quote on the same line; the stop
/// is then the quote. A backslash before a delimiter (or before a blank at the
/// start of a token) is dropped and the character kept. Stop '\0' means the end
/// of text.
char* NXTTOKEN(char*& cursor, const char* delims, char& stop);

/// Pair reader status codes.
enum : int { PAIR_OK = 0, PAIR_BAD_FIRST = -1, PAIR_BAD_SECOND = -2 };

/// Reads "a" or "a,b" as 32-bit integers (classifier 1 and in range); a single
/// value serves for both. Returns PAIR_OK or a PAIR_BAD_* code; `stop` is the
/// last token's stop.
int INT_PAIR(char*& cursor, const char* delims, int32& a, int32& b, char& stop);
/// As INT_PAIR for doubles (classifier 1 or 3).
int DBL_PAIR(char*& cursor, const char* delims, double& a, double& b, char& stop);

/// Converts an integer text (classifier 1, within 32 bits); false otherwise.
bool toInt32(const char* text, int32& out);
/// Converts a decimal text (classifier 1 or 3); false otherwise.
bool toDouble(const char* text, double& out);

/// Whole-word compare: same length and equal without regard to letter case.
bool WORDEQ(std::string_view a, std::string_view b);

/// Line reader results.
enum : int { LINE_EOF = 0, LINE_OK = 1, LINE_TOO_LONG = -1 };

/// Reads the next command line of a script or stream: the newline (and a
/// carriage return before it) removed, empty and "#" comment lines skipped, the
/// line cut at the first "#" after a blank, trailing blanks removed. A line
/// still longer than CMD_LINE_MAX is consumed whole and refused with
/// LINE_TOO_LONG; it is never split.
int GET_CMDLINE(std::FILE* in, std::string& line);
