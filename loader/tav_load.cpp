// Placeholder command loop: it checks the call and drains a command stream, then reports
// that nothing was loaded. The tag language replaces it.
#include "tav_load.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "diag.h"
#include "ldrErrors.h"
#include "loadGui.h"

shortu TAV_LOAD(bufdes* table, shortu* current, shortu source, const char* text)
{
    if (!table || !current || *current > 15)
        return TAV_INTERNAL;
    if (source == SRC_STRING) {
        if (!text || std::strlen(text) < 3) {
            LDR_ERROR(4, text ? text : "");
            return TAV_TO_LOADER;
        }
        LDR_MSG(strPrintf("\nParsing: %s", text).c_str());
    } else if (source == SRC_STREAM) {
        char line[512];
        while (std::fgets(line, sizeof line, stdin)) {
            line[strcspn(line, "\r\n")] = '\0';
            if (*line)
                LDR_MSG(strPrintf("\nParsing: %s", line).c_str());
        }
    } else {
        LDR_ERROR(58);
        return TAV_TO_LOADER;
    }
    if (table[*current].numImgs > 0)
        return TAV_CONTINUE;
    LDR_ERROR(59);
    return TAV_TO_LOADER;
}
