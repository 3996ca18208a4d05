// Where the window's outputs go: beside the program, or into "Tervalo" in the user's documents.
#include "run/OutputFolder.h"

#include <system_error>

#include "core/Platform.h"
#include "run/ConversionRun.h"

namespace tervalo {

std::string FallbackOutputFolder(const std::string& executablePath,
                                 const std::filesystem::path& documents) {
    const std::string programFolder = OutputPrefixOf(executablePath);
    if (FolderTakesNewFile(PathFromUtf8(programFolder.empty() ? "." : programFolder))) return {};
    if (documents.empty()) return {};
    const std::filesystem::path folder = documents / PathFromUtf8(kOutputSubfolder);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder, error) || !FolderTakesNewFile(folder)) return {};
    return Utf8FromPath(folder.lexically_normal());
}

std::string OutputFolderLine(const std::string& outputFolder) {
    if (outputFolder.empty()) return {};
    return "\nA kimeneti fájlok helye: " + outputFolder;
}

}  // namespace tervalo
