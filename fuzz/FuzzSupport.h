// Shared by the fuzz targets: a fuzzed input written as a file the readers can open.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace tervalo::fuzz {

// A per-process scratch folder under the temporary directory, made once.
inline const std::filesystem::path& ScratchFolder() {
    static const std::filesystem::path folder = [] {
        auto path =
            std::filesystem::temp_directory_path() / ("tervalo-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

inline std::string WriteInput(const std::uint8_t* data, std::size_t size, const char* name) {
    const std::string path = (ScratchFolder() / name).string();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) __builtin_trap();
    if (size > 0) std::fwrite(data, 1, size, file);
    std::fclose(file);
    return path;
}

}  // namespace tervalo::fuzz
