// tav_loaddrv [-o out.pam] [-m messages.txt] [-hdr mode] ["command string" | -]
// Runs loader commands without a display ("-": a command stream on standard input) and
// writes the current iBUFF as a PAM image. Exit status: TAV_LOAD's status.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "hdrSettings.h"
#include "loaddrv.h"

int main(int argc, char** argv)
{
    std::string out, msgs, cmd;
    int hdrMode = -1; // -hdr as tav takes it: 0 med3sd, 1 mean3sd, 2 full
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "-o") && i + 1 < argc)
            out = argv[++i];
        else if (!std::strcmp(argv[i], "-m") && i + 1 < argc)
            msgs = argv[++i];
        else if (!std::strcmp(argv[i], "-hdr") && i + 1 < argc)
            hdrMode = std::atoi(argv[++i]);
        else
            cmd = argv[i];
    }
    if (cmd.empty()) {
        std::fprintf(stderr, "use: tav_loaddrv [-o out.pam] [-m messages.txt] \"command\" | -\n");
        return 2;
    }
    loaddrv::reset();
    if (hdrMode >= 0)
        CHOOSE_HDR_DEFAULT_RANGE(hdrMode);
    loaddrv::Result r = cmd == "-" ? loaddrv::runStream(stdin) : loaddrv::runCommand(cmd);
    if (!out.empty() && !r.pam.empty()) {
        if (std::FILE* f = std::fopen(out.c_str(), "wb")) {
            std::fwrite(r.pam.data(), 1, r.pam.size(), f);
            std::fclose(f);
        }
    }
    if (!msgs.empty()) {
        if (std::FILE* f = std::fopen(msgs.c_str(), "wb")) {
            std::fwrite(r.messages.data(), 1, r.messages.size(), f);
            std::fclose(f);
        }
    }
    return r.status;
}
