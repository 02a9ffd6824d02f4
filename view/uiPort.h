// What an operation says to the user and reads back: messages, prompts, the mouse, the pointer,
// the cursor and the progress of long work. Operations talk to this port only; the program
// installs nothing and gets the text windows, tests install a scripted port.
#pragma once

#include <cstdint>
#include <string>

#include "tavtypes.h"

/// The user interface as operations see it.
class uiPort {
public:
    virtual ~uiPort() = default;
    /// Shows a message box with TEXTMSG flags; a prompt (MSG_PROMPT) returns the typed answer.
    virtual std::string message(const std::string& text, int32 flags) = 0;
    /// Removes the message box.
    virtual void clearMessage() = 0;
    /// Waits for the next mouse event (MOUSE_EVENT codes and modes).
    virtual int mouseEvent(int32* x, int32* y, int mode) = 0;
    /// The pointer position now.
    virtual void pointer(int32* x, int32* y) = 0;
    /// Cursor shape: 1 crosshair, 2 watch, other values the default.
    virtual void setCursor(int shape) = 0;
    /// Long work: done of total steps finished; done >= total ends the indicator.
    virtual void progress(const std::string& what, int32 done, int32 total) = 0;
    /// Menu mode: FAST (true) or STICKY.
    virtual void setMenuFast(bool fast) = 0;
    /// Runs a menu tree (xDOPUP): the root value chosen, pupvals filled per level, *outside
    /// set when the button was released outside every menu.
    virtual int32 popup(int32 menuId, int32* pupvals, bool* outside);

    /// A prompt; the typed answer, empty when none.
    std::string ask(const std::string& text);
    /// A Y/N question: true only for an answer beginning with Y or y.
    bool askYesNo(const std::string& text);
    /// A prompt for "a" or "a,b" integers (one value serves for both); PAIR_OK or a
    /// PAIR_BAD_* code (an empty answer is PAIR_BAD_FIRST), values untouched unless PAIR_OK.
    int askIntPair(const std::string& text, int32& a, int32& b);
    /// As askIntPair for decimal numbers.
    int askDoublePair(const std::string& text, double& a, double& b);
};

/// The port in use: the installed one, else the text windows.
uiPort& viewUi();
/// Installs a port (tests); nullptr goes back to the text windows.
void setViewUi(uiPort* port);

/// A message acknowledged with a click, in the port in use.
void ack(const std::string& text);
/// A brief note (MSG_BRIEF), in the port in use.
void brief(const std::string& text);

/// Memory guard for a width x height pixel block asked for inside the view: a refusal is shown
/// in the view's message box (as well as on standard error). True when the request is safe.
bool viewMemOk(std::int64_t width, std::int64_t height);
/// Shows a severe message (one the memory guard could hand to nobody else) in the message box.
void showSevere(const std::string& text);
