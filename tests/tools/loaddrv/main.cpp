// tav_loaddrv [-o out.pam] [-m messages.txt] ["command string" | -]
// Runs loader commands without a display ("-": a command stream on standard input) and
// writes the current iBUFF as a PAM image. Exit status: TAV_LOAD's status.
#include <cstdio>
#include <cstring>
#include <string>

#include "loaddrv.h"

int main(int argc, char** argv)
{
    std::string out, msgs, cmd;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "-o") && i + 1 < argc)
            out = argv[++i];
        else if (!std::strcmp(argv[i], "-m") && i + 1 < argc)
            msgs = argv[++i];
        else
            cmd = argv[i];
    }
    if (cmd.empty()) {
        std::fprintf(stderr, "use: tav_loaddrv [-o out.pam] [-m messages.txt] \"command\" | -\n");
        return 2;
    }
    loaddrv::reset();
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
