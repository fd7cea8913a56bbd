// pcx2bmp and preview: decode a picture with the launcher's own decoder and
// save the packed DIB it makes as a .bmp file.
#include <cstdio>

#include "commands.h"
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
    bool bOk = WriteBmpFile(hDib, pszOut, &pszWriteReason);
    GlobalFree(hDib);
    ReportReadCalls();
    if (!bOk) {
        fprintf(stderr, "vbltool: %s: %s\n", pszOut, pszWriteReason);
        return 1;
    }
    return 0;
}

}  // namespace

int RunPcx2Bmp(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: vbltool pcx2bmp IN.pcx OUT.bmp\n");
        return 2;
    }
    PictureRefusal eRefusal = kPictureMade;
    LONG lSize = 0;
    HFILE hFile = OpenInput(argv[0], &lSize);
    if (hFile == HFILE_ERROR) return 1;
    // A bare PCX file is one entry at offset 0 that fills the whole file.
    HGLOBAL hDib = ReadPcxFileWithReason(hFile, 0, lSize, &eRefusal);
    return SaveDecoded(hDib, argv[0], argv[1], eRefusal);
}

int RunPreview(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: vbltool preview LEVEL.dat OUT.bmp\n");
        return 2;
    }
    PictureRefusal eRefusal = kPictureMade;
    LONG lSize = 0;
    HFILE hFile = OpenInput(argv[0], &lSize);
    if (hFile == HFILE_ERROR) return 1;
    HBITMAP hDib = nullptr;
    ExtractPcxFromArchive(hFile, &hDib, &eRefusal);
    return SaveDecoded(static_cast<HGLOBAL>(hDib), argv[0], argv[1], eRefusal);
}
