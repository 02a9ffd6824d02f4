// The loader window as the rest of the program sees it. The loader, the view and the entry
// call the functions below; they reach whichever window the program installed at start (the
// Motif window in tav, the message console in tests), so that none of them depends on the
// toolkit or on the layer that builds the window.
#pragma once

#include <string>

/// One loader window: what each of the calls below asks of it.
class ldrWindow {
public:
    virtual ~ldrWindow() = default;
    virtual int create() = 0;                   ///< CRE_LDR_GUI
    virtual char* show(bool wait) = 0;          ///< LDR_GUI
    virtual void message(const char* text) = 0; ///< LDR_MSG
    virtual void destroy() = 0;                 ///< LDR_DESTROY
    virtual void hide() = 0;                    ///< LDR_HIDE
    virtual bool exists() = 0;                  ///< LDR_EXISTS
    virtual void setPos(int x, int y) = 0;      ///< LDR_SETPOS
};

/// Installs the window the calls below reach and returns the one it replaces. Null installs
/// none: then no window can be created (CRE_LDR_GUI returns 0), none exists and messages are
/// dropped (the loader's errors still reach standard error).
ldrWindow* installLoaderWindow(ldrWindow* win);

/// Creates the loader window when it does not exist; returns 1.
int CRE_LDR_GUI();
/// Shows the window and flushes pending messages; with wait, returns the user's command
/// list (malloc'd, the caller frees it) or null.
char* LDR_GUI(bool wait);
/// Appends a text to the message area, or queues it while the window is not shown.
void LDR_MSG(const char* text);
/// Destroys the window (File/Exit); LDR_EXISTS() is false afterwards.
void LDR_DESTROY();
/// Hides the window while the exploitation view runs.
void LDR_HIDE();
/// True while the window exists.
bool LDR_EXISTS();
/// Places the window.
void LDR_SETPOS(int x, int y);
