#include "tavPaths.h"

#include <cstdlib>
#include <unistd.h>

#include "diag.h"

namespace {

struct Paths {
    std::string image, save, script, work;
    bool init = false;
};

Paths& paths()
{
    static Paths p;
    if (!p.init) {
        p.init = true;
        const std::string cwd = cwdWithSlash();
        p.image = p.save = p.script = p.work = cwd;
    }
    return p;
}

bool setPath(std::string& slot, std::string_view dir, bool expand, const char* which)
{
    std::string v(dir);
    if (expand && !ENV_EXPAND(v)) {
        DIAG("\n***Invalid path: %s (too long after expansion)\n", std::string(dir).c_str());
        return false;
    }
    if (!v.empty() && v.back() != '/')
        v += '/';
    if (v.size() > TAV_PATH_MAX) {
        DIAG("\n***Invalid path: %s path longer than %zu characters\n", which, TAV_PATH_MAX);
        return false;
    }
    slot = std::move(v);
    return true;
}

} // namespace

std::string cwdWithSlash()
{
    std::string out;
    if (char* cwd = getcwd(nullptr, 0)) {
        out = cwd;
        std::free(cwd);
        if (out.empty() || out.back() != '/')
            out += '/';
    }
    return out;
}

bool ENV_EXPAND(std::string& path)
{
    const auto dollar = path.find('$');
    if (dollar == std::string::npos)
        return true;
    const auto end = path.find('/', dollar);
    const std::string name =
        path.substr(dollar + 1, end == std::string::npos ? std::string::npos : end - dollar - 1);
    if (name.size() <= 1)
        return true;
    const char* value = std::getenv(name.c_str());
    if (!value)
        return true;
    std::string out = value;
    if (end != std::string::npos)
        out += path.substr(end);
    if (out.size() > TAV_PATH_MAX)
        return false;
    path = std::move(out);
    return true;
}

bool SET_IPATH(std::string_view dir)
{
    return setPath(paths().image, dir, true, "image");
}
bool SET_SPATH(std::string_view dir)
{
    return setPath(paths().script, dir, false, "script");
}
bool SET_SVPATH(std::string_view dir)
{
    return setPath(paths().save, dir, false, "save");
}
bool SET_WPATH(std::string_view dir)
{
    return setPath(paths().work, dir, false, "work");
}

const std::string& GET_IPATH()
{
    return paths().image;
}
const std::string& GET_SPATH()
{
    return paths().script;
}
const std::string& GET_SVPATH()
{
    return paths().save;
}
const std::string& GET_WPATH()
{
    return paths().work;
}

void resetPathsToCwd()
{
    Paths& p = paths();
    p.image = p.save = p.script = p.work = cwdWithSlash();
}
