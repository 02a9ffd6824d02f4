#include "uiScript.h"

#include "textwin.h"

uiScript::uiScript()
{
    setViewUi(this);
}

uiScript::~uiScript()
{
    setViewUi(nullptr);
}

std::string uiScript::lastText() const
{
    return transcript.empty() ? std::string() : transcript.back().text;
}

std::string uiScript::message(const std::string& text, int32 flags)
{
    transcript.push_back(shownMsg{text, flags});
    if (!(flags & MSG_PROMPT))
        return {};
    if (answers.empty()) {
        ++starved;
        return {}; // as Return alone
    }
    std::string a = std::move(answers.front());
    answers.pop_front();
    return a;
}

void uiScript::clearMessage()
{
    ++clears;
}

int uiScript::mouseEvent(int32* x, int32* y, int)
{
    if (clicks.empty()) {
        // A closed view ends every wait, so a script that runs dry cannot hang a test.
        ++starved;
        *x = pointerX;
        *y = pointerY;
        return MOUSE_CLOSE;
    }
    const scriptedMouse m = clicks.front();
    clicks.pop_front();
    pointerX = *x = m.x;
    pointerY = *y = m.y;
    return m.code;
}

void uiScript::pointer(int32* x, int32* y)
{
    *x = pointerX;
    *y = pointerY;
}

void uiScript::setCursor(int shape)
{
    cursors.push_back(shape);
}

void uiScript::progress(const std::string&, int32 done, int32)
{
    progressDone.push_back(done);
}

void uiScript::setMenuFast(bool fast)
{
    menuFast = fast ? 1 : 0;
}

int32 uiScript::popup(int32, int32* pupvals, bool* outside)
{
    if (picks.empty())
        ++starved;
    const std::vector<int32> p = picks.empty() ? std::vector<int32>{} : picks.front();
    if (!picks.empty())
        picks.pop_front();
    for (int k = 0; k < MAX_PUP_LEVEL; ++k)
        pupvals[k] = k < int(p.size()) ? p[std::size_t(k)] : 0;
    *outside = p.empty();
    return p.empty() ? -1 : p[0];
}
