// The loader window as the rest of the program sees it. The Motif window and the
// headless message console both offer exactly this.
#pragma once

#include <string>

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
