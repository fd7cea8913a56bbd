// pcx2bmp and preview: decode a picture with the launcher's own decoder and
// save the packed DIB it makes as a .bmp file.
#include <cstdio>

#include "commands.h"
#include "picture_image.h"
#include "preview/level_archive.h"
#include "preview/pcx_decoder.h"
#include "tool_files.h"

namespace {

// Saves hDib (taking ownership of it) or reports why there is no image.
int SaveDecoded(HGLOBAL hDib, const char* pszIn, const char* pszOut, PictureRefusal eRefusal)
{
    if (!hDib) {
        fprintf(stderr, "vbltool: %s: %s\n", pszIn, PictureRefusalText(eRefusal));
        return 1;
    }
    // The launcher would show nothing for a picture its bitmap step refuses.
    const DecodedPicture pic = InspectDecoded(hDib);
    if (pic.pszRefusal) {
        GlobalFree(hDib);
        fprintf(stderr, "vbltool: %s: the launcher cannot make a bitmap of it (%ld x %ld, %u bits per pixel): %s\n",
                pszIn, static_cast<long>(pic.lWidth), static_cast<long>(pic.lHeight), pic.wBitCount, pic.pszRefusal);
        return 1;
    }
    const char* pszWriteReason = nullptr;
    bool bOk = HasPngExtension(pszOut) ? WritePngFile(hDib, pszOut, &pszWriteReason)
                                       : WriteBmpFile(hDib, pszOut, &pszWriteReason);
    GlobalFree(hDib);
    ReportReadCalls();
    if (!bOk) {
        fprintf(stderr, "vbltool: %s: %s\n", pszOut, pszWriteReason);
        return 1;
    }
    return 0;
}

// A bare PCX file is one entry at offset 0 that fills the whole file.
HGLOBAL DecodeBarePcx(HFILE hFile, LONG lSize, PictureRefusal* pRefusal)
{
    return ReadPcxFileWithReason(hFile, 0, lSize, pRefusal);
}

HGLOBAL DecodeLevel(HFILE hFile, LONG /*lSize*/, PictureRefusal* pRefusal)
{
    HBITMAP hDib = nullptr;
    ExtractPcxFromArchive(hFile, &hDib, pRefusal);
    return static_cast<HGLOBAL>(hDib);
}

// IN OUT.bmp: decodes IN with pfnDecode (which closes the file) and saves it.
int DecodeToBmp(int argc, char** argv, const char* pszUsage, HGLOBAL (*pfnDecode)(HFILE, LONG, PictureRefusal*))
{
    LONG lSize = 0;
    int nStatus = 0;
    HFILE hFile = OpenCommandInput(argc, argv, 2, pszUsage, &lSize, &nStatus);
    if (hFile == HFILE_ERROR) return nStatus;
    PictureRefusal eRefusal = kPictureMade;
    HGLOBAL hDib = pfnDecode(hFile, lSize, &eRefusal);
    return SaveDecoded(hDib, argv[0], argv[1], eRefusal);
}

}  // namespace

int RunPcx2Bmp(int argc, char** argv)
{
    return DecodeToBmp(argc, argv, "pcx2bmp IN.pcx OUT.bmp", DecodeBarePcx);
}

int RunPreview(int argc, char** argv)
{
    return DecodeToBmp(argc, argv, "preview LEVEL.dat OUT.bmp", DecodeLevel);
}
