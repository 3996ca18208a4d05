// The list of input files: order, duplicates and the case rule, shared by both fronts.
#pragma once

#include <string>
#include <vector>

namespace tervalo {

enum class PathCase {
    Preserve,  // case-sensitive file systems: paths stay exactly as chosen
    Lower,     // case-insensitive file systems: rows are lower-cased
};

// The case rule of the file system the program runs on.
PathCase NativePathCase();

// Adds paths to the list: each at its place in the alphabetical order (letters by their base
// letter, so that Ábel stands before Béla; ties without regard to case, then by exact bytes),
// lower-cased under PathCase::Lower (accented capitals too), equal rows kept once. Paths are
// UTF-8.
void AddToFileList(std::vector<std::string>& list, const std::vector<std::string>& added,
                   PathCase pathCase);

// The extension of a path: from the last "." of its file name on, the dot included; empty
// when the file name has no dot.
std::string PathExtension(const std::string& path);

}  // namespace tervalo
