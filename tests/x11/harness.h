// Display-test harness: a private Xvfb per test, and a runner that starts a program with
// arguments, standard input and environment, and collects its output and exit status.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace tavtest {

/// An Xvfb server on a free display, stopped (by process id) when the object goes.
class Xvfb {
public:
    /// Starts "Xvfb -displayfd" with one screen of 1920x1080 at the given depth.
    explicit Xvfb(int depth = 24, const std::string& geometry = "1920x1080");
    ~Xvfb();
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;
    /// ":N", or empty when the server did not start.
    const std::string& display() const { return display_; }
    bool ok() const { return !display_.empty(); }

private:
    int pid_ = -1;
    std::string display_;
};

/// A temporary folder removed with its content when the object goes (unless kept).
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    void keep() { keep_ = true; }

private:
    std::string path_;
    bool keep_ = false;
};

struct RunResult {
    int status = -1; ///< exit status, or 128 + signal
    bool timedOut = false;
    std::string out, err; ///< standard output and standard error
};

struct RunOptions {
    std::vector<std::string> args;          ///< arguments after the program name
    std::string input;                      ///< written to standard input, then closed
    bool stdinIsTty = false;                ///< leave standard input open and empty
    std::map<std::string, std::string> env; ///< added to (or replacing in) the environment
    std::vector<std::string> unsetEnv;      ///< removed from the environment
    int timeoutMs = 30000;
};

/// Runs a program to its end (killing its process group at the time-out).
RunResult run(const std::string& program, const RunOptions& opt);

/// Path of the built tav (from the build tree).
std::string tavPath();

/// Writes a file; returns its path.
std::string writeFile(const std::string& path, const std::string& content);

/// Reads a whole file (empty when missing).
std::string readFile(const std::string& path);

} // namespace tavtest
