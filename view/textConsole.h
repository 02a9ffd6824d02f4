// A console of the view for operations that read typed commands (the image calculator): fixed
// header lines, a row of indicator labels that are highlighted while their mode is on, and a
// scrolling area where replies are written and lines are typed after a prompt. Operations use
// this port; the program gets text windows, tests install a scripted console.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tavtypes.h"

/// A command console in the view.
class consolePort {
public:
    virtual ~consolePort() = default;
    /// Shows the console: header lines, the labels in one row under them, and rows lines for
    /// replies and input. False when it cannot be shown.
    virtual bool open(const std::vector<std::string>& header,
                      const std::vector<std::string>& labels, int rows) = 0;
    /// Highlights the labels whose bit (1 << index) is set in mask; the others are plain.
    virtual void highlight(int32u mask) = 0;
    /// Gives the labels new texts (a console whose labels show values), highlight kept; a
    /// console that shows no labels may ignore it.
    virtual void relabel(const std::vector<std::string>& labels) { (void)labels; }
    /// Writes one line of reply in a text colour (text colour table index).
    virtual void put(const std::string& text, int colour) = 0;
    /// Reads one line typed after the prompt, at most maxChars characters; empty when nothing
    /// was typed or the wait was interrupted (the view was redrawn or resized).
    virtual std::string get(const std::string& prompt, std::size_t maxChars) = 0;
    /// Takes the console off the view for a while (what it covered is put back), so that the
    /// view can be read and written under it.
    virtual void hide() = 0;
    /// Shows a hidden console again as it was: header, labels and the latest replies.
    virtual void show() = 0;
    /// Removes the console and puts back what it covered.
    virtual void close() = 0;
};

/// The console off the view while the pixels under it are read or written (when on is set);
/// back on leaving the scope.
class consoleAside {
public:
    consoleAside(consolePort& c, bool on) : c_(c), on_(on)
    {
        if (on_)
            c_.hide();
    }
    ~consoleAside()
    {
        if (on_)
            c_.show();
    }
    consoleAside(const consoleAside&) = delete;
    consoleAside& operator=(const consoleAside&) = delete;

private:
    consolePort& c_;
    bool on_;
};

/// The console in use: the installed one, else the text windows'.
consolePort& viewConsole();
/// Installs a console (tests); nullptr goes back to the text windows.
void setViewConsole(consolePort* c);
