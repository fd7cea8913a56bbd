#include "tool_input.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "file_system.h"
#include "tool_output.h"

HFILE OpenInput(const char* pszPath, LONG* plSize)
{
    HFILE hFile = _lopen(pszPath, OF_READ);
    if (hFile == HFILE_ERROR) {
        const bool bHeld = HeldByAnotherProgram(pszPath);
        // The ANSI calls take no path whose full form reaches MAX_PATH.
        const bool bLong = strlen(pszPath) >= MAX_PATH || GetFullPathNameA(pszPath, 0, nullptr, nullptr) > MAX_PATH;
        PrintTo(stderr, "vbltool: %s: %s\n", pszPath,
                bLong   ? "the path is too long"
                : bHeld ? "another program is using it"
                        : "cannot open the file");
        return HFILE_ERROR;
    }
    LONG lSize = _llseek(hFile, 0, FILE_END);
    _llseek(hFile, 0, FILE_BEGIN);
    if (lSize < 0) {
        _lclose(hFile);
        PrintTo(stderr, "vbltool: %s: file is larger than 2 GiB or cannot be read\n", pszPath);
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
        PrintTo(stderr, "usage: vbltool %s\n", pszUsage);
        return HFILE_ERROR;
    }
    *pnStatus = 1;
    return OpenInput(argv[0], plSize);
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

void ReportReadCalls()
{
    if (!getenv("VBLTOOL_STATS")) return;
    long lCalls = ReadCallCount();
    if (lCalls >= 0) PrintTo(stderr, "vbltool: %ld read calls\n", lCalls);
}
