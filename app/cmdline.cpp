#include "cmdline.h"

#include <algorithm>
#include <cstring>

#include "lexical.h"

namespace {

bool isConsumed(unsigned consumed, int i)
{
    return (consumed >> i) & 1u;
}

// The option names written one after another: a last argument that is a piece of this
// text (a mistyped option, say) is not reported as a missing file.
constexpr std::string_view kOptionNames = "-v-h-dmax-dmin-cd-hdr";

bool eqNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

int optLookup(int argc, const char* const* argv, std::string_view opt, bool takesValue,
              std::string& value, unsigned& consumed)
{
    value.clear();
    const int limit = std::min(argc, OPT_SCAN_LIMIT);
    for (int i = 1; i < limit; ++i) {
        if (isConsumed(consumed, i) || !argv[i])
            continue;
        std::string_view arg = argv[i];
        if (arg == opt) {
            consumed |= 1u << i;
            if (takesValue && i + 1 < limit && !isConsumed(consumed, i + 1) && argv[i + 1] &&
                argv[i + 1][0] != '-') {
                consumed |= 1u << (i + 1);
                value = argv[i + 1];
            }
            return i;
        }
        // The attached form counts only when the argument begins with the option name:
        // "-c i=/x-cd.png" must not hand the command to -cd.
        if (takesValue && arg.size() > opt.size() && arg.substr(0, opt.size()) == opt) {
            consumed |= 1u << i;
            value = std::string(arg.substr(opt.size()));
            return i;
        }
    }
    return 0;
}

int optLookupNum(int argc, const char* const* argv, std::string_view opt, std::string& value,
                 unsigned& consumed)
{
    unsigned trial = consumed;
    int i = optLookup(argc, argv, opt, true, value, trial);
    if (i == 0 || NUMCLASS(value.c_str()) == 0) {
        value.clear();
        return 0;
    }
    consumed = trial;
    return i;
}

std::string usageText()
{
    return "\n\n"
           "tav - image exploitation workstation\n"
           "Use: tav                         < display Loader GUI      >\n"
           "     tav /path/imageName         < load & display image    >\n"
           "     tav -c \"command string\"     < loader command string   >\n"
           "     tav -cd [directory path]    < set local | file path   >\n"
           "     tav -dmin or -dmax          < Display: minimum | full >\n"
           "     tav -hdr (med3sd | mean3sd | full)  < HDR scaling     >\n"
           "     tav  <  file.cmd            < loader batch commands   >\n"
           "     yourScript | tav            < alternate loader GUI    >\n"
           "\n";
}

bool wantsUsage(int argc, const char* const* argv)
{
    if (argc < 2 || !argv[1])
        return false;
    return eqNoCase(argv[1], "-v") || eqNoCase(argv[1], "-h");
}

LastArg classifyLastArg(int argc, const char* const* argv, bool isRegularFile)
{
    if (argc < 2 || !argv[argc - 1])
        return LastArg::None;
    std::string_view last = argv[argc - 1];
    if (isRegularFile) {
        if (last.find(".cmd") != std::string_view::npos)
            return LastArg::Script;
        if (last.size() >= 256)
            return LastArg::TooLong;
        if (last.find('"') != std::string_view::npos && last.find('\'') != std::string_view::npos)
            return LastArg::Unquotable;
        return LastArg::Image;
    }
    if (!last.empty() && kOptionNames.find(last) != std::string_view::npos)
        return LastArg::OptionWord;
    // "tav -hdr full < job.cmd": the word is the option's value, not a missing file; taking
    // it for one would also block the redirected script.
    if (argc >= 3 && argv[argc - 2]) {
        std::string_view prev = argv[argc - 2];
        if (argc - 2 < OPT_SCAN_LIMIT && (prev == "-c" || prev == "-cd" || prev == "-hdr") &&
            last.empty() == false && last[0] != '-')
            return LastArg::OptionValue;
    }
    return LastArg::Missing;
}

std::string buildImageCommand(std::string_view path)
{
    const bool hasDouble = path.find('"') != std::string_view::npos;
    const bool hasSingle = path.find('\'') != std::string_view::npos;
    if (hasDouble && hasSingle)
        return {};
    const char q = hasDouble ? '\'' : '"';
    std::string cmd = "i=";
    cmd += q;
    cmd += path;
    cmd += q;
    cmd += " \n";
    return cmd;
}

int hdrModeFromWord(std::string_view word)
{
    if (eqNoCase(word, "mean3sd"))
        return 1;
    if (eqNoCase(word, "full"))
        return 2;
    return 0;
}
