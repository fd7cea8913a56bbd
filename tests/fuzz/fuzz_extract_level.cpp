// libFuzzer target: ExtractLevelPcx over arbitrary bytes as a level archive,
// opened by level name through ".\Levels\" from a scratch directory whose
// folder is spelled "levels".
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "fuzz_check.h"
#include "preview/level_archive.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char szDir[] = "/tmp/vbl-fuzz-level-XXXXXX";
  if (!mkdtemp(szDir) || chdir(szDir) != 0 || mkdir("levels", 0700) != 0) FuzzFail("cannot make the scratch folder");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData) {
  FILE* pOut = fopen("levels/fuzz.dat", "wb");
  if (!pOut || fwrite(pData, 1, cbData, pOut) != cbData || fclose(pOut) != 0) FuzzFail("cannot stage the input");
  unsigned long ulBoxes = StandinMessageBoxes();
  HBITMAP hDib = nullptr;
  if (ExtractLevelPcx("fuzz", &hDib) != 0 || StandinMessageBoxes() != ulBoxes) FuzzFail("the archive did not open");
  FuzzCheckDib(static_cast<HGLOBAL>(hDib));
  FuzzCheckNothingLeft();
  return 0;
}
