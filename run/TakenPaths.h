// The paths no output of a run may replace, and the normal form they are compared in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tervalo {

// The absolute, lexically normal form of a UTF-8 path.
std::string NormalPath(const std::string& path);
// Whether anything has this name, a link to nowhere included.
bool PathExists(const std::string& path);

// The inputs of a run and everything it has written, held normalised as a folder and a name
// and found by the name as a case-blind disk compares it. A name alike is either the same path,
// or perhaps another spelling of the same file (a link, or another case on a case-blind disk),
// which only the file system can tell; other names are never asked of it. Chart files come by
// the hundred thousand: a look-up allocates nothing and hashes only the name, and each path
// holds one small entry and its name's bytes.
class TakenPaths {
public:
    // Room for this many more paths, so that a large save grows the table once.
    void Reserve(std::size_t more);

    // A folder in normal form, ending in a separator; its number for Add.
    std::size_t AddFolder(std::string_view normalFolder);
    void Add(std::size_t folder, std::string_view name);
    void Add(std::string_view normal);

    // Whether folder + name is taken; normalFolder + name is its normal form.
    bool Contains(std::string_view folder, std::string_view normalFolder, std::string_view name);
    // Whether the path is taken; `normal` is its normal form.
    bool Contains(std::string_view path, std::string_view normal);

private:
    struct Entry {
        std::size_t NameOffset;
        std::size_t NameLength;
        std::size_t Folder;
    };

    const Entry& EntryOf(std::uint64_t slot) const;
    std::string_view NameOf(const Entry& entry) const;
    std::size_t Mask() const { return Slots.size() - 1; }
    void Place(std::uint64_t slot);
    void Grow();
    std::uint64_t NameHash(std::string_view name);

    std::vector<std::string> Folders;
    std::vector<Entry> Entries;
    std::string Names;                 // every name's bytes, one after another
    std::vector<std::uint64_t> Slots;  // a power of two, at most half full
    std::string CaseBlindName;         // reused for every look-up
};

}  // namespace tervalo
