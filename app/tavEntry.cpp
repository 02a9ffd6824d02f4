#include "tavEntry.h"

#include <cstdlib>
#include <string>

#include <poll.h>
#include <sys/stat.h>

#include "cmdline.h"
#include "diag.h"
#include "folio_utl.h"
#include "hdrScale.h"
#include "hdrSettings.h"
#include "ldrErrors.h"
#include "loadGui.h"
#include "sbuffActive.h"
#include "tavPaths.h"
#include "tav_load.h"
#include "viewDims.h"

namespace {

bool statRegular(const char* path)
{
    struct stat sb {};
    return path && stat(path, &sb) == 0 && S_ISREG(sb.st_mode);
}

int pollStdin100ms()
{
    struct pollfd p {};
    p.fd = 0;
    p.events = POLLIN;
    return poll(&p, 1, 100);
}

shortu noView(bufdes*, shortu*)
{
    return TAV_CONTINUE;
}

} // namespace

EntryHooks defaultEntryHooks()
{
    EntryHooks h{};
    h.load = TAV_LOAD;
    h.view = noView;
    h.isRegularFile = statRegular;
    h.pollStdin = pollStdin100ms;
    return h;
}

int tavMain(int argc, char** argv, const EntryHooks& hooks)
{
    shortu source = SRC_NONE;
    std::string command; // the command string handed to TAV_LOAD (never cut)
    bool noStdin = false;

    if (argc < 2) {
        if (hooks.connect() != 0) {
            DIAG("\nTAVmain(): X Server Connect fail\n");
            return 255;
        }
    } else {
        if (wantsUsage(argc, argv)) {
            DIAG("%s", usageText().c_str());
            return 0;
        }
        if (hooks.connect() != 0) {
            DIAG("\nTAVmain(): X Server Connect fail\n");
            return 255;
        }
        int scanArgc = argc;
        const char* last = argv[argc - 1];
        const bool regular = hooks.isRegularFile(last);
        if (regular)
            --scanArgc; // a file argument is not an option value
        switch (classifyLastArg(argc, argv, regular)) {
        case LastArg::Image:
            command = buildImageCommand(last);
            source = SRC_STRING;
            break;
        case LastArg::Script:
            LDR_ERROR(23, last);
            noStdin = true;
            break;
        case LastArg::TooLong:
            LDR_ERROR(10, std::string(last).substr(0, 255));
            noStdin = true;
            break;
        case LastArg::Unquotable:
        case LastArg::Missing:
            LDR_ERROR(10, last);
            noStdin = true;
            break;
        case LastArg::None:
        case LastArg::OptionWord:
        case LastArg::OptionValue:
            break;
        }

        unsigned consumed = 0;
        std::string value;
        const bool dmax = optLookup(scanArgc, argv, "-dmax", false, value, consumed) != 0;
        const bool dmin = optLookup(scanArgc, argv, "-dmin", false, value, consumed) != 0;
        if (dmax)
            SET_DPY_TYPE(DPY_FULL);
        else if (dmin)
            SET_DPY_TYPE(DPY_MIN);
        if (optLookup(scanArgc, argv, "-cd", true, value, consumed)) {
            const std::string dir = value.empty() ? cwdWithSlash() : value;
            SET_IPATH(dir);
            SET_SPATH(dir);
        }
        if (optLookup(scanArgc, argv, "-c", true, value, consumed)) {
            command = value;
            source = SRC_STRING;
        }
        if (optLookup(scanArgc, argv, "-hdr", true, value, consumed))
            CHOOSE_HDR_DEFAULT_RANGE(hdrModeFromWord(value));
    }

    if (CRE_LDR_GUI() != 1) {
        DIAG("\ntavMain:CRE_LDR_GUI() fail\n");
        return 254;
    }
    CLAIM_FOLIOS(ALL_FOLIOS);
    // Both accumulators start from the default range mode (-hdr, else med3sd); the Loader
    // sBUFF is left active, as every HDR load expects.
    for (int id : {SBUFF_EXPLOIT, SBUFF_LOADER}) {
        SET_ACTIVE_sBUFF(id);
        HDR_DEFAULTS(hdrSet.rangeMode[id]);
    }
    bufdes* table = INIT_BUFMGT();
    if (!table) {
        DIAG("\ntavMain:INIT_BUFMGT() fail\n");
        return 1;
    }
    if (source == SRC_NONE && !noStdin && hooks.pollStdin() != 0)
        source = SRC_STREAM;

    shortu current = 0;
    shortu status = TAV_CONTINUE;
    for (;;) {
        std::string text;
        if (source == SRC_STRING || source == SRC_STREAM) {
            LDR_GUI(false);
        } else if (char* got = LDR_GUI(true)) {
            text = got;
            std::free(got);
        }
        if (!LDR_EXISTS())
            break;
        if (source == SRC_NONE && table[current].numImgs == 0 && text.empty()) {
            current = 0;
            LDR_MSG("\nCannot Exploit an empty iBUFF\nSelect Image, Script or Exit\n");
            continue;
        }
        if (!text.empty()) {
            command = std::move(text);
            source = SRC_STRING;
        }
        // Without a load this pass, an earlier load's status must not decide it.
        status = TAV_CONTINUE;
        if (source == SRC_STRING || source == SRC_STREAM)
            status = hooks.load(table, &current, source,
                                source == SRC_STRING ? command.c_str() : nullptr);
        source = SRC_NONE;
        command.clear();
        if (status == TAV_TO_LOADER)
            continue;
        if (status & TAV_LEAVE_MASK)
            break;
        if (table[current].numImgs < 1 && !(table[current].bufCtlm & bufSTATIC))
            continue;
        status = hooks.view(table, &current);
        testLog("view status %d", int(status));
        if (status & TAV_LEAVE_MASK)
            break;
    }

    LDR_DESTROY();
    CLAIM_FOLIOS(ALL_FOLIOS);
    RELEASE_BUFMGT();
    if (hooks.closeDisplay)
        hooks.closeDisplay();
    if (status & TAV_INTERNAL) {
        DIAG("\ntavMain exiting due to internal error\n");
        testLog("exit 70");
        return 70;
    }
    DIAG("\ntavMain: normal exit\n");
    testLog("exit 0");
    return 0;
}
