#include "game_folder.h"

#include <cstdio>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace {

void PrintFault(const std::string& what)
{
    std::fprintf(stderr, "test support: %s\n", what.c_str());
}

// The form the file calls take: on Windows "\\?\" + the full path, as the
// short form stops at MAX_PATH characters.
fs::path LongForm(const fs::path& path)
{
#ifdef _WIN32
    return L"\\\\?\\" + fs::absolute(path).wstring();
#else
    return path;
#endif
}

}  // namespace

void (*g_pfnSupportFault)(const std::string& what) = PrintFault;

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    std::ofstream out(LongForm(path), std::ios::binary);
    if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush()) {
        g_pfnSupportFault("cannot write " + path);
    }
}

GameFolder::GameFolder(bool withLevelsDir) : previous_(fs::current_path())
{
    static unsigned s_nSerial = 0;
    const fs::path dir = fs::temp_directory_path() /
                         ("vbl-test-" + std::to_string(std::random_device{}()) + "-" + std::to_string(++s_nSerial));
    std::error_code ec;
    if (!fs::create_directories(dir, ec)) g_pfnSupportFault("cannot make " + dir.string());
    path_ = dir.string();
    if (withLevelsDir) AddDirectory("levels");
    fs::current_path(dir, ec);
}

GameFolder::~GameFolder()
{
    std::error_code ec;
    fs::current_path(previous_, ec);
    fs::remove_all(LongForm(path_), ec);
}

void GameFolder::AddDirectory(const std::string& relPath)
{
    std::error_code ec;
    fs::create_directories(fs::path(path_) / relPath, ec);
}

std::string GameFolder::AddFile(const std::string& relPath, const std::string& bytes)
{
    const std::string full = (fs::path(path_) / relPath).string();
    WriteBytes(full, bytes);
    return full;
}
