// The file-format core's view of the platform on Linux: the few kernel32 and
// user32 calls and records it uses, with the Windows names, sizes and layouts,
// implemented over POSIX in standin_*.cpp. Only what the core, vbltool and
// their tests rely on is here; the Windows build includes <windows.h> instead.
#pragma once

#include <cstddef>
#include <cstdint>

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;  // 32 bits as on Windows (LLP64), whatever long is here
typedef unsigned int UINT;
typedef int BOOL;
typedef char CHAR;
typedef size_t SIZE_T;
typedef int HFILE;  // a file descriptor
typedef void* HANDLE;
typedef HANDLE HGLOBAL;
typedef void* LPVOID;
typedef const char* LPCSTR;
typedef char* LPSTR;

struct HWND__ {
    int unused;
};
typedef HWND__* HWND;
struct HBITMAP__ {
    int unused;
};
typedef HBITMAP__* HBITMAP;

#define WINAPI
#define CALLBACK

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define MAX_PATH 260
#define OFS_MAXPATHNAME 128

#define OF_READ 0x0000
#define HFILE_ERROR ((HFILE)-1)

#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2

#define MOVEFILE_REPLACE_EXISTING 0x00000001

#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

#define MB_OK 0x00000000
#define IDOK 1

#define BI_RGB 0
#define DIB_RGB_COLORS 0

typedef struct _OFSTRUCT {
    BYTE cBytes;
    BYTE fFixedDisk;
    WORD nErrCode;
    WORD Reserved1;
    WORD Reserved2;
    CHAR szPathName[OFS_MAXPATHNAME];
} OFSTRUCT, *LPOFSTRUCT;

typedef struct tagRGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
} RGBQUAD;

typedef struct tagRGBTRIPLE {
    BYTE rgbtBlue;
    BYTE rgbtGreen;
    BYTE rgbtRed;
} RGBTRIPLE;

typedef struct tagBITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
} BITMAPINFOHEADER;

typedef struct tagBITMAPCOREHEADER {
    DWORD bcSize;
    WORD bcWidth;
    WORD bcHeight;
    WORD bcPlanes;
    WORD bcBitCount;
} BITMAPCOREHEADER;

typedef struct tagBITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
} BITMAPINFO;

#pragma pack(push, 2)
typedef struct tagBITMAPFILEHEADER {
    WORD bfType;
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
} BITMAPFILEHEADER;
#pragma pack(pop)

static_assert(sizeof(OFSTRUCT) == 136, "OFSTRUCT layout");
static_assert(sizeof(RGBQUAD) == 4, "RGBQUAD layout");
static_assert(sizeof(RGBTRIPLE) == 3, "RGBTRIPLE layout");
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER layout");
static_assert(sizeof(BITMAPCOREHEADER) == 12, "BITMAPCOREHEADER layout");
static_assert(sizeof(BITMAPINFO) == 44, "BITMAPINFO layout");
static_assert(sizeof(BITMAPFILEHEADER) == 14, "BITMAPFILEHEADER layout");

// C linkage, as on Windows (and so that tests can wrap them at link time).
extern "C" {

// 16-bit-style file calls. Paths take '\' or '/'; a component that does not
// exist under its exact name is looked up without regard to letter case, so
// ".\Levels\x.dat" opens "./levels/x.dat". Directories never open.
// As on Windows, OpenFile refuses a path whose full form (current directory
// included) is 128 characters or more, _lopen one of MAX_PATH or more.
HFILE OpenFile(LPCSTR lpFileName, LPOFSTRUCT lpReOpenBuff, UINT uStyle);
HFILE _lopen(LPCSTR lpPathName, int iReadWrite);
// The absolute form of a path, with '/' separators; Windows' contract for
// the result and the buffer size.
DWORD GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength, LPSTR lpBuffer, LPSTR* lpFilePart);
UINT _lread(HFILE hFile, LPVOID lpBuffer, UINT uBytes);
LONG _llseek(HFILE hFile, LONG lOffset, int iOrigin);
HFILE _lclose(HFILE hFile);
// Renames a file or link (never what a link points to). As on Windows, an
// existing target is refused unless dwFlags has MOVEFILE_REPLACE_EXISTING,
// and even then when it is a folder. Paths are taken exactly as given: no
// caseless lookup, and a backslash is no separator.
BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags);

// Global memory. A movable block's handle is not its address: only
// GlobalLock gives the bytes, as on Windows.
HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes);
LPVOID GlobalLock(HGLOBAL hMem);
BOOL GlobalUnlock(HGLOBAL hMem);
HGLOBAL GlobalFree(HGLOBAL hMem);
SIZE_T GlobalSize(HGLOBAL hMem);

int lstrcmpA(LPCSTR lpString1, LPCSTR lpString2);
LPSTR lstrcpyA(LPSTR lpString1, LPCSTR lpString2);
LPSTR lstrcatA(LPSTR lpString1, LPCSTR lpString2);
LPSTR lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength);
int lstrlenA(LPCSTR lpString);

// Writes "[caption] text" to stderr and answers IDOK.
int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);

// _lread calls since start: vbltool prints them when VBLTOOL_STATS is set.
unsigned long StandinReadCalls();

}  // extern "C"
