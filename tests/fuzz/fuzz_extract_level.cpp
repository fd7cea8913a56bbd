// libFuzzer target: ExtractLevelPcx over arbitrary bytes as a level archive,
// opened by level name through ".\Levels\" from a scratch directory whose
// folder is spelled "levels".
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_check.h"
#include "preview/level_archive.h"

namespace {

int g_fdHome = -1;     // the folder libFuzzer was started in
int g_fdScratch = -1;  // the scratch folder holding levels/

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char szDir[] = "/tmp/vbl-fuzz-level-XXXXXX";
    if (!mkdtemp(szDir)) FuzzFail("cannot make the scratch folder");
    std::string strLevels = std::string(szDir) + "/levels";
    if (mkdir(strLevels.c_str(), 0700) != 0) FuzzFail("cannot make the levels folder");
    g_fdHome = open(".", O_RDONLY | O_DIRECTORY);
    g_fdScratch = open(szDir, O_RDONLY | O_DIRECTORY);
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
    unsigned long ulBoxes = StandinMessageBoxes();
    HBITMAP hDib = nullptr;
    if (ExtractLevelPcx("fuzz", &hDib) != 0 || StandinMessageBoxes() != ulBoxes) FuzzFail("the archive did not open");
    FuzzCheckDib(static_cast<HGLOBAL>(hDib));
    FuzzCheckNothingLeft();
    if (fchdir(g_fdHome) != 0) FuzzFail("cannot return to the starting folder");
    return 0;
}
