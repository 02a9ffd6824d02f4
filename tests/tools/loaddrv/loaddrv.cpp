#include "loaddrv.h"

#include <cstdio>

#include "bufRecMgt.h"
#include "fcrypt.h"
#include "folio_utl.h"
#include "hdrScale.h"
#include "hdrSettings.h"
#include "ldrConsole.h"
#include "ldrRequest.h"
#include "loadGui.h"
#include "sbuffActive.h"
#include "tav_load.h"

namespace loaddrv {

namespace {

Result finish(shortu status, shortu current)
{
    Result r;
    r.status = status;
    r.current = current;
    r.pam = pamOf(current);
    if (bufObjs) {
        r.width = bufObjs[current].width;
        r.height = bufObjs[current].height;
    }
    r.messages = ldrMessageArea() + ldrPendingText();
    return r;
}

} // namespace

void reset()
{
    RELEASE_BUFMGT();
    INIT_BUFMGT();
    ldrConsoleReset();
    resetLoaderState();
    CLEAR_KEYS();
    // The accumulators as the program starts them: fresh scratch files, the default scaling.
    resetFolios();
    resetSbuffs();
    resetScalingArchives();
    resetHdrSettings();
    for (int id : {SBUFF_EXPLOIT, SBUFF_LOADER}) {
        SET_ACTIVE_sBUFF(id);
        HDR_DEFAULTS(hdrSet.rangeMode[id]);
    }
    CRE_LDR_GUI();
    LDR_GUI(false); // shown, so that messages land in the message area
}

Result runCommand(const std::string& command, shortu current)
{
    if (!bufObjs)
        reset();
    const shortu st = TAV_LOAD(bufObjs, &current, SRC_STRING, command.c_str());
    return finish(st, current);
}

Result runStream(std::FILE* stream, shortu current)
{
    if (!bufObjs)
        reset();
    setLoaderStream(stream);
    const shortu st = TAV_LOAD(bufObjs, &current, SRC_STREAM, nullptr);
    setLoaderStream(nullptr);
    return finish(st, current);
}

std::string pamOf(int index)
{
    if (!bufObjs || index < 0 || index >= NUM_iBUFF)
        return {};
    const bufdes& b = bufObjs[index];
    if (!b.imgbuf || b.width <= 0 || b.height <= 0)
        return {};
    char head[160];
    std::snprintf(head, sizeof head,
                  "P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n",
                  b.width, b.height);
    std::string out = head;
    const std::size_t n = std::size_t(b.width) * std::size_t(b.height);
    out.reserve(out.size() + n * 4);
    const auto* px = reinterpret_cast<const charu*>(b.imgbuf);
    for (std::size_t i = 0; i < n; ++i) {
        const charu* p = px + i * 4;
        out += char(p[2]);
        out += char(p[1]);
        out += char(p[0]);
        out += char(p[3]);
    }
    return out;
}

} // namespace loaddrv
