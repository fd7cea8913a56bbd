// The one scratch folder of the test programs: a fresh temporary game folder,
// made the current directory while it lives. Free of gtest.
#pragma once

#include <filesystem>
#include <string>

// Told of a step that did not happen as it should (a file not written, no
// dialog, no quit message on close, an import missing). Prints to stderr
// unless replaced; gtest_faults.cpp makes it a failure of the running test.
extern void (*g_pfnSupportFault)(const std::string& what);

// Writes a file (path relative to the current directory, or full; '/' or, on
// Windows, '\' separators), creating its directories. On Windows through the
// long "\\?\" form, so that names up to the file system's limit fit in deep
// folders.
void WriteBytes(const std::string& path, const std::string& bytes);

// The previous current directory is restored and the folder removed when it
// goes.
class GameFolder {
public:
    // withLevelsDir false: no "levels" sub-directory at all.
    explicit GameFolder(bool withLevelsDir = true);
    ~GameFolder();
    GameFolder(const GameFolder&) = delete;
    GameFolder& operator=(const GameFolder&) = delete;

    // Writes a file (path relative to the folder); returns its full path.
    std::string AddFile(const std::string& relPath, const std::string& bytes = std::string());
    void AddDirectory(const std::string& relPath);
    const std::string& Path() const { return path_; }

private:
    std::filesystem::path previous_;
    std::string path_;
};
