// Scratch files: where vbltool's data waits until it is renamed into place,
// and where a file being replaced waits until it may go.
#pragma once

#include <string>
#include <vector>

// The scratch names of one run in one folder: VBLnnnnn.TMP, a valid 8.3 name
// in capitals, so that Windows makes no short name for it that another name
// could hit. A scratch name is never a name the run means to make (an entry
// of the archive being unpacked, the output itself), compared without regard
// to case as Windows would, nor that of anything already in the folder: a
// file of the author's named like one is never touched.
struct ScratchNames {
    std::string strFolder;
    unsigned uNext;                    // the first number still to try
    std::vector<std::string> avoided;  // base names the run means to make
};

// A fresh scratch file, made exclusively (never through a link) and readable
// by its owner only: its descriptor (or -1, errno set) and its path.
int CreateScratchFile(ScratchNames* pNames, std::string* pPath);

// Renames pszPath (a file or a link) to a free scratch name; its path in *pPath.
bool MoveToScratch(const char* pszPath, ScratchNames* pNames, std::string* pPath);
