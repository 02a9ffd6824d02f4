// What every operation's menu builder shares.
#pragma once

#include "diag.h"
#include "textwin.h"

/// Defines a menu from a fixed text; a text the menu system refuses is a programming error, so
/// it stops the program where the menu is written rather than leaving a dead item.
inline int32 defineMenu(const char* def)
{
    const int32 id = xDEFPUP(def);
    TAV_ASSERT(id >= 0);
    return id;
}
