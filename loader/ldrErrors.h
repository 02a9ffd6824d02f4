// The numbered loader messages: codes are stable, users refer to them.
#pragma once

#include <string_view>

constexpr int LDR_NUM_CODES = 65;
constexpr int LDR_UNDEFINED = 66;

/// Message text of a code (entry 66 for codes outside 1..65).
const char* LDR_ERRTEXT(int code);

/// Reports a code with an optional text to the loader window and standard error;
/// returns the code reported (66 for an undefined one).
short LDR_ERROR(int code, std::string_view text = {});

/// The text of a report as it is shown: newline, message, the given text, newline.
std::string_view ldrLastReport();
