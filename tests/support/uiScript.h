// A scripted user for operation tests: answers and mouse events come from queues, and every
// message shown is kept in a transcript with its flags. Installed for its lifetime.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "uiPort.h"

/// One message box as the operation showed it.
struct shownMsg {
    std::string text;
    int32 flags;
};

/// One scripted mouse event.
struct scriptedMouse {
    int code;
    int32 x, y;
};

/// The scripted UI port.
class uiScript final : public uiPort {
public:
    uiScript();
    ~uiScript() override;
    uiScript(const uiScript&) = delete;
    uiScript& operator=(const uiScript&) = delete;

    std::deque<std::string> answers;  ///< typed answers, one per prompt
    std::deque<scriptedMouse> clicks; ///< mouse events, one per wait
    /// Menu choices, one per popup: the value of each level; empty = released outside.
    std::deque<std::vector<int32>> picks;
    int32 pointerX = 0, pointerY = 0; ///< where the pointer is
    std::vector<shownMsg> transcript; ///< every message shown, prompts included
    std::vector<int> cursors;         ///< cursor shapes set, in order
    std::vector<int32> progressDone;  ///< progress steps reported, in order
    int menuFast = -1;                ///< last menu mode set: 1 FAST, 0 STICKY, -1 never
    int clears = 0;                   ///< message boxes removed
    int starved = 0;                  ///< prompts or waits met with an empty queue

    /// The text of the last message shown (empty when none).
    std::string lastText() const;

    std::string message(const std::string& text, int32 flags) override;
    void clearMessage() override;
    int mouseEvent(int32* x, int32* y, int mode) override;
    void pointer(int32* x, int32* y) override;
    void setCursor(int shape) override;
    void progress(const std::string& what, int32 done, int32 total) override;
    void setMenuFast(bool fast) override;
    int32 popup(int32 menuId, int32* pupvals, bool* outside) override;
};
