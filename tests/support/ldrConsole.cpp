#include "ldrConsole.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>

#include "bufRecMgt.h"
#include "diag.h"

namespace {

struct ConsoleState {
    bool created = false;
    bool realised = false;
    bool memLineShown = false;
    bool pending = false;
    std::string pendingText;
    std::string area;
    std::deque<std::string> scripted;
    int x = 0, y = 0;
};

ConsoleState st;

/// The console as a loader window; its state is process-wide, as the Motif window's is.
class consoleWindow final : public ldrWindow {
public:
    int create() override;
    char* show(bool wait) override;
    void message(const char* text) override;
    void destroy() override;
    void hide() override;
    bool exists() override;
    void setPos(int x, int y) override;
};

consoleWindow console;

} // namespace

const std::string& ldrMessageArea()
{
    return st.area;
}
const std::string& ldrPendingText()
{
    return st.pendingText;
}
void ldrConsoleReset()
{
    st = ConsoleState{};
    installLoaderWindow(&console);
}
void ldrConsoleScript(const std::string& commandList)
{
    st.scripted.push_back(commandList);
}

int consoleWindow::create()
{
    if (!st.created) {
        st.created = true;
        st.realised = false;
        st.memLineShown = false;
    }
    return 1;
}

void consoleWindow::message(const char* text)
{
    if (!text)
        return;
    if (st.realised) {
        st.area += text;
        testLog("loader message %s", text);
        return;
    }
    // Queued while not shown: at most 80 characters of each message, while the queue
    // is shorter than 240 characters.
    if (st.pendingText.size() < 240) {
        st.pendingText.append(text, strnlen(text, 80));
        st.pending = true;
    }
}

char* consoleWindow::show(bool wait)
{
    if (!st.created)
        return nullptr;
    st.realised = true;
    if (!st.memLineShown) {
        std::uint64_t ram = 0, swap = 0;
        freeMemory(ram, swap);
        message(strPrintf("\n\n     [MBytes] Free Ram= %ld  Free Swap= %ld\n", long(ram / 1000000u),
                          long(swap / 1000000u))
                    .c_str());
        st.memLineShown = true;
    }
    if (st.pending) {
        std::string q;
        q.swap(st.pendingText);
        st.pending = false;
        message(q.c_str());
    }
    message("\n");
    if (!wait)
        return nullptr;
    testLog("idle loader");
    if (!st.scripted.empty()) {
        std::string cmd = std::move(st.scripted.front());
        st.scripted.pop_front();
        if (cmd.empty())
            return nullptr;
        char* out = static_cast<char*>(std::malloc(cmd.size() + 1));
        TAV_ASSERT(out != nullptr);
        std::memcpy(out, cmd.c_str(), cmd.size() + 1);
        return out;
    }
    // No user to wait for: the window goes away as File/Exit would take it.
    destroy();
    return nullptr;
}

void consoleWindow::destroy()
{
    if (!st.created)
        return;
    st.created = false;
    st.realised = false;
    st.memLineShown = false;
    st.pending = false;
    st.pendingText.clear();
}

void consoleWindow::hide()
{
    st.realised = false;
    st.memLineShown = false;
}

bool consoleWindow::exists()
{
    return st.created;
}

void consoleWindow::setPos(int x, int y)
{
    st.x = x;
    st.y = y;
}
