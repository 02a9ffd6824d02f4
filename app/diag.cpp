#include "diag.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::string vformat(const char* fmt, va_list ap)
{
    va_list ap2;
    va_copy(ap2, ap);
    int n = std::vsnprintf(nullptr, 0, fmt, ap2);
    va_end(ap2);
    if (n <= 0)
        return {};
    std::string s(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(s.data(), s.size(), fmt, ap);
    s.resize(static_cast<size_t>(n));
    return s;
}

FILE* testLogFile()
{
    // Opened once; the variable is read when the first event is logged.
    static FILE* f = [] {
        const char* name = std::getenv("TAV_TESTLOG");
        return (name && *name) ? std::fopen(name, "a") : nullptr;
    }();
    return f;
}

} // namespace

void DIAG(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(stderr, fmt, ap);
    va_end(ap);
    std::fflush(stderr);
}

std::string strPrintf(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    std::string s = vformat(fmt, ap);
    va_end(ap);
    return s;
}

void tavAssertFail(const char* cond, const char* func, const char* file, int line)
{
    const char* slash = std::strrchr(file, '/');
    std::fprintf(stderr, "\n***FATAL assertion failed: %s\n   in %s\n   module %s, line %d\n", cond,
                 func, slash ? slash + 1 : file, line);
    std::fflush(stderr);
    std::abort();
}

bool testLogOn()
{
    return testLogFile() != nullptr;
}

void testLog(const char* fmt, ...)
{
    FILE* f = testLogFile();
    if (!f)
        return;
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(f, fmt, ap);
    va_end(ap);
    std::fputc('\n', f);
    std::fflush(f);
}
