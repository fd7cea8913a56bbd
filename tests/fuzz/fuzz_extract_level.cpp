// libFuzzer target: ExtractLevelPcx over arbitrary bytes as a level archive,
// opened by level name through ".\Levels\" from a scratch directory whose
// folder is spelled "levels"; then the checks vbltool unpack makes before it
// writes anything, against a plain restatement of what they must keep out.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "fuzz_check.h"
#include "preview/level_archive.h"
#include "preview/level_entry_check.h"

namespace {

int g_fdHome = -1;     // the folder libFuzzer was started in
int g_fdScratch = -1;  // the scratch folder holding levels/
char g_szScratch[] = "/tmp/vbl-fuzz-level-XXXXXX";

// The scratch folder goes with the process, however many runs it held.
void RemoveScratch()
{
    const std::string strLevels = std::string(g_szScratch) + "/levels";
    unlink((strLevels + "/fuzz.dat").c_str());
    rmdir(strLevels.c_str());
    rmdir(g_szScratch);
}

struct Faults {
    LONG lCalls = 0;
    LONG lLast = -1;
    std::set<LONG> indices;
};

void NoteFault(void* pContext, LONG lIndex, const char* pszName, const char* pszReason)
{
    Faults* pFaults = static_cast<Faults*>(pContext);
    if (lIndex <= pFaults->lLast || !pszReason || !*pszReason || strlen(pszName) > kLevelNameField) {
        FuzzFail("entry faults out of order or without a reason");
    }
    pFaults->lLast = lIndex;
    pFaults->lCalls++;
    pFaults->indices.insert(lIndex);
}

// Names that Windows would not keep as they stand, restated from its rules
// rather than from the checks under test: a trailing dot or blank is dropped,
// and a device is opened for CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM or LPT
// with a digit (superscript 1 to 3 too), whatever the case, the extension or
// the blanks before the dot.
bool WindowsWouldChange(const std::string& strName)
{
    if (strName.back() == '.' || strName.back() == ' ') return true;
    std::string strBase = strName.substr(0, strName.find('.'));
    strBase.erase(strBase.find_last_not_of(' ') + 1);
    for (char& c : strBase) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    static const std::set<std::string> kDevices = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    if (kDevices.count(strBase)) return true;
    const std::string strPort = strBase.substr(0, 3);
    return strBase.size() == 4 && (strPort == "COM" || strPort == "LPT") &&
           std::string("0123456789\xB9\xB2\xB3").find(strBase[3]) != std::string::npos;
}

// An entry the checks let through must be one that unpack can write safely.
void CheckAccepted(const LevelDirectory& dir, LONG lIndex, std::set<std::string>* pNames)
{
    LevelEntry entry;
    GetLevelEntry(&dir, lIndex, &entry);
    char szName[kEntryFileNameChars];
    LevelEntryFileName(&entry, szName);
    std::string strName(szName);
    if (4 + (int64_t{lIndex} + 1) * kLevelRecordBytes > dir.lFileSize || entry.lOffset < 0 || entry.lSize < 0 ||
        int64_t{entry.lOffset} + entry.lSize > dir.lFileSize) {
        FuzzFail("an entry outside the file passed");
    }
    if (strName.empty() || strName == "." || strName == ".." || strName.find_first_of("/\\:") != std::string::npos) {
        FuzzFail("a name reaching outside the folder passed");
    }
    if (WindowsWouldChange(strName)) FuzzFail("a device name or one ending in a dot or blank passed");
    for (char& c : strName) {
        if (static_cast<unsigned char>(c) < 0x20) FuzzFail("a control character passed");
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    }
    if (!pNames->insert(strName).second) FuzzFail("two names equal but for letter case passed");
}

void CheckUnpackChecks()
{
    HFILE hFile = _lopen("levels/fuzz.dat", OF_READ);
    if (hFile == HFILE_ERROR) FuzzFail("cannot reopen the input");
    LevelDirectory dir;
    ReadLevelDirectory(hFile, &dir);
    Faults faults;
    if (CheckLevelEntries(&dir, NoteFault, &faults) != faults.lCalls || faults.lLast >= dir.lRecords) {
        FuzzFail("fault count or index wrong");
    }
    std::set<std::string> names;
    for (LONG i = 0; i < dir.lRecords; ++i) {
        if (!faults.indices.count(i)) CheckAccepted(dir, i, &names);
    }
    FreeLevelDirectory(&dir);
    _lclose(hFile);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!mkdtemp(g_szScratch)) FuzzFail("cannot make the scratch folder");
    atexit(RemoveScratch);
    std::string strLevels = std::string(g_szScratch) + "/levels";
    if (mkdir(strLevels.c_str(), 0700) != 0) FuzzFail("cannot make the levels folder");
    g_fdHome = open(".", O_RDONLY | O_DIRECTORY);
    g_fdScratch = open(g_szScratch, O_RDONLY | O_DIRECTORY);
    if (g_fdHome < 0 || g_fdScratch < 0) FuzzFail("cannot open the folders");
    return 0;
}

// Each run happens in the scratch folder and returns to the starting one,
// so that libFuzzer's relative paths (corpus, artifacts) keep their meaning.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData)
{
    if (fchdir(g_fdScratch) != 0) FuzzFail("cannot enter the scratch folder");
    FILE* pOut = fopen("levels/fuzz.dat", "wb");
    if (!pOut || fwrite(pData, 1, cbData, pOut) != cbData || fclose(pOut) != 0) FuzzFail("cannot stage the input");
    unsigned long ulBoxes = ProbeMessageBoxes();
    HBITMAP hDib = nullptr;
    if (ExtractLevelPcx("fuzz", &hDib) != 0 || ProbeMessageBoxes() != ulBoxes) FuzzFail("the archive did not open");
    FuzzCheckDib(static_cast<HGLOBAL>(hDib));
    CheckUnpackChecks();
    FuzzCheckNothingLeft();
    if (fchdir(g_fdHome) != 0) FuzzFail("cannot return to the starting folder");
    return 0;
}
