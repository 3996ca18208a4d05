// The paths no output of a run may replace, and the normal form they are compared in.
#include "run/TakenPaths.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <system_error>

#include "core/CodePage.h"
#include "core/Platform.h"

namespace tervalo {

namespace {

namespace fs = std::filesystem;

// A slot of the table holds the upper half of its name's hash and its entry's number plus
// one; 0 is free. The table is probed in line: no node to allocate or chase per chart file.
constexpr std::uint64_t kUnused = 0;
constexpr std::uint64_t kIndexMask = 0xFFFFFFFFu;
constexpr std::size_t kFirstSlots = 64;
constexpr std::size_t kTypicalNameLength = 24;

std::uint64_t SlotOf(std::uint64_t hash, std::size_t index) {
    return (hash & ~kIndexMask) | ((static_cast<std::uint64_t>(index) & kIndexMask) + 1);
}

std::size_t FirstProbe(std::uint64_t hashOrSlot, std::size_t mask) {
    return static_cast<std::size_t>(hashOrSlot >> 32) & mask;
}

bool SameTag(std::uint64_t slot, std::uint64_t hash) {
    return slot >> 32 == hash >> 32;
}

// Growth stays geometric however many small saves reserve.
template <typename Container>
void ReserveMore(Container& container, std::size_t more) {
    const std::size_t wanted = container.size() + more;
    if (wanted > container.capacity())
        container.reserve(std::max(wanted, 2 * container.capacity()));
}

std::size_t NameStart(std::string_view path) {
    const std::size_t separator = LastPathSeparator(path);
    return separator == std::string_view::npos ? 0 : separator + 1;
}

}  // namespace

std::string NormalPath(const std::string& path) {
    std::error_code error;
    fs::path absolute = fs::absolute(PathFromUtf8(path), error);
    if (error) absolute = PathFromUtf8(path);
    return Utf8FromPath(absolute.lexically_normal());
}

bool PathExists(const std::string& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(PathFromUtf8(path), error));
}

void TakenPaths::Reserve(std::size_t more) {
    ReserveMore(Entries, more);
    ReserveMore(Names, more * kTypicalNameLength);
    while ((Entries.size() + more) * 2 > Slots.size())
        Grow();
}

std::size_t TakenPaths::AddFolder(std::string_view normalFolder) {
    if (Folders.empty() || Folders.back() != normalFolder) Folders.emplace_back(normalFolder);
    return Folders.size() - 1;
}

void TakenPaths::Add(std::size_t folder, std::string_view name) {
    if ((Entries.size() + 1) * 2 > Slots.size()) Grow();
    Place(SlotOf(NameHash(name), Entries.size()));
    Entries.push_back({Names.size(), name.size(), folder});
    Names.append(name);
}

void TakenPaths::Add(std::string_view normal) {
    const std::size_t split = NameStart(normal);
    Add(AddFolder(normal.substr(0, split)), normal.substr(split));
}

bool TakenPaths::Contains(std::string_view folder, std::string_view normalFolder,
                          std::string_view name) {
    if (Slots.empty()) return false;
    const std::uint64_t hash = NameHash(name);
    bool alike = false;
    for (std::size_t at = FirstProbe(hash, Mask()); Slots[at] != kUnused; at = (at + 1) & Mask()) {
        if (!SameTag(Slots[at], hash)) continue;
        const Entry& entry = EntryOf(Slots[at]);
        if (NameOf(entry) == name && Folders[entry.Folder] == normalFolder) return true;
        alike = true;
    }
    if (!alike) return false;
    std::string path(folder);
    path.append(name);
    if (!PathExists(path)) return false;
    std::error_code error;
    for (std::size_t at = FirstProbe(hash, Mask()); Slots[at] != kUnused; at = (at + 1) & Mask()) {
        if (!SameTag(Slots[at], hash)) continue;
        const Entry& entry = EntryOf(Slots[at]);
        std::string taken = Folders[entry.Folder];
        taken.append(NameOf(entry));
        if (fs::equivalent(PathFromUtf8(taken), PathFromUtf8(path), error)) return true;
    }
    return false;
}

bool TakenPaths::Contains(std::string_view path, std::string_view normal) {
    const std::size_t split = NameStart(path);
    const std::size_t normalSplit = NameStart(normal);
    return Contains(path.substr(0, split), normal.substr(0, normalSplit),
                    normal.substr(normalSplit));
}

const TakenPaths::Entry& TakenPaths::EntryOf(std::uint64_t slot) const {
    return Entries[(slot & kIndexMask) - 1];
}

std::string_view TakenPaths::NameOf(const Entry& entry) const {
    return std::string_view(Names).substr(entry.NameOffset, entry.NameLength);
}

void TakenPaths::Place(std::uint64_t slot) {
    std::size_t at = FirstProbe(slot, Mask());
    while (Slots[at] != kUnused)
        at = (at + 1) & Mask();
    Slots[at] = slot;
}

void TakenPaths::Grow() {
    std::vector<std::uint64_t> old(Slots.empty() ? kFirstSlots : Slots.size() * 2, kUnused);
    old.swap(Slots);
    for (const std::uint64_t slot : old) {
        if (slot != kUnused) Place(slot);
    }
}

std::uint64_t TakenPaths::NameHash(std::string_view name) {
    CaseBlindName.assign(name);
    LowerWindows1250LettersInPlace(CaseBlindName);
    // Spread over 64 bits whatever the width of the library's hash: the upper half tags the
    // slot and picks where probing starts.
    std::uint64_t hash = std::hash<std::string>{}(CaseBlindName);
    hash = (hash ^ (hash >> 30)) * 0xBF58476D1CE4E5B9u;
    hash = (hash ^ (hash >> 27)) * 0x94D049BB133111EBu;
    return hash ^ (hash >> 31);
}

}  // namespace tervalo
