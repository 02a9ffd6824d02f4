#include "loader_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "fcrypt.h"
#include "hdrSettings.h"
#include "ldrConsole.h"
#include "ldrErrors.h"
#include "loadGui.h"
#include "tavPaths.h"

std::vector<seenLoad> seenLoads;

namespace {

// Records the request and counts images as the load would; a path containing
// "bad" fails as a damaged file would.
int fakeLoad(loadRequest& req, bufdes* table, shortu current)
{
    seenLoads.push_back({req, current});
    if (req.path.find("bad") != std::string::npos)
        return LDR_ERROR(17, "-1");
    bufdes& b = table[current];
    if (req.clearFirst())
        b.numImgs = 0;
    if (!(req.gunGiven && b.numImgs > 0)) // a plane onto an existing image adds none
        ++b.numImgs;
    return 0;
}

} // namespace

void LoaderTest::SetUp()
{
    table = INIT_BUFMGT();
    ASSERT_NE(table, nullptr);
    ldrConsoleReset();
    CRE_LDR_GUI();
    LDR_GUI(false); // shown, so that messages land in the message area
    resetLoaderState();
    resetHdrSettings();
    CLEAR_KEYS();
    seenLoads.clear();
    setLoadExecHook(fakeLoad);
    char tmpl[] = "/tmp/tavldrXXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = std::string(tmpl) + "/";
    SET_IPATH(dir);
    SET_SPATH(dir);
    current = 0;
}

void LoaderTest::TearDown()
{
    setLoadExecHook(nullptr);
    setLoaderStream(nullptr);
    // Loads only counted images; forget them before the table goes.
    for (int i = 0; i < NUM_iBUFF; ++i)
        table[i].numImgs = 0;
    RELEASE_BUFMGT();
    std::filesystem::remove_all(dir);
}

shortu LoaderTest::cmd(const std::string& text)
{
    return TAV_LOAD(table, &current, SRC_STRING, text.c_str());
}

shortu LoaderTest::stream(const std::string& text)
{
    std::FILE* f = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    setLoaderStream(f);
    const shortu st = TAV_LOAD(table, &current, SRC_STREAM, nullptr);
    setLoaderStream(nullptr);
    std::fclose(f);
    return st;
}

std::string LoaderTest::script(const std::string& name, const std::string& text)
{
    const std::string path = dir + name;
    std::ofstream(path) << text;
    return path;
}

std::vector<int> LoaderTest::codes() const
{
    std::vector<int> out;
    const std::string& a = ldrMessageArea();
    for (std::size_t i = 0; i + 4 < a.size(); ++i) {
        if (a[i] != '\n' || a[i + 3] != ':' || a[i + 4] != ' ')
            continue;
        const char hi = a[i + 1], lo = a[i + 2];
        if ((hi == ' ' || (hi >= '0' && hi <= '9')) && lo >= '0' && lo <= '9')
            out.push_back((hi == ' ' ? 0 : (hi - '0') * 10) + (lo - '0'));
    }
    return out;
}

const std::string& LoaderTest::shown() const
{
    return ldrMessageArea();
}
