// Display connection and view window operations callable from code that must not see X.
#pragma once

#include "tavtypes.h"

/// Connects to the X server: 0 (also when connected), -1 no root window, -2 no 24-bit
/// TrueColor visual. A toolkit failure prints its message and ends the process (status 1).
int32 CONNECT_TAV_DISPL();
/// Destroys the view window when open; with closeDisplay also closes the connection.
void TAV_VIEWEND(int closeDisplay);
/// Gun-to-byte table: byte position of red, green, blue, alpha in a 32-bit pixel.
const charu* gunByteTable();
