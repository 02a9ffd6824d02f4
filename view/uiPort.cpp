#include "uiPort.h"

#include <vector>

#include "bufRecMgt.h"
#include "lexical.h"
#include "textwin.h"

namespace {

// The real user interface: the message box, prompts and events of the text windows.
class textwinPort final : public uiPort {
public:
    std::string message(const std::string& text, int32 flags) override
    {
        return TEXTMSG(text, flags);
    }
    void clearMessage() override { TEXTMSG_CLEAR(); }
    int mouseEvent(int32* x, int32* y, int mode) override { return MOUSE_EVENT(x, y, mode); }
    void pointer(int32* x, int32* y) override { QUERY_POINTER(x, y); }
    void setCursor(int shape) override { SET_CURSOR(shape); }
    void progress(const std::string& what, int32 done, int32 total) override
    {
        // A standing box redrawn in steps of ten per cent: cheap next to the work it reports.
        if (total <= 0 || done >= total) {
            if (shownStep_ >= 0)
                TEXTMSG_CLEAR();
            shownStep_ = -1;
            return;
        }
        const int32 step = done <= 0 ? 0 : int32((std::int64_t(done) * 10) / total);
        if (step == shownStep_)
            return;
        shownStep_ = step;
        TEXTMSG(what + "\n" + std::to_string(step * 10) + "%", MSG_STANDING);
    }
    void setMenuFast(bool fast) override { SET_MENU_FAST(fast); }

private:
    int32 shownStep_ = -1;
};

textwinPort textwinUi;
uiPort* installed = nullptr;

// Both pair readers want a writable text and leave the first value written on a bad second.
template <typename T, typename Reader>
int askPair(uiPort& ui, const std::string& text, T& a, T& b, Reader read)
{
    std::string answer = ui.ask(text);
    std::vector<char> buf(answer.begin(), answer.end());
    buf.push_back('\0');
    char* cur = buf.data();
    char stop = 0;
    T x{}, y{};
    const int rc = read(cur, " ,", x, y, stop);
    if (rc == PAIR_OK) {
        a = x;
        b = y;
    }
    return rc;
}

} // namespace

std::string uiPort::ask(const std::string& text)
{
    return message(text, MSG_PROMPT);
}

bool uiPort::askYesNo(const std::string& text)
{
    return answerYes(ask(text));
}

int uiPort::askIntPair(const std::string& text, int32& a, int32& b)
{
    return askPair(*this, text, a, b, INT_PAIR);
}

int uiPort::askDoublePair(const std::string& text, double& a, double& b)
{
    return askPair(*this, text, a, b, DBL_PAIR);
}

int32 uiPort::popup(int32 menuId, int32* pupvals, bool* outside)
{
    return xDOPUP(menuId, pupvals, outside);
}

uiPort& viewUi()
{
    return installed ? *installed : textwinUi;
}

void setViewUi(uiPort* port)
{
    installed = port;
}

bool viewMemOk(std::int64_t width, std::int64_t height)
{
    std::string msg;
    if (SAFE_MEM_REQ_WH(width, height, &msg))
        return true;
    viewUi().message(msg, MSG_ACK);
    return false;
}

void showSevere(const std::string& text)
{
    viewUi().message(text, MSG_ACK);
}

void ack(const std::string& text)
{
    viewUi().message(text, MSG_ACK);
}

void brief(const std::string& text)
{
    viewUi().message(text, MSG_BRIEF);
}
