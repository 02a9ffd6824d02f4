#include "lexical.h"

#include <cstring>

int NUMCLASS(const char* text)
{
    if (!text)
        return 0;
    const char* p = text;
    bool hex = false;
    if (std::strpbrk(text, "-+"))
        ++p; // the first character is taken as the sign
    else if (std::strstr(text, "0x") || std::strstr(text, "0X")) {
        hex = true;
        p += 2;
    }
    bool point = false;
    bool digit = false;
    for (; *p && *p != '\n'; ++p) {
        const char c = *p;
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if (c == '.' && !hex && !point) {
            point = true;
        } else if ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')) {
            if (point)
                return 0;
            hex = true;
            digit = true;
        } else {
            return 0;
        }
    }
    if (!digit)
        return 0;
    if (hex)
        return 2;
    return point ? 3 : 1;
}
