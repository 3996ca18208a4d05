// What differs between Linux and Windows, one small function each.
#include "aaf/Platform.h"

#ifdef _WIN32
#include <cwchar>
#endif

namespace tervalo {

#ifdef _WIN32

std::filesystem::path PathFromUtf8(std::string_view utf8Path) {
    // A path built from char8_t text is taken as UTF-8 and held as UTF-16.
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(utf8Path.data()), utf8Path.size()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

std::FILE* OpenFile(const std::string& utf8Path, const char* mode) {
    std::wstring wideMode;
    for (const char* c = mode; *c != '\0'; ++c)
        wideMode.push_back(static_cast<wchar_t>(*c));
    return _wfopen(PathFromUtf8(utf8Path).c_str(), wideMode.c_str());
}

bool RemoveFile(const std::string& utf8Path) {
    return _wremove(PathFromUtf8(utf8Path).c_str()) == 0;
}

bool IsPathSeparator(char c) {
    return c == '/' || c == '\\';
}

bool FileNamesIgnoreCase() {
    return true;
}

std::int64_t FileSize(std::FILE* file) {
    if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
    const std::int64_t size = _ftelli64(file);
    if (size < 0 || _fseeki64(file, 0, SEEK_SET) != 0) return -1;
    return size;
}

bool LocalTime(std::time_t moment, std::tm& local) {
    return localtime_s(&local, &moment) == 0;
}

#else

std::filesystem::path PathFromUtf8(std::string_view utf8Path) {
    return std::filesystem::path(utf8Path);
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    return path.string();
}

std::FILE* OpenFile(const std::string& utf8Path, const char* mode) {
    return std::fopen(utf8Path.c_str(), mode);
}

bool RemoveFile(const std::string& utf8Path) {
    return std::remove(utf8Path.c_str()) == 0;
}

bool IsPathSeparator(char c) {
    return c == '/';
}

bool FileNamesIgnoreCase() {
    return false;
}

std::int64_t FileSize(std::FILE* file) {
    if (fseeko(file, 0, SEEK_END) != 0) return -1;
    const std::int64_t size = ftello(file);
    if (size < 0 || fseeko(file, 0, SEEK_SET) != 0) return -1;
    return size;
}

bool LocalTime(std::time_t moment, std::tm& local) {
    return localtime_r(&moment, &local) != nullptr;
}

#endif

std::size_t LastPathSeparator(std::string_view path) {
    for (std::size_t i = path.size(); i-- > 0;) {
        if (IsPathSeparator(path[i])) return i;
    }
    return std::string_view::npos;
}

}  // namespace tervalo
