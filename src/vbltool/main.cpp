// vbltool: checks and builds what the launcher reads, with the launcher's own
// code, so that a level author sees what players will see.
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

#include <string>
#include <vector>
#ifdef _WIN32
#include <conio.h>
#endif

#include "commands.h"
#include "file_system.h"
#include "tool_arguments.h"
#include "tool_output.h"

namespace {

const char kHelp[] =
    "usage: vbltool COMMAND ARGS...\n"
    "\n"
    "  pcx2bmp IN.pcx OUT.bmp     decode a PCX picture as the launcher does and\n"
    "                             save it as BMP\n"
    "  pcx2bmp IN.pcx... DIR      the same for each picture, into the folder DIR\n"
    "                             as NAME.bmp\n"
    "  preview LEVEL.dat OUT.bmp  save the preview picture (entry level.pcx) of a\n"
    "                             level archive\n"
    "                             (pcx2bmp and preview write PNG when OUT ends in\n"
    "                             .png)\n"
    "  picture IN OUT.pcx [--crop] [--dither]\n"
    "                             make a level picture from a PNG, BMP, JPEG, TGA,\n"
    "                             GIF, PPM or PCX file: scaled down to fit\n"
    "                             407 x 263 (--crop: its top-left part, 1:1),\n"
    "                             256 colours (--dither: error diffusion),\n"
    "                             8-bit PCX\n"
    "  list LEVEL.dat             show the directory of a level archive; flag\n"
    "                             entries outside the file\n"
    "  pack OUT.dat FILE...       write a level archive holding FILEs under their\n"
    "                             base names (names of 1 to 11 characters; the\n"
    "                             picture must be level.pcx)\n"
    "  unpack LEVEL.dat DIR [--force]\n"
    "                             write each entry to DIR/NAME, creating DIR; all\n"
    "                             or nothing: on any failure (unsafe entry, full\n"
    "                             disk) DIR is left as it was; replaces existing\n"
    "                             files only with --force\n"
    "  check [--all] FILE...      report the problems of level archives, one per\n"
    "                             line, as FILE: error: ... or FILE: warning: ...;\n"
    "                             exit 1 on any error; at most 20 per file, then a\n"
    "                             count, unless --all\n"
    "  cmdline ARGS...            show the command line the launcher gives the game\n"
    "  --version                  show vbltool's version\n"
    "  --help, -h, /?             show this help\n"
    "\n"
    "Examples:\n"
    "  vbltool unpack levels/castle.dat castle/\n"
    "  vbltool pack castle.dat castle/level.pcx ...   # after changing them\n"
    "  vbltool check levels/*.dat                     # before publishing a pack\n"
    "\n"
    "A level's picture: screenshot.png -> vbltool picture -> level.pcx\n"
    "                   -> vbltool pack -> vbltool check\n"
    "  vbltool picture screenshot.png level.pcx\n"
    "  vbltool pack levels/castle.dat level.pcx castle.map\n"
    "  vbltool check levels/castle.dat\n"
    "\n"
    "Exit status: 0 done, 1 failed (the reason on stderr; check reports on\n"
    "stdout), 2 bad usage.\n";

#ifdef _WIN32
// Started from Explorer, the console closes as soon as vbltool ends.
const char kFromExplorer[] =
    "\n"
    "vbltool is a command-line program: open a command prompt in your game's\n"
    "folder (type cmd in Explorer's address bar and press Enter), then type\n"
    "vbltool --help\n"
    "\n"
    "Press a key to close this window.\n";
#endif

int RunCommand(int argc, char** argv)
{
    if (argc < 2) {
#ifdef _WIN32
        if (AloneOnConsole()) {
            PrintTo(stdout, "%s%s", kHelp, kFromExplorer);
            _getch();
            return 2;
        }
#endif
        PrintTo(stderr, "%s", kHelp);
        return 2;
    }
    const char* pszCommand = argv[1];
    int nRest = argc - 2;
    char** ppRest = argv + 2;
    if (strcmp(pszCommand, "--help") == 0 || strcmp(pszCommand, "-h") == 0 || strcmp(pszCommand, "help") == 0 ||
        strcmp(pszCommand, "/?") == 0) {
        PrintTo(stdout, "%s", kHelp);
        return 0;
    }
    if (strcmp(pszCommand, "--version") == 0) {
        PrintTo(stdout, "vbltool %s\n", VBLTOOL_VERSION);
        return 0;
    }
    if (strcmp(pszCommand, "pcx2bmp") == 0) return RunPcx2Bmp(nRest, ppRest);
    if (strcmp(pszCommand, "preview") == 0) return RunPreview(nRest, ppRest);
    if (strcmp(pszCommand, "list") == 0) return RunList(nRest, ppRest);
    if (strcmp(pszCommand, "pack") == 0) return RunPack(nRest, ppRest);
    if (strcmp(pszCommand, "unpack") == 0) return RunUnpack(nRest, ppRest);
    if (strcmp(pszCommand, "check") == 0) return RunCheck(nRest, ppRest);
    if (strcmp(pszCommand, "cmdline") == 0) return RunCmdline(nRest, ppRest);
    if (strcmp(pszCommand, "picture") == 0) return RunPicture(nRest, ppRest);
    PrintTo(stderr, "vbltool: unknown command '%s'\n\n%s", pszCommand, kHelp);
    return 2;
}

int Main(int argc, char** argv)
{
    if (!KeepStandardDescriptorsOpen()) {
        fputs("vbltool: a standard stream is closed, and the null device cannot be opened in its place\n", stderr);
        return 1;
    }
    // A picture too large for the 32-bit program's memory, say: a reason, not
    // an abort. An output is renamed into place only once whole, and unpack
    // puts its folder back itself, so nothing half-written stays.
    try {
        return RunCommand(argc, argv);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {  // a size no allocation can meet
    }
    PrintTo(stderr, "vbltool: out of memory\n");
    return 1;
}

}  // namespace

#ifdef _WIN32
// Windows hands the command line over in UTF-16 (-municode): tool_arguments.h
// makes the ANSI arguments of it, wildcards expanded.
int wmain(int argc, wchar_t** wargv)
{
    std::vector<std::string> args;
    int nStatus = 1;
    try {
        if (!TakeArguments(argc, wargv, &args, &nStatus)) return nStatus;
    } catch (const std::bad_alloc&) {
        PrintTo(stderr, "vbltool: out of memory\n");
        return 1;
    }
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    return Main(static_cast<int>(args.size()), argv.data());
}
#else
int main(int argc, char** argv)
{
    return Main(argc, argv);
}
#endif
