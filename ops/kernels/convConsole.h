// The convolution console's command language: the kernel being defined (type, coefficients,
// Csum, Cval, guns), the kernel path and an open kernel file, one typed line at a time. What a
// line asks of the view (run the kernel, undo, roam, leave) comes back as an action for the
// front end; files are read through an injected reader, so every rule is tested from tables.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "convKernels.h"
#include "tavtypes.h"

/// Console errors, shown with convErrorText.
enum : int32 {
    CNVL_E_FILE = 1,       ///< kernel file cannot be opened, no file open, or name too long
    CNVL_E_DECIMAL = 2,    ///< a coefficient with a decimal point
    CNVL_E_UNDEFINED = 3,  ///< a word the console does not know
    CNVL_E_RANGE = 4,      ///< a coefficient past -/+32767
    CNVL_E_COUNT = 5,      ///< the coefficients do not fill the kernel type
    CNVL_E_ANCIL = 6,      ///< MOUSE without the ancillary display
    CNVL_E_DIVIDE = 7,     ///< a negative Csum
    CNVL_E_CONTENTS = 8,   ///< KFIL or KTAG (or an overlong line) inside a kernel file
    CNVL_E_NUMBER = 9,     ///< a number was expected
    CNVL_E_SEPARATOR = 10, ///< "=" and a value were expected
    CNVL_E_NO_KERNEL = 11, ///< KEXE before a kernel is defined
    CNVL_E_FILENAME = 12,  ///< KFIL without a name
    CNVL_E_DIMENSION = 13, ///< kernel sides not odd 3..65
    CNVL_E_TAG = 14        ///< the tag is not in the file
};
/// The text of a console error (1..15).
const char* convErrorText(int32 err);

/// Longest console line and longest kernel file line (characters).
constexpr std::size_t convLineMax = 256;

/// What the view is asked to do after a line.
enum convAction : int {
    CA_NONE,    ///< nothing (the replies say what happened)
    CA_EXECUTE, ///< run the kernel with kscale
    CA_UNDO,    ///< restore the guns of undoGuns
    CA_MOUSE,   ///< roam and statistics until the middle or right button
    CA_QUIT     ///< leave the console
};

/// One reply line.
struct convLine {
    std::string text;
    bool error = false;
};

/// What one line did.
struct convReply {
    convAction action = CA_NONE;
    int32 kscale = 0;
    int32 undoGuns = 7;
    int32 error = 0;               ///< the last console error, 0 when none
    std::vector<convLine> lines;   ///< replies for the console window
    std::vector<std::string> diag; ///< lines for standard error
};

/// The console's state and its command interpreter.
class convConsole {
public:
    /// Reads a kernel file's lines; false when it cannot be opened.
    using fileReader =
        std::function<bool(const std::string& path, std::vector<std::string>* lines)>;
    /// True for an existing directory.
    using dirCheck = std::function<bool(const std::string& path)>;

    convConsole(int32 guns, std::string kpath, fileReader reader, dirCheck isDir);

    /// Runs one typed line (a KDEF continuation when one is pending).
    convReply exec(const std::string& line);
    /// The prompt for the next line: "cnvl> ", or "...Klist?: " while KDEF waits for values.
    const char* prompt() const;

    /// The four labels: CSUM, CVAL, GUNS, KTYP.
    std::vector<std::string> labels() const;
    /// The kernel defined, or null while none is.
    const convKernel* kernel() const { return defined_ ? &kernel_ : nullptr; }
    /// Csum, Cval and guns as a kernel run takes them.
    convParams params(int32 kscale) const;
    const std::string& kpath() const { return kpath_; }
    bool fileOpen() const { return fileOpen_; }

private:
    void command(const std::string& line, convReply& r);
    void kdefValues(const std::string& text, convReply& r);
    void runFileLines(convReply& r);
    void fail(convReply& r, int32 err);
    void closeFile();
    bool selectTag(const std::string& tag, convReply& r);

    // Kernel type and the values gathered for it.
    int32 xs_ = 3, ys_ = 3;
    bool plus_ = true;
    std::vector<std::int16_t> values_;
    bool pendingDef_ = false;
    convKernel kernel_;
    bool defined_ = false;
    int32 csum_ = 1, cval_ = 0, guns_ = 7;
    std::string kpath_;
    // The open kernel file and where reading stands in it.
    std::vector<std::string> file_;
    std::size_t next_ = 0;
    bool fileOpen_ = false, reading_ = false;
    fileReader reader_;
    dirCheck isDir_;
};
