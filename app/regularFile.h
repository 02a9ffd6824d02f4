// Opening a file that must be a regular file, without ever waiting on what is not one.
#pragma once

#include <cstdio>
#include <string>

/// Opens path for reading (or reading and writing with update) only when it is a regular
/// file: a named pipe, a device or a folder gives null at once instead of blocking or reading
/// forever. The type is checked on the descriptor that was opened.
std::FILE* openRegularFile(const std::string& path, bool update = false);
