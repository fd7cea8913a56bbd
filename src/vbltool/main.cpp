// vbltool: checks and builds what the launcher reads, with the launcher's own
// code, so that a level author sees what players will see.
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

#include "commands.h"
#include "file_system.h"

namespace {

const char kHelp[] =
    "usage: vbltool COMMAND ARGS...\n"
    "\n"
    "  pcx2bmp IN.pcx OUT.bmp    decode a PCX picture as the launcher does and save it as BMP\n"
    "  pcx2bmp IN.pcx... DIR     the same for each picture, into the folder DIR as NAME.bmp\n"
    "  preview LEVEL.dat OUT.bmp save the preview picture (entry level.pcx) of a level archive\n"
    "                            (pcx2bmp and preview write PNG when OUT ends in .png)\n"
    "  picture IN OUT.pcx [--crop] [--dither]\n"
    "                            make a level picture from PNG, BMP, JPEG, TGA, GIF, PPM or PCX:\n"
    "                            scaled down to fit 407 x 263 (--crop: its top-left part, 1:1),\n"
    "                            256 colours (--dither: error diffusion), 8-bit PCX\n"
    "  list LEVEL.dat            show the directory of a level archive; flag entries outside the file\n"
    "  pack OUT.dat FILE...      write a level archive holding FILEs under their base names\n"
    "                            (names of 1 to 11 characters; the picture must be level.pcx)\n"
    "  unpack LEVEL.dat DIR [--force]\n"
    "                            write each entry to DIR/NAME, creating DIR; all or nothing: on any\n"
    "                            failure (unsafe entry, full disk) DIR is left as it was; replaces\n"
    "                            existing files only with --force\n"
    "  check [--all] FILE...     report the problems of level archives, one per line, as\n"
    "                            FILE: error: ... or FILE: warning: ...; exit 1 on any error;\n"
    "                            at most 20 per file, then a count, unless --all\n"
    "  cmdline ARGS...           show the command line the launcher gives the game\n"
    "  --version                 show vbltool's version\n"
    "\n"
    "Examples:\n"
    "  vbltool unpack levels/castle.dat castle/   # then: vbltool pack castle.dat castle/level.pcx ...\n"
    "  vbltool check levels/*.dat                 # before publishing a level pack\n"
    "\n"
    "A level's picture: screenshot.png -> vbltool picture -> level.pcx -> vbltool pack -> vbltool check\n"
    "  vbltool picture screenshot.png level.pcx\n"
    "  vbltool pack levels/castle.dat level.pcx castle.map\n"
    "  vbltool check levels/castle.dat\n"
    "\n"
    "Exit status: 0 done, 1 failed (the reason on stderr; check reports on stdout), 2 bad usage.\n";

int RunCommand(int argc, char** argv)
{
    if (argc < 2) {
        fputs(kHelp, stderr);
        return 2;
    }
    const char* pszCommand = argv[1];
    int nRest = argc - 2;
    char** ppRest = argv + 2;
    if (strcmp(pszCommand, "--help") == 0 || strcmp(pszCommand, "-h") == 0 || strcmp(pszCommand, "help") == 0) {
        fputs(kHelp, stdout);
        return 0;
    }
    if (strcmp(pszCommand, "--version") == 0) {
        printf("vbltool %s\n", VBLTOOL_VERSION);
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
    fprintf(stderr, "vbltool: unknown command '%s'\n\n%s", pszCommand, kHelp);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
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
    fputs("vbltool: out of memory\n", stderr);
    return 1;
}
