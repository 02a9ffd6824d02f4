// Menu items whose operations are not built yet: they open their sub-menus, so that the
// user sees what is coming, and then say plainly that the operation is not available rather
// than pretend to act. Each is replaced by its operation's own row as that is built.
#pragma once

#include <vector>

#include "exploitOp.h"

/// "<name>\nThis operation is not available yet." acknowledged with a click.
void notYet(const char* name);
/// ANNOTATE: no annotation tools in this version.
void annotateNone(viewState* vs, const int32* pupvals, bufdes* bd);
/// EXTENSIONS: no extension operations are installed.
void extensionsNone(viewState* vs, const int32* pupvals, bufdes* bd);
