// CALCULATOR: the image calculator's console. Typed commands switch its modes and scope; a
// calculation runs over the display's FG AOI, the iBUFF area under it (MAPPED) or the whole
// iBUFF (GLOBAL), with the user accumulators @1-@4 as further operands and destinations.
#pragma once

#include "exploitOp.h"

/// Scopes of a calculation.
enum : int { CALC_SCOPE_AOI = 0, CALC_SCOPE_MAPPED = 1, CALC_SCOPE_GLOBAL = 2 };

/// The calculator's modes; they last from one calculator session to the next.
struct calcState {
    bool absMode = false; ///< SUB gives the larger minus the smaller
    int scope = CALC_SCOPE_AOI;
    int debug = 0; ///< trace on standard error: 0 off, 1 decimal, 2 hexadecimal
};
/// The process-wide calculator modes.
extern calcState calcModes;
/// The modes back to their start (tests).
void resetCalc();

/// Runs the calculator on the current buffer until the user leaves it.
void CALC(viewState* vs, const int32* pupvals, bufdes* bd);

/// The AOI command: redefines the FG AOI interactively; true when it was changed. Refused
/// (with its message in the console) in GLOBAL or MAPPED scope.
bool calcRedefineAoi(viewState* vs);
