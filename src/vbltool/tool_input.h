// The sub-commands' arguments and input files.
#pragma once

#include <vector>

#include "vbl_platform.h"

// Opens path for reading with the core's file calls and tells its size.
// Returns HFILE_ERROR, after a one-line reason on stderr, when the file
// cannot be opened or is too large for the 32-bit offsets of the formats.
HFILE OpenInput(const char* pszPath, LONG* plSize);

// The same for a sub-command's first argument, once argc is nArgs; else the
// usage line on stderr. *pnStatus: the exit status when HFILE_ERROR comes
// back (2 for bad usage, 1 for a file that cannot be opened).
HFILE OpenCommandInput(int argc, char** argv, int nArgs, const char* pszUsage, LONG* plSize, int* pnStatus);

// A sub-command's arguments less every pszFlag among them, anywhere in the
// line; *pbSeen tells whether there was one.
std::vector<const char*> ArgsWithout(int argc, char** argv, const char* pszFlag, bool* pbSeen);

bool ReadWholeFile(const char* pszPath, std::vector<unsigned char>* pData);

// _lread calls made so far by this process, or -1 where not counted.
long ReadCallCount();

// With VBLTOOL_STATS set in the environment: prints the read-call count.
void ReportReadCalls();
