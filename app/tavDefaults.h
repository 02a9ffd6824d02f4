// Values the loader takes from the per-user defaults file. Until the file is
// read these report "not set".
#pragma once

#include <string>

/// The defaults file's user key text: 1 with the text, 0 (text untouched) when
/// none.
int GET_DEFAULT_USER_KEY(std::string &text);
/// The defaults file's automatic buffer sequencing (AUTOB) setting; false when
/// not set.
bool GET_DEFAULT_AUTOB();
