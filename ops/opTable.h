// tav's operation table: the main menu items in their order, each with its menus and its run.
#pragma once

#include <span>

#include "exploitOp.h"

/// The rows of the main menu, AOI OPS to EXTENSIONS.
std::span<const exploitOp> tavExploitOps();
/// Installs tav's operation table in the view.
void INSTALL_EXPLOIT_OPS();
