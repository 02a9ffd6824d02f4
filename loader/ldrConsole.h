// The loader window without a display: it keeps the message area as text, queues
// messages until it is shown, and, asked to wait for a command, behaves as File/Exit.
// It serves the headless tests, the load driver, and tav until the Motif window replaces it.
#pragma once

#include <string>

/// Everything appended to the message area since the last reset.
const std::string& ldrMessageArea();
/// The queued text and whether anything is pending.
const std::string& ldrPendingText();
/// Back to "never created".
void ldrConsoleReset();
/// Lines handed out by LDR_GUI(true) before it behaves as File/Exit (tests script a user).
void ldrConsoleScript(const std::string& commandList);
