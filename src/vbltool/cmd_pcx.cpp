// pcx2bmp and preview: decode a picture with the launcher's own decoder and
// save the packed DIB it makes as a .bmp file (pcx2bmp: many into a folder).
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "picture_image.h"
#include "preview/level_archive.h"
#include "preview/pcx_decoder.h"
#include "tool_files.h"

namespace {

// What decoding gave: the packed DIB (or null), why not, and the plan.
struct Decoded {
    HGLOBAL hDib;
    PictureRefusal eRefusal;
    PcxPlannedDib planned;
};

// Saves the DIB (taking ownership of it) or reports why there is no image.
int SaveDecoded(const Decoded& d, const char* pszIn, const char* pszOut)
{
    HGLOBAL hDib = d.hDib;
    if (!hDib && d.eRefusal != kRefuseBitCount) {
        PrintTo(stderr, "vbltool: %s: %s\n", pszIn, PictureRefusalText(d.eRefusal));
        return 1;
    }
    // The launcher would show nothing for a picture its bitmap step refuses,
    // or that the decoder refused first for the same bit count.
    const DecodedPicture pic = hDib ? InspectDecoded(hDib) : InspectPlanned(d.planned);
    if (pic.pszRefusal) {
        if (hDib) GlobalFree(hDib);
        PrintTo(stderr, "vbltool: %s: the launcher cannot make a bitmap of it (%ld x %ld, %u bits per pixel): %s\n",
                pszIn, static_cast<long>(pic.lWidth), static_cast<long>(pic.lHeight), pic.wBitCount, pic.pszRefusal);
        return 1;
    }
    const char* pszWriteReason = nullptr;
    bool bOk = HasPngExtension(pszOut) ? WritePngFile(hDib, pszOut, &pszWriteReason)
                                       : WriteBmpFile(hDib, pszOut, &pszWriteReason);
    GlobalFree(hDib);
    ReportReadCalls();
    if (!bOk) {
        PrintTo(stderr, "vbltool: %s: %s\n", pszOut, pszWriteReason);
        return 1;
    }
    return 0;
}

// A bare PCX file is one entry at offset 0 that fills the whole file.
Decoded DecodeBarePcx(HFILE hFile, LONG lSize)
{
    Decoded d = {nullptr, kPictureMade, {0, 0, 0}};
    d.hDib = ReadPcxFileWithReason(hFile, 0, lSize, &d.eRefusal, nullptr, &d.planned);
    return d;
}

Decoded DecodeLevel(HFILE hFile, LONG /*lSize*/)
{
    Decoded d = {nullptr, kPictureMade, {0, 0, 0}};
    HBITMAP hDib = nullptr;
    ExtractPcxFromArchive(hFile, &hDib, &d.eRefusal, nullptr, &d.planned);
    d.hDib = static_cast<HGLOBAL>(hDib);
    return d;
}

// IN OUT.bmp: decodes IN with pfnDecode (which closes the file) and saves it.
int DecodeToBmp(int argc, char** argv, const char* pszUsage, Decoded (*pfnDecode)(HFILE, LONG))
{
    LONG lSize = 0;
    int nStatus = 0;
    HFILE hFile = OpenCommandInput(argc, argv, 2, pszUsage, &lSize, &nStatus);
    if (hFile == HFILE_ERROR) return nStatus;
    return SaveDecoded(pfnDecode(hFile, lSize), argv[0], argv[1]);
}

// DIR/NAME.bmp for pszIn: its base name less a .pcx extension (any case), plus .bmp.
std::string BmpPathIn(const char* pszDir, const char* pszIn)
{
    std::string strName = BaseName(pszIn);
    const size_t nDot = strName.rfind('.');
    if (nDot != std::string::npos && strName.size() - nDot == 4 && strcasecmp(strName.c_str() + nDot, ".pcx") == 0) {
        strName.resize(nDot);
    }
    return JoinPath(pszDir, (strName + ".bmp").c_str());
}

// IN.pcx... DIR: each picture into DIR as NAME.bmp, every one tried; 1 when
// any failed. Two pictures that would land on one name (ignoring case, as
// Windows folders do) are refused before anything is written.
int Pcx2BmpInto(int nIn, char** ppIn, const char* pszDir)
{
    std::vector<std::string> outs;
    for (int i = 0; i < nIn; ++i) {
        outs.push_back(BmpPathIn(pszDir, ppIn[i]));
        for (int j = 0; j < i; ++j) {
            if (strcasecmp(outs[j].c_str(), outs[i].c_str()) != 0) continue;
            PrintTo(stderr, "vbltool: %s and %s would both be written as %s\n", ppIn[j], ppIn[i], outs[i].c_str());
            return 1;
        }
    }
    int nStatus = 0;
    for (int i = 0; i < nIn; ++i) {
        LONG lSize = 0;
        HFILE hFile = OpenInput(ppIn[i], &lSize);
        if (hFile == HFILE_ERROR) {
            nStatus = 1;
            continue;
        }
        if (SaveDecoded(DecodeBarePcx(hFile, lSize), ppIn[i], outs[i].c_str()) != 0) nStatus = 1;
    }
    return nStatus;
}

// True when pszPath names a folder by its form, ending with a separator.
bool EndsWithSeparator(const char* pszPath)
{
    const size_t cch = strlen(pszPath);
#ifdef _WIN32
    return cch > 0 && (pszPath[cch - 1] == '/' || pszPath[cch - 1] == '\\');
#else
    return cch > 0 && pszPath[cch - 1] == '/';
#endif
}

}  // namespace

int RunPcx2Bmp(int argc, char** argv)
{
    if (argc >= 2 && IsFolder(argv[argc - 1])) return Pcx2BmpInto(argc - 1, argv, argv[argc - 1]);
    // Several pictures, or a folder by its form: the last argument is the
    // folder to write into, and it is not one.
    if (argc > 2 || (argc == 2 && EndsWithSeparator(argv[1]))) {
        const char* pszDir = argv[argc - 1];
        PrintTo(stderr, "vbltool: %s: %s; pcx2bmp IN.pcx... DIR writes into an existing folder\n", pszDir,
                PathExists(pszDir) ? "is not a folder" : "the folder does not exist");
        return 1;
    }
    return DecodeToBmp(argc, argv, "pcx2bmp IN.pcx OUT.bmp | IN.pcx... DIR", DecodeBarePcx);
}

int RunPreview(int argc, char** argv)
{
    return DecodeToBmp(argc, argv, "preview LEVEL.dat OUT.bmp", DecodeLevel);
}
