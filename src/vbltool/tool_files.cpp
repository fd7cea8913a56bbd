#include "tool_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <direct.h>
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "preview/dib_header.h"

#ifndef O_BINARY
#define O_BINARY 0
#endif
#ifndef O_NOFOLLOW
#define O_NOFOLLOW 0
#endif

HFILE OpenInput(const char* pszPath, LONG* plSize)
{
    HFILE hFile = _lopen(pszPath, OF_READ);
    if (hFile == HFILE_ERROR) {
        fprintf(stderr, "vbltool: %s: cannot open the file\n", pszPath);
        return HFILE_ERROR;
    }
    LONG lSize = _llseek(hFile, 0, FILE_END);
    _llseek(hFile, 0, FILE_BEGIN);
    if (lSize < 0) {
        _lclose(hFile);
        fprintf(stderr, "vbltool: %s: file is larger than 2 GiB or cannot be read\n", pszPath);
        return HFILE_ERROR;
    }
    *plSize = lSize;
    return hFile;
}

std::vector<const char*> ArgsWithout(int argc, char** argv, const char* pszFlag, bool* pbSeen)
{
    std::vector<const char*> args;
    *pbSeen = false;
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], pszFlag) == 0)
            *pbSeen = true;
        else
            args.push_back(argv[i]);
    }
    return args;
}

HFILE OpenCommandInput(int argc, char** argv, int nArgs, const char* pszUsage, LONG* plSize, int* pnStatus)
{
    *pnStatus = 2;
    if (argc != nArgs) {
        fprintf(stderr, "usage: vbltool %s\n", pszUsage);
        return HFILE_ERROR;
    }
    *pnStatus = 1;
    return OpenInput(argv[0], plSize);
}

namespace {

// Size of the packed DIB from its own header, checked against the block so
// that a bad header can never make us write bytes the block does not have.
bool PackedDibBytes(const BYTE* pBlock, SIZE_T cbBlock, DWORD* pcbDib, DWORD* pcbBeforeBits)
{
    if (cbBlock < sizeof(BITMAPINFOHEADER)) return false;
    BITMAPINFOHEADER bih;
    memcpy(&bih, pBlock, sizeof(bih));
    uint64_t cbBefore = uint64_t{bih.biSize} + uint64_t{bih.biClrUsed} * sizeof(RGBQUAD);
    uint64_t cbAll = cbBefore + bih.biSizeImage;
    if (bih.biSize != sizeof(BITMAPINFOHEADER) || cbAll > cbBlock || cbAll > UINT32_MAX - sizeof(BITMAPFILEHEADER)) {
        return false;
    }
    *pcbDib = static_cast<DWORD>(cbAll);
    *pcbBeforeBits = static_cast<DWORD>(cbBefore);
    return true;
}

}  // namespace

void PutLe16(unsigned char* p, unsigned v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void PutLe32(unsigned char* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

bool WriteBmpFile(HGLOBAL hDib, const char* pszPath, const char** ppszReason)
{
    const BYTE* pBlock = static_cast<const BYTE*>(GlobalLock(hDib));
    if (!pBlock) {
        *ppszReason = "cannot lock the image";
        return false;
    }
    DWORD cbDib = 0;
    DWORD cbBeforeBits = 0;
    bool bOk = PackedDibBytes(pBlock, GlobalSize(hDib), &cbDib, &cbBeforeBits);
    if (!bOk) *ppszReason = "image block is inconsistent";
    if (bOk) {
        unsigned char abHead[sizeof(BITMAPFILEHEADER)];
        PutLe16(abHead, 0x4D42);  // "BM"
        PutLe32(abHead + 2, cbDib + sizeof(BITMAPFILEHEADER));
        PutLe32(abHead + 6, 0);
        PutLe32(abHead + 10, cbBeforeBits + sizeof(BITMAPFILEHEADER));
        const WritePiece aPieces[] = {{abHead, sizeof(abHead)}, {pBlock, cbDib}};
        bOk = WritePiecesWhole(pszPath, aPieces, 2, ppszReason);
    }
    GlobalUnlock(hDib);
    return bOk;
}

DecodedPicture InspectDecoded(HGLOBAL hDib)
{
    DecodedPicture pic = {0, 0, 0, "cannot lock the image"};
    const auto* lpbi = static_cast<const BITMAPINFO*>(GlobalLock(hDib));
    if (!lpbi) return pic;
    // The launcher's own test before it makes a bitmap (DibToBitmap).
    pic.pszRefusal = DibRefusalText(DIBitmapRefusal(lpbi, GlobalSize(hDib)));
    if (GlobalSize(hDib) >= sizeof(BITMAPINFOHEADER)) {
        pic.lWidth = lpbi->bmiHeader.biWidth;
        pic.lHeight = lpbi->bmiHeader.biHeight;
        pic.wBitCount = lpbi->bmiHeader.biBitCount;
    }
    GlobalUnlock(hDib);
    return pic;
}

bool ReadWholeFile(const char* pszPath, std::vector<unsigned char>* pData)
{
    FILE* pIn = fopen(pszPath, "rb");
    if (!pIn) return false;
    pData->clear();
    unsigned char abChunk[65536];
    size_t n;
    while ((n = fread(abChunk, 1, sizeof(abChunk), pIn)) > 0) pData->insert(pData->end(), abChunk, abChunk + n);
    bool bOk = !ferror(pIn);
    fclose(pIn);
    return bOk;
}

namespace {

// The folder that holds pszPath, as a path to join names to.
std::string FolderOf(const char* pszPath)
{
    const std::string strPath(pszPath);
#ifdef _WIN32
    const size_t pos = strPath.find_last_of("/\\");
#else
    const size_t pos = strPath.find_last_of('/');
#endif
    return pos == std::string::npos ? std::string(".") : strPath.substr(0, pos + 1);
}

// write() of every byte, in pieces an int can count.
bool WriteAll(int fd, const void* pData, size_t cb)
{
    const BYTE* p = static_cast<const BYTE*>(pData);
    while (cb > 0) {
        const unsigned cbNow = static_cast<unsigned>(cb < (1u << 20) ? cb : (1u << 20));
        if (write(fd, p, cbNow) != static_cast<int>(cbNow)) return false;
        p += cbNow;
        cb -= cbNow;
    }
    return true;
}

}  // namespace

bool WritePiecesWhole(const char* pszPath, const WritePiece* pPieces, int nPieces, const char** ppszReason)
{
    unsigned uNext = 0;
    std::string strTemp;
    const int fd = CreateScratchFile(FolderOf(pszPath), &uNext, &strTemp);
    if (fd < 0) {
        *ppszReason = "cannot create a temporary file beside it";
        return false;
    }
    bool bOk = true;
    for (int i = 0; bOk && i < nPieces; ++i) bOk = WriteAll(fd, pPieces[i].pData, pPieces[i].cb);
    bOk = close(fd) == 0 && bOk;
    if (!bOk) {
        *ppszReason = "cannot write the file";
    } else if (!MoveFileExA(strTemp.c_str(), pszPath, MOVEFILE_REPLACE_EXISTING)) {
        *ppszReason = "cannot put the file in place";
        bOk = false;
    }
    if (!bOk) remove(strTemp.c_str());
    return bOk;
}

std::string BaseName(const std::string& strPath)
{
    size_t pos = strPath.find_last_of("/\\");
    return pos == std::string::npos ? strPath : strPath.substr(pos + 1);
}

std::string JoinPath(const std::string& strFolder, const char* pszName)
{
    const char cLast = strFolder.empty() ? '/' : strFolder.back();
    return strFolder + (cLast == '/' || cLast == '\\' ? "" : "/") + pszName;
}

void ReportReadCalls()
{
    if (!getenv("VBLTOOL_STATS")) return;
    long lCalls = ReadCallCount();
    if (lCalls >= 0) fprintf(stderr, "vbltool: %ld read calls\n", lCalls);
}

std::string PrintableName(const char* pszName)
{
    std::string str;
    for (const char* p = pszName; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c >= 0x20 && c < 0x7F) {
            str += static_cast<char>(c);
        } else {
            char szByte[5];
            snprintf(szByte, sizeof(szByte), "\\x%02X", c);
            str += szByte;
        }
    }
    return str;
}

bool PathExists(const char* pszPath)
{
#ifdef _WIN32
    return GetFileAttributesA(pszPath) != INVALID_FILE_ATTRIBUTES;
#else
    struct stat st;
    return lstat(pszPath, &st) == 0;
#endif
}

bool IsFolder(const char* pszPath)
{
    struct stat st;
    return stat(pszPath, &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeFolder(const char* pszPath)
{
#ifdef _WIN32
    return _mkdir(pszPath) == 0;
#else
    return mkdir(pszPath, 0777) == 0;
#endif
}

int CreateNewFile(const char* pszPath)
{
    return open(pszPath, O_WRONLY | O_CREAT | O_EXCL | O_BINARY | O_NOFOLLOW, 0666);
}

bool RemoveFolder(const char* pszPath)
{
#ifdef _WIN32
    return _rmdir(pszPath) == 0;
#else
    return rmdir(pszPath) == 0;
#endif
}

namespace {

constexpr unsigned kScratchNumbers = 100000;

std::string ScratchName(const std::string& strFolder, unsigned uNumber)
{
    char szName[16];
    snprintf(szName, sizeof(szName), "VBL%05u.TMP", uNumber % kScratchNumbers);
    return JoinPath(strFolder, szName);
}

}  // namespace

int CreateScratchFile(const std::string& strFolder, unsigned* puNext, std::string* pPath)
{
    for (; *puNext < kScratchNumbers; ++*puNext) {
        *pPath = ScratchName(strFolder, *puNext);
        const int fd = CreateNewFile(pPath->c_str());
        if (fd >= 0) {
            ++*puNext;
            return fd;
        }
        if (errno != EEXIST && !PathExists(pPath->c_str())) return -1;
    }
    errno = EEXIST;
    return -1;
}

bool MoveToScratch(const char* pszPath, const std::string& strFolder, unsigned* puNext, std::string* pPath)
{
    for (; *puNext < kScratchNumbers; ++*puNext) {
        *pPath = ScratchName(strFolder, *puNext);
        if (PathExists(pPath->c_str())) continue;
        if (MoveFileExA(pszPath, pPath->c_str(), 0)) {
            ++*puNext;
            return true;
        }
        if (!PathExists(pPath->c_str())) return false;
    }
    return false;
}

bool IsShortNamePath(const char* pszPath, std::string* pStored)
{
#ifdef _WIN32
    WIN32_FIND_DATAA found;
    HANDLE hFind = FindFirstFileA(pszPath, &found);
    if (hFind == INVALID_HANDLE_VALUE) return false;
    FindClose(hFind);
    *pStored = found.cFileName;
    return _stricmp(found.cFileName, BaseName(pszPath).c_str()) != 0;
#else
    (void)pszPath;
    (void)pStored;
    return false;  // no second names here
#endif
}
