// Where the window's outputs go: beside the program, or, when its folder takes no new file (an
// installed program in /usr/bin or under Program Files), into "Tervalo" in the user's documents.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tervalo {

inline constexpr std::string_view kOutputSubfolder = "Tervalo";

// The folder for the outputs of the program at `executablePath` when its own folder takes no
// new file: "Tervalo" in `documents`, made when missing. Empty while the program's folder takes
// new files, and empty when the other cannot be made either: the outputs then go beside the
// program and the run reports each one it could not write.
std::string FallbackOutputFolder(const std::string& executablePath,
                                 const std::filesystem::path& documents);

// The line the closing message ends with when the outputs went into `outputFolder` rather
// than beside the program; empty when they went beside it.
std::string OutputFolderLine(const std::string& outputFolder);

}  // namespace tervalo
