// Command-line helpers shared by tav and bulkseal: the option lookup with its
// consumed-argument mask, and the decisions tav's entry takes on its arguments.
#pragma once

#include <string>
#include <string_view>

/// Only the first seven arguments after the program name are looked at.
constexpr int OPT_SCAN_LIMIT = 8;

/// Finds option `opt` among argv[1..min(argc,8)-1], skipping arguments already marked in
/// `consumed`. Returns the index of the argument taken, or 0. `value` is cleared first and
/// receives the option's value when `takesValue` (next argument not starting with '-', or
/// the text after the option name when the argument begins with it: -cd/data/).
int optLookup(int argc, const char* const* argv, std::string_view opt, bool takesValue,
              std::string& value, unsigned& consumed);

/// As optLookup, but a value the number classifier does not accept makes the lookup fail.
int optLookupNum(int argc, const char* const* argv, std::string_view opt, std::string& value,
                 unsigned& consumed);

/// The usage text printed for -v / -h.
std::string usageText();

/// True when the first argument asks for the usage text (-v or -h, any letter case).
bool wantsUsage(int argc, const char* const* argv);

/// Classification of tav's last argument.
enum class LastArg {
    None,       ///< no argument to classify
    Image,      ///< an existing regular file: load and show it
    Script,     ///< a regular file whose path holds ".cmd": error 23
    TooLong,    ///< a regular file with a path of 256 characters or more: error 10
    Unquotable, ///< a path holding both quote characters: error 10
    Missing,    ///< not a file and not part of the option names: error 10
    OptionWord, ///< not a file but part of the option names: nothing to report
    OptionValue ///< the value of -c, -cd or -hdr: neither a file nor an error
};

/// Decision on the last argument; `isRegularFile` is the stat result for that path.
LastArg classifyLastArg(int argc, const char* const* argv, bool isRegularFile);

/// The i= command built for an image path: i="path" (or i='path' when the path holds a
/// double quote), a blank and a newline. Empty when the path holds both kinds of quote.
std::string buildImageCommand(std::string_view path);

/// HDR range mode of -hdr: med3sd 0, mean3sd 1, full 2 (whole word, any case); else 0.
int hdrModeFromWord(std::string_view word);
