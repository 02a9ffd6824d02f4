// A scripted console for operations that read typed commands: the lines typed come from a
// queue (an empty queue types an empty line, which ends such an operation), and everything
// written is kept. Installed for its lifetime.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "textConsole.h"

/// The scripted console.
class consoleScript final : public consolePort {
public:
    consoleScript();
    ~consoleScript() override;
    consoleScript(const consoleScript&) = delete;
    consoleScript& operator=(const consoleScript&) = delete;

    std::deque<std::string> lines;    ///< typed lines, one per prompt
    std::vector<std::string> header;  ///< header lines shown at the last open
    std::vector<std::string> labels;  ///< labels shown at the last open
    std::vector<std::string> output;  ///< every reply written, in order
    std::vector<int> colours;         ///< the colour of each reply
    std::vector<std::string> prompts; ///< every prompt shown
    int32u lit = 0;                   ///< labels highlighted now
    bool shown = false;               ///< open and not closed
    bool hidden = false;              ///< hidden for a while
    int hides = 0;                    ///< times it was hidden
    bool refuseOpen = false;          ///< open fails (a console that cannot be shown)

    /// Replies written since the last call.
    std::vector<std::string> fresh();

    bool open(const std::vector<std::string>& header, const std::vector<std::string>& labels,
              int rows) override;
    void highlight(int32u mask) override;
    void relabel(const std::vector<std::string>& labels) override;
    void put(const std::string& text, int colour) override;
    std::string get(const std::string& prompt, std::size_t maxChars) override;
    void hide() override;
    void show() override;
    void close() override;

private:
    std::size_t taken_ = 0;
};
