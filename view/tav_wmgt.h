// Display connection and view window operations callable from code that must not see X.
#pragma once

#include "tavtypes.h"

/// Connects to the X server: 0 (also when connected), -1 no root window, -2 no 24-bit
/// TrueColor visual. A toolkit failure prints its message and ends the process (status 1).
int32 CONNECT_TAV_DISPL();
/// Destroys the view window when open; with closeDisplay also closes the connection.
void TAV_VIEWEND(int closeDisplay);
/// Creates and maps the view window: 0 (also when already open) or -1 .. -7 (see the codes).
int32 TAV_VIEWINI();
/// Re-reads the window geometry; true when the size changed.
bool GET_GEOMETRY();
/// True when the geometry changed or the stored size differs from cols x rows.
bool VIEW_DIM_CHANGED(int32u cols, int32u rows);
/// Copies the display box x0, y0, x1, y1.
void GET_DISPLAY_BOX(int32 box[4]);
/// True while the view window is open.
bool viewIsOpen();
/// Gun-to-byte table: byte position of red, green, blue, alpha in a 32-bit pixel.
const charu* gunByteTable();
