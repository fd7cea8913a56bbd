// Runs a fuzz target's entry point over saved inputs (files, or every file
// of a folder), without libFuzzer: the regression replay of crash files.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* pArgc, char*** pArgv);

namespace fs = std::filesystem;

#define VBL_TEXT(x) #x
#define VBL_TEXT_OF(x) VBL_TEXT(x)

// The target's malloc limit (tests/fuzz/CMakeLists.txt), as the fuzz runs
// have it: an allocation above it aborts the replay.
extern "C" const char* __asan_default_options()
{
    return "max_allocation_size_mb=" VBL_TEXT_OF(VBL_FUZZ_MALLOC_MB) ":allocator_may_return_null=0";
}

namespace {

bool Replay(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(data.data(), data.size());
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        fs::path arg = fs::absolute(argv[i]);  // before the target changes folder
        if (fs::is_directory(arg)) {
            for (const fs::directory_entry& e : fs::directory_iterator(arg)) {
                if (e.is_regular_file() && e.path().filename() != "README.md") inputs.push_back(e.path());
            }
        } else {
            inputs.push_back(arg);
        }
    }
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    size_t nDone = 0;
    for (const fs::path& p : inputs) {
        if (!Replay(p)) {
            fprintf(stderr, "cannot read %s\n", p.string().c_str());
            return 1;
        }
        ++nDone;
    }
    printf("replayed %zu inputs without a fault\n", nDone);
    return nDone ? 0 : 1;
}
