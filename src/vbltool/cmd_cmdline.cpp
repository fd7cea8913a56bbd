// cmdline: the exact parameter string the launcher hands vorbel.exe for a
// level and a set of ticked options, built by the launcher's own code.
#include <cstdio>
#include <cstring>

#include "commands.h"
#include "launcher/parameter_string.h"
#include "tool_output.h"

namespace {

const char kUsage[] =
    "usage: vbltool cmdline [--fireworks] [--fullscreen] [--scaleup] [--nosound]\n"
    "                       [--musicnosound] [--nogore] [--noflies] [--mirror] [LEVEL]\n"
    "  LEVEL is a level name as the list shows it (file name less \".dat\");\n"
    "  required without --fireworks, ignored with it. \"--\" ends the options.\n";

// The option bit of "--<name>" where the game's switch is " -<name>"; 0 when
// the argument names no option.
unsigned OptionOfFlag(const char* pszArg)
{
    for (int i = 0; i < kGameOptionCount; ++i) {
        if (strcmp(pszArg + 1, GameOptionSwitches[i] + 1) == 0) return 1u << i;
    }
    return 0;
}

int BadUsage(const char* pszWhy, const char* pszArg)
{
    PrintTo(stderr, "vbltool cmdline: %s%s\n%s", pszWhy, pszArg, kUsage);
    return 2;
}

}  // namespace

int RunCmdline(int argc, char** argv)
{
    int nMode = kLaunchLevel;
    unsigned fOptions = 0;
    const char* pszLevel = nullptr;
    bool bOptionsEnded = false;
    for (int i = 0; i < argc; ++i) {
        const char* pszArg = argv[i];
        if (!bOptionsEnded && strncmp(pszArg, "--", 2) == 0) {
            if (strcmp(pszArg, "--") == 0) {
                bOptionsEnded = true;
            } else if (strcmp(pszArg, "--fireworks") == 0) {
                nMode = kLaunchFireworks;
            } else if (unsigned fOption = OptionOfFlag(pszArg)) {
                fOptions |= fOption;
            } else {
                return BadUsage("unknown option ", pszArg);
            }
        } else if (pszLevel != nullptr) {
            return BadUsage("more than one level: ", pszArg);
        } else {
            pszLevel = pszArg;
        }
    }
    if (nMode == kLaunchLevel && pszLevel == nullptr) return BadUsage("no level given", "");
    PrintTo(stdout, "params: \"%s\"\n",
            BuildParameterString(nMode, nMode == kLaunchLevel ? pszLevel : "", fOptions).c_str());
    return 0;
}
