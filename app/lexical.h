// Lexical routines shared by the loader's tag language, the defaults file, the menus and
// the prompts.
#pragma once

#include <string_view>

/// Number classifier: 0 not a number, 1 integer, 2 hexadecimal, 3 decimal with one point.
int NUMCLASS(const char* text);
