// pack: writes a level archive, each file under its base name, the data
// right after the directory in the order given.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "entry_names.h"
#include "preview/level_archive.h"
#include "preview/level_entry_check.h"
#include "tool_files.h"

namespace {

struct PackItem {
    std::string strName;
    std::vector<unsigned char> data;
};

void AppendLe32(std::vector<unsigned char>* pOut, uint32_t v)
{
    unsigned char ab[4];
    PutLe32(ab, v);
    pOut->insert(pOut->end(), ab, ab + sizeof ab);
}

// Loads every input and checks its name; false after a message on stderr.
bool LoadItems(int argc, char** argv, std::vector<PackItem>* pItems)
{
    for (int i = 0; i < argc; ++i) {
        PackItem item;
        // Stored in the game's code page whatever the system's: 11 characters are 11 bytes.
        std::string strWhy;
        if (!EntryNameFromLocal(BaseName(argv[i]), &item.strName, &strWhy)) {
            PrintTo(stderr, "vbltool: %s: %s\n", argv[i], strWhy.c_str());
            return false;
        }
        // The lookup compares at most 11 characters: a longer name never matches.
        if (item.strName.empty() || item.strName.size() >= static_cast<size_t>(kLevelNameField)) {
            PrintTo(stderr, "vbltool: %s: entry names must have 1 to 11 characters\n", argv[i]);
            return false;
        }
        // Names that unpack would refuse make an archive no one can take apart.
        const char* pszFault = LevelEntryNameFault(item.strName.c_str());
        if (pszFault) {
            PrintTo(stderr, "vbltool: %s: %s\n", argv[i], pszFault);
            return false;
        }
        for (const PackItem& other : *pItems) {
            if (LevelEntryNamesClash(other.strName.c_str(), item.strName.c_str())) {
                PrintTo(stderr, "vbltool: %s: its name is that of %s, ignoring letter case\n", argv[i],
                        ReadableEntryName(other.strName.c_str()).c_str());
                return false;
            }
        }
        if (!ReadWholeFile(argv[i], &item.data)) {
            PrintTo(stderr, "vbltool: %s: cannot read the file\n", argv[i]);
            return false;
        }
        pItems->push_back(std::move(item));
    }
    return true;
}

// The launcher finds its picture by the exact name level.pcx: LEVEL.PCX,
// which Windows itself would open, leaves the level without one.
void WarnOfPictureCase(const std::vector<PackItem>& items, char** ppPaths)
{
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].strName == "level.pcx") return;
    }
    for (size_t i = 0; i < items.size(); ++i) {
        if (!LevelEntryNamesClash(items[i].strName.c_str(), "level.pcx")) continue;
        PrintTo(stderr,
                "vbltool: %s: warning: the launcher shows no picture: it takes only an entry named "
                "level.pcx, in lower case (rename the file)\n",
                ppPaths[i]);
    }
}

// Lays out the whole archive in memory; false when it would not fit the
// format's signed 32-bit offsets.
bool BuildArchive(const std::vector<PackItem>& items, std::vector<unsigned char>* pOut)
{
    uint64_t ullOffset = 4 + uint64_t{kLevelRecordBytes} * items.size();
    for (const PackItem& item : items) ullOffset += item.data.size();
    if (ullOffset > INT32_MAX) return false;
    ullOffset = 4 + uint64_t{kLevelRecordBytes} * items.size();
    AppendLe32(pOut, static_cast<uint32_t>(items.size()));
    for (const PackItem& item : items) {
        unsigned char abName[kLevelNameField] = {0};
        for (size_t i = 0; i < item.strName.size(); ++i) abName[i] = static_cast<unsigned char>(item.strName[i]);
        pOut->insert(pOut->end(), abName, abName + kLevelNameField);
        AppendLe32(pOut, static_cast<uint32_t>(ullOffset));
        AppendLe32(pOut, static_cast<uint32_t>(item.data.size()));
        ullOffset += item.data.size();
    }
    for (const PackItem& item : items) pOut->insert(pOut->end(), item.data.begin(), item.data.end());
    return true;
}

}  // namespace

int RunPack(int argc, char** argv)
{
    if (argc < 2) {
        PrintTo(stderr, "usage: vbltool pack OUT.dat FILE...\n");
        return 2;
    }
    std::vector<PackItem> items;
    if (!LoadItems(argc - 1, argv + 1, &items)) return 1;
    std::vector<unsigned char> archive;
    if (!BuildArchive(items, &archive)) {
        PrintTo(stderr, "vbltool: %s: the archive would exceed 2 GiB\n", argv[0]);
        return 1;
    }
    const char* pszReason = nullptr;
    if (!WriteWholeFile(argv[0], archive, &pszReason)) {
        PrintTo(stderr, "vbltool: %s: %s\n", argv[0], pszReason);
        return 1;
    }
    WarnOfPictureCase(items, argv + 1);
    return 0;
}
