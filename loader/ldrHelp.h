// Texts the loader window shows: the composition-tag summary of its upper pane and the
// pages of its Help menu.
#pragma once

/// Help menu pages, in menu order.
enum : int {
    LDR_HELP_TOPLEVEL = 0,
    LDR_HELP_LOAD = 1,
    LDR_HELP_EXPLOIT = 2,
    LDR_HELP_TAGS = 3,
    LDR_HELP_HDR = 4,
    LDR_HELP_BUGS = 5,
    LDR_HELP_PAGES = 6
};

/// One line on each composition tag, for the loader window's upper pane.
const char* ldrTagSummary();
/// Title of a help page's window (null outside 0..LDR_HELP_PAGES-1).
const char* ldrHelpTitle(int page);
/// Text of a help page (null outside 0..LDR_HELP_PAGES-1).
const char* ldrHelpText(int page);
