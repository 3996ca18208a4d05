// What differs between Linux and Windows, one small function each with both bodies side by side.
#include "core/Platform.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cwchar>
#include <fstream>
#include <iterator>

#ifdef _WIN32
#include <io.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// After windows.h, which they build on.
#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>
#else
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>
#endif

namespace tervalo {

#ifdef _WIN32
std::filesystem::path PathFromUtf8(std::string_view utf8Path) {
    // A path built from char8_t text is taken as UTF-8 and held as UTF-16.
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(utf8Path.data()), utf8Path.size()));
}
#else
std::filesystem::path PathFromUtf8(std::string_view utf8Path) {
    return std::filesystem::path(utf8Path);
}
#endif

#ifdef _WIN32
std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}
#else
std::string Utf8FromPath(const std::filesystem::path& path) {
    return path.string();
}
#endif

#ifdef _WIN32
std::FILE* OpenFile(const std::string& utf8Path, const char* mode) {
    std::wstring wideMode;
    for (const char* c = mode; *c != '\0'; ++c)
        wideMode.push_back(static_cast<wchar_t>(*c));
    return _wfopen(PathFromUtf8(utf8Path).c_str(), wideMode.c_str());
}
#else
std::FILE* OpenFile(const std::string& utf8Path, const char* mode) {
    return std::fopen(utf8Path.c_str(), mode);
}
#endif

#ifdef _WIN32
bool RemoveFile(const std::string& utf8Path) {
    return _wremove(PathFromUtf8(utf8Path).c_str()) == 0;
}
#else
bool RemoveFile(const std::string& utf8Path) {
    return std::remove(utf8Path.c_str()) == 0;
}
#endif

#ifdef _WIN32
std::filesystem::path DocumentsFolder() {
    PWSTR folder = nullptr;
    std::filesystem::path documents;
    if (SHGetKnownFolderPath(FOLDERID_Documents, KF_FLAG_DEFAULT, nullptr, &folder) == S_OK)
        documents = folder;
    CoTaskMemFree(folder);  // owed even when the call fails
    return documents;
}
#else
namespace {

std::filesystem::path HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return home;
    // A session started without HOME (a service, su without -l): the account's own.
    const passwd* account = getpwuid(getuid());
    if (account != nullptr && account->pw_dir != nullptr && account->pw_dir[0] == '/')
        return account->pw_dir;
    return {};
}

}  // namespace

std::filesystem::path DocumentsFolder() {
    const std::filesystem::path home = HomeFolder();
    if (home.empty()) return {};
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the base directory rules say.
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    const std::filesystem::path config = configHome != nullptr && configHome[0] == '/'
                                             ? std::filesystem::path(configHome)
                                             : home / ".config";
    std::ifstream file(config / "user-dirs.dirs", std::ios::binary);
    const std::string userDirs((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
    std::filesystem::path documents = DocumentsFolderFromUserDirs(userDirs, home);
    return documents.empty() ? home / "Documents" : documents;
}
#endif

std::filesystem::path DocumentsFolderFromUserDirs(std::string_view userDirs,
                                                  const std::filesystem::path& home) {
    // Lines as xdg-user-dirs-update writes them: XDG_DOCUMENTS_DIR="$HOME/Documents", the
    // value in double quotes, a backslash taking the next character as it is. A later line
    // overrides an earlier one, as when the shell reads the file.
    constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR=\"";
    constexpr std::string_view kHome = "$HOME";
    std::filesystem::path documents;
    while (!userDirs.empty()) {
        const std::size_t end = userDirs.find('\n');
        std::string_view line = userDirs.substr(0, end);
        userDirs.remove_prefix(end == std::string_view::npos ? userDirs.size() : end + 1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (line.substr(0, kKey.size()) != kKey) continue;
        line.remove_prefix(kKey.size());
        std::string value;
        bool closed = false;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '"') {
                closed = true;
                break;
            }
            if (line[i] == '\\' && i + 1 < line.size()) ++i;
            value.push_back(line[i]);
        }
        if (!closed) continue;
        if (value.substr(0, kHome.size()) == kHome &&
            (value.size() == kHome.size() || value[kHome.size()] == '/')) {
            std::string rest = value.substr(kHome.size());
            while (!rest.empty() && rest.front() == '/')
                rest.erase(0, 1);
            documents = rest.empty() ? home : home / PathFromUtf8(rest);
        } else if (!value.empty() && value.front() == '/') {
            documents = PathFromUtf8(value);
        }
    }
    return documents;
}

namespace {

// A name no other program would choose, and this one only once at a time.
std::filesystem::path ProbeFile(const std::filesystem::path& folder, unsigned long process,
                                int attempt) {
    return folder / (".tervalo-probe-" + std::to_string(process) + "-" + std::to_string(attempt));
}

}  // namespace

#ifdef _WIN32
bool FolderTakesNewFile(const std::filesystem::path& folder) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::filesystem::path probe = ProbeFile(folder, GetCurrentProcessId(), attempt);
        // The system removes the file as the handle closes.
        const HANDLE file = CreateFileW(
            probe.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return true;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}
#else
bool FolderTakesNewFile(const std::filesystem::path& folder) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::filesystem::path probe =
            ProbeFile(folder, static_cast<unsigned long>(getpid()), attempt);
        const int file = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (file >= 0) {
            close(file);
            unlink(probe.c_str());
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}
#endif

#ifdef _WIN32
bool IsPathSeparator(char c) {
    return c == '/' || c == '\\';
}
#else
bool IsPathSeparator(char c) {
    return c == '/';
}
#endif

std::string WithTrailingSeparator(std::string folder) {
    if (folder.empty() || !IsPathSeparator(folder.back()))
        folder.push_back(static_cast<char>(std::filesystem::path::preferred_separator));
    return folder;
}

std::size_t LastPathSeparator(std::string_view path) {
    for (std::size_t i = path.size(); i-- > 0;) {
        if (IsPathSeparator(path[i])) return i;
    }
    return std::string_view::npos;
}

#ifdef _WIN32
bool FileNamesIgnoreCase() {
    return true;
}
#else
bool FileNamesIgnoreCase() {
    return false;
}
#endif

#ifdef _WIN32
std::int64_t FileSize(std::FILE* file) {
    if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
    const std::int64_t size = _ftelli64(file);
    if (size < 0 || _fseeki64(file, 0, SEEK_SET) != 0) return -1;
    return size;
}
#else
std::int64_t FileSize(std::FILE* file) {
    if (fseeko(file, 0, SEEK_END) != 0) return -1;
    const std::int64_t size = ftello(file);
    if (size < 0 || fseeko(file, 0, SEEK_SET) != 0) return -1;
    return size;
}
#endif

#ifdef _WIN32
bool LocalTime(std::time_t moment, std::tm& local) {
    return localtime_s(&local, &moment) == 0;
}
#else
bool LocalTime(std::time_t moment, std::tm& local) {
    return localtime_r(&moment, &local) != nullptr;
}
#endif

#ifdef _WIN32
namespace {

std::string Utf8FromWide(const wchar_t* wide) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), size, nullptr, nullptr);
    text.pop_back();  // the terminating NUL
    return text;
}

}  // namespace

std::vector<std::string> ProgramArguments(int, char*[]) {
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(Utf8FromWide(wide[i]));
    LocalFree(wide);
    return arguments;
}
#else
std::vector<std::string> ProgramArguments(int argc, char* argv[]) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}
#endif

#ifdef _WIN32
namespace {

UINT ConsoleCodePageBefore = 0;

void RestoreConsoleCodePage() {
    SetConsoleOutputCP(ConsoleCodePageBefore);
}

}  // namespace

void UseUtf8Console() {
    if (ConsoleCodePageBefore != 0) return;
    ConsoleCodePageBefore = GetConsoleOutputCP();
    if (ConsoleCodePageBefore == 0) return;  // no console
    SetConsoleOutputCP(CP_UTF8);
    std::atexit(RestoreConsoleCodePage);
}
#else
void UseUtf8Console() {
    // Terminals here take UTF-8 as it is.
}
#endif

#ifdef _WIN32
bool IsTerminal(std::FILE* stream) {
    // _isatty also says yes for the NUL device; only a console has a console mode.
    DWORD mode = 0;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}
#else
bool IsTerminal(std::FILE* stream) {
    return isatty(fileno(stream)) != 0;
}
#endif

namespace {

// The flag that the next Ctrl-C sets; read and cleared from a signal handler or, on Windows,
// from the console's own thread.
std::atomic<std::atomic<bool>*> InterruptFlag{nullptr};
static_assert(std::atomic<std::atomic<bool>*>::is_always_lock_free, "set from a signal");

// Takes the flag for the first Ctrl-C: true when there was one to set.
bool SetInterruptFlag() {
    std::atomic<bool>* flag = InterruptFlag.exchange(nullptr);
    if (flag == nullptr) return false;
    *flag = true;
    return true;
}

#ifdef _WIN32
BOOL WINAPI ConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    // FALSE hands the event to the default handler, which ends the program.
    return SetInterruptFlag() ? TRUE : FALSE;
}
#else
extern "C" void InterruptSignal(int) {
    SetInterruptFlag();
    // The next Ctrl-C ends the program at once.
    std::signal(SIGINT, SIG_DFL);
}
#endif

}  // namespace

#ifdef _WIN32
void CatchInterrupt(std::atomic<bool>& flag) {
    InterruptFlag = &flag;
    SetConsoleCtrlHandler(ConsoleControl, TRUE);
}
#else
void CatchInterrupt(std::atomic<bool>& flag) {
    InterruptFlag = &flag;
    std::signal(SIGINT, InterruptSignal);
}
#endif

#ifdef _WIN32
void ReleaseInterrupt() {
    InterruptFlag = nullptr;
    SetConsoleCtrlHandler(ConsoleControl, FALSE);
}
#else
void ReleaseInterrupt() {
    InterruptFlag = nullptr;
    std::signal(SIGINT, SIG_DFL);
}
#endif

}  // namespace tervalo
