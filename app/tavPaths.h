// The four working paths (image, save, script, work) and environment-variable expansion
// of the file names a user types.
#pragma once

#include <string>
#include <string_view>

/// Longest path kept (the texts handed to callers hold 256 bytes).
constexpr std::size_t TAV_PATH_MAX = 255;

/// Expands the first "$NAME" of a path (NAME runs to the next "/"): the text before "$" is
/// dropped, the variable's value replaces the name. Returns false, leaving the path as it
/// was, when the result would exceed TAV_PATH_MAX; an unset or one-letter name leaves it.
bool ENV_EXPAND(std::string& path);

/// Path setters: the image path is expanded, the others kept as written; each gets a
/// trailing "/". An empty text empties the path. False (path unchanged, message printed)
/// when the result would exceed TAV_PATH_MAX.
bool SET_IPATH(std::string_view dir);
bool SET_SPATH(std::string_view dir);
bool SET_SVPATH(std::string_view dir);
bool SET_WPATH(std::string_view dir);

const std::string& GET_IPATH();
const std::string& GET_SPATH();
const std::string& GET_SVPATH();
const std::string& GET_WPATH();

/// All four paths become the current working directory with a trailing "/".
void resetPathsToCwd();
/// The current working directory with a trailing "/" (empty when it cannot be read).
std::string cwdWithSlash();
