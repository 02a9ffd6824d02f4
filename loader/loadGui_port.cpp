#include "loadGui.h"

namespace {

/// The window reached before the program installs one: nothing can be created and nothing
/// exists, so a caller that forgot to install a window sees a failure, not a silent success.
class noWindow final : public ldrWindow {
public:
    int create() override { return 0; }
    char* show(bool) override { return nullptr; }
    void message(const char*) override {}
    void destroy() override {}
    void hide() override {}
    bool exists() override { return false; }
    void setPos(int, int) override {}
};

constinit noWindow none;
constinit ldrWindow* current = &none;

} // namespace

ldrWindow* installLoaderWindow(ldrWindow* win)
{
    ldrWindow* old = current == &none ? nullptr : current;
    current = win ? win : &none;
    return old;
}

int CRE_LDR_GUI()
{
    return current->create();
}

char* LDR_GUI(bool wait)
{
    return current->show(wait);
}

void LDR_MSG(const char* text)
{
    current->message(text);
}

void LDR_DESTROY()
{
    current->destroy();
}

void LDR_HIDE()
{
    current->hide();
}

bool LDR_EXISTS()
{
    return current->exists();
}

void LDR_SETPOS(int x, int y)
{
    current->setPos(x, y);
}
