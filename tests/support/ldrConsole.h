// The loader window without a display: it keeps the message area as text, queues
// messages until it is shown, and, asked to wait for a command, behaves as File/Exit.
// It serves the headless tests and the load driver.
#pragma once

#include <string>

#include "loadGui.h"

/// Everything appended to the message area since the last reset.
const std::string& ldrMessageArea();
/// The queued text and whether anything is pending.
const std::string& ldrPendingText();
/// Back to "never created", with the console installed as the loader window that
/// CRE_LDR_GUI, LDR_MSG and the other loader window calls reach.
void ldrConsoleReset();
/// Lines handed out by LDR_GUI(true) before it behaves as File/Exit (tests script a user).
void ldrConsoleScript(const std::string& commandList);
