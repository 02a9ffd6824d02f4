// Diagnostics: messages to standard error, the always-on fatal assertion, and the
// event log that end-to-end tests follow (TAV_TESTLOG).
#pragma once

#include <string>

/// printf-style message to standard error, flushed at once.
void DIAG(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

/// printf-style formatting into a std::string (never truncates).
std::string strPrintf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

/// Prints the failed condition, the function and the module, then aborts.
[[noreturn]] void tavAssertFail(const char* cond, const char* func, const char* file, int line);

#define TAV_ASSERT(cond)                                                                           \
    ((cond) ? (void)0 : tavAssertFail(#cond, __PRETTY_FUNCTION__, __FILE__, __LINE__))

/// Appends one line to the file named by TAV_TESTLOG (nothing when it is unset).
void testLog(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

/// True when TAV_TESTLOG names a file.
bool testLogOn();
