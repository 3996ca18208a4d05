// What differs between Linux and Windows, one small function each.
#include "aaf/Platform.h"

#include <csignal>
#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#include <malloc.h>
#include <cwchar>
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

}  // namespace

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

UINT ConsoleCodePageBefore = 0;

void RestoreConsoleCodePage() {
    SetConsoleOutputCP(ConsoleCodePageBefore);
}

BOOL WINAPI ConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    // FALSE hands the event to the default handler, which ends the program.
    return SetInterruptFlag() ? TRUE : FALSE;
}

}  // namespace

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

std::string LowerCasePath(std::string_view utf8Path) {
    // The system's own conversions: bytes that are no UTF-8 become U+FFFD instead of an error.
    const int size = static_cast<int>(utf8Path.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8Path.data(), size, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8Path.data(), size, wide.data(), length);
    CharLowerBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    return Utf8FromWide(wide.c_str());
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

void* ResizeBlock(void* block, std::size_t size) {
    if (block == nullptr) return std::malloc(size);
    const std::size_t held = _msize(block);
    if (size <= held) return block;
    const std::size_t grown = held + held / 2;
    if (grown > size) {
        if (void* moved = std::realloc(block, grown)) return moved;
    }
    return std::realloc(block, size);
}

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

void UseUtf8Console() {
    if (ConsoleCodePageBefore != 0) return;
    ConsoleCodePageBefore = GetConsoleOutputCP();
    if (ConsoleCodePageBefore == 0) return;  // no console
    SetConsoleOutputCP(CP_UTF8);
    std::atexit(RestoreConsoleCodePage);
}

bool IsTerminal(std::FILE* stream) {
    // _isatty also says yes for the NUL device; only a console has a console mode.
    DWORD mode = 0;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

void CatchInterrupt(std::atomic<bool>& flag) {
    InterruptFlag = &flag;
    SetConsoleCtrlHandler(ConsoleControl, TRUE);
}

void ReleaseInterrupt() {
    InterruptFlag = nullptr;
    SetConsoleCtrlHandler(ConsoleControl, FALSE);
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

std::string LowerCasePath(std::string_view utf8Path) {
    std::string lower(utf8Path);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
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

void* ResizeBlock(void* block, std::size_t size) {
    return std::realloc(block, size);
}

std::vector<std::string> ProgramArguments(int argc, char* argv[]) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void UseUtf8Console() {
    // Terminals here take UTF-8 as it is.
}

bool IsTerminal(std::FILE* stream) {
    return isatty(fileno(stream)) != 0;
}

namespace {

extern "C" void InterruptSignal(int) {
    SetInterruptFlag();
    // The next Ctrl-C ends the program at once.
    std::signal(SIGINT, SIG_DFL);
}

}  // namespace

void CatchInterrupt(std::atomic<bool>& flag) {
    InterruptFlag = &flag;
    std::signal(SIGINT, InterruptSignal);
}

void ReleaseInterrupt() {
    InterruptFlag = nullptr;
    std::signal(SIGINT, SIG_DFL);
}

#endif

std::size_t LastPathSeparator(std::string_view path) {
    for (std::size_t i = path.size(); i-- > 0;) {
        if (IsPathSeparator(path[i])) return i;
    }
    return std::string_view::npos;
}

}  // namespace tervalo
