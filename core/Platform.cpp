// What differs between Linux and Windows, one small function each with both bodies side by side.
#include "core/Platform.h"

#include <csignal>
#include <cstdlib>
#include <cwchar>

#ifdef _WIN32
#include <io.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>
#else
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
