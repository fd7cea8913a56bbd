// pack: writes a level archive, each file under its base name, the data
// right after the directory in the order given.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
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
        item.strName = BaseName(argv[i]);
        // The lookup compares at most 11 characters: a longer name never matches.
        if (item.strName.empty() || item.strName.size() >= static_cast<size_t>(kLevelNameField)) {
            fprintf(stderr, "vbltool: %s: entry names must have 1 to 11 characters\n", argv[i]);
            return false;
        }
        // Names that unpack would refuse make an archive no one can take apart.
        const char* pszFault = LevelEntryNameFault(item.strName.c_str());
        if (pszFault) {
            fprintf(stderr, "vbltool: %s: %s\n", argv[i], pszFault);
            return false;
        }
        for (const PackItem& other : *pItems) {
            if (LevelEntryNamesClash(other.strName.c_str(), item.strName.c_str())) {
                fprintf(stderr, "vbltool: %s: its name is that of %s, ignoring letter case\n", argv[i],
                        other.strName.c_str());
                return false;
            }
        }
        if (!ReadWholeFile(argv[i], &item.data)) {
            fprintf(stderr, "vbltool: %s: cannot read the file\n", argv[i]);
            return false;
        }
        pItems->push_back(std::move(item));
    }
    return true;
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
        fprintf(stderr, "usage: vbltool pack OUT.dat FILE...\n");
        return 2;
    }
    std::vector<PackItem> items;
    if (!LoadItems(argc - 1, argv + 1, &items)) return 1;
    std::vector<unsigned char> archive;
    if (!BuildArchive(items, &archive)) {
        fprintf(stderr, "vbltool: %s: the archive would exceed 2 GiB\n", argv[0]);
        return 1;
    }
    const char* pszReason = nullptr;
    if (!WriteWholeFile(argv[0], archive, &pszReason)) {
        fprintf(stderr, "vbltool: %s: %s\n", argv[0], pszReason);
        return 1;
    }
    return 0;
}
