// The list of input files: order, duplicates and the case rule, shared by both fronts.
#include "app/FileList.h"

#include <algorithm>

#include "aaf/Platform.h"

namespace tervalo {

namespace {

unsigned char LowerAscii(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// Without regard to case first, so that the list reads alphabetically; equal rows of other
// case by their exact bytes, so that the order never depends on the order of adding.
bool ListsBefore(const std::string& left, const std::string& right) {
    const auto folded = std::lexicographical_compare(
        left.begin(), left.end(), right.begin(), right.end(), [](char a, char b) {
            return LowerAscii(static_cast<unsigned char>(a)) <
                   LowerAscii(static_cast<unsigned char>(b));
        });
    if (folded) return true;
    const auto foldedReverse = std::lexicographical_compare(
        right.begin(), right.end(), left.begin(), left.end(), [](char a, char b) {
            return LowerAscii(static_cast<unsigned char>(a)) <
                   LowerAscii(static_cast<unsigned char>(b));
        });
    if (foldedReverse) return false;
    return left < right;
}

}  // namespace

PathCase NativePathCase() {
#ifdef _WIN32
    return PathCase::Lower;
#else
    return PathCase::Preserve;
#endif
}

void AddToFileList(std::vector<std::string>& list, const std::vector<std::string>& added,
                   PathCase pathCase) {
    list.insert(list.end(), added.begin(), added.end());
    if (pathCase == PathCase::Lower) {
        // By the system's rule on the whole UTF-8 text, never byte by byte through a code page.
        for (std::string& row : list)
            row = LowerCasePath(row);
    }
    std::sort(list.begin(), list.end(), ListsBefore);
    list.erase(std::unique(list.begin(), list.end()), list.end());
}

std::string PathExtension(const std::string& path) {
    const std::size_t nameStart = LastPathSeparator(path);
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (nameStart != std::string::npos && dot < nameStart)) return {};
    return path.substr(dot);
}

}  // namespace tervalo
