// What differs between Linux and Windows, one small function each.
#include "core/Platform.h"

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
#include <sanitizer/asan_interface.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <thread>
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

bool FileNamesIgnoreCase() {
    return true;
}

std::int64_t FileSize(std::FILE* file) {
    if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
    const std::int64_t size = _ftelli64(file);
    if (size < 0 || _fseeki64(file, 0, SEEK_SET) != 0) return -1;
    return size;
}

char* AllocateTextBlock(std::size_t bytes) {
    return static_cast<char*>(std::malloc(bytes));
}

char* ResizeTextBlock(char* block, std::size_t, std::size_t newBytes, std::size_t) {
    if (block == nullptr) return AllocateTextBlock(newBytes);
    // The heap copies the whole block on every step; growing by half at least keeps a text that
    // grows in 64 KiB steps from being copied thousands of times. A shrink keeps the block.
    const std::size_t held = _msize(block);
    if (newBytes <= held) return block;
    const std::size_t grown = held + held / 2;
    if (grown > newBytes) {
        if (void* moved = std::realloc(block, grown)) return static_cast<char*>(moved);
    }
    return static_cast<char*>(std::realloc(block, newBytes));
}

void FreeTextBlock(char* block, std::size_t) {
    std::free(block);
}

void ExpectFilledBytes(char*, std::size_t, std::size_t) {}

void DiscardTextBytes(char*, std::size_t, std::size_t, std::size_t) {}

std::size_t ReadFileStart(std::FILE* file, char* into, std::size_t bytes) {
    const std::size_t read = std::fread(into, 1, bytes, file);
    std::rewind(file);
    return read;
}

bool LocalTime(std::time_t moment, std::tm& local) {
    return localtime_s(&local, &moment) == 0;
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

bool FileNamesIgnoreCase() {
    return false;
}

std::int64_t FileSize(std::FILE* file) {
    if (fseeko(file, 0, SEEK_END) != 0) return -1;
    const std::int64_t size = ftello(file);
    if (size < 0 || fseeko(file, 0, SEEK_SET) != 0) return -1;
    return size;
}

namespace {

// From this size on a block is laid out for large pages; a smaller one (an empty database's
// first 256 KiB) stays on ordinary pages and holds only what it touched.
constexpr std::size_t kLargePage = std::size_t{2} << 20;

std::size_t RoundUp(std::size_t bytes, std::size_t unit) {
    return (bytes + unit - 1) / unit * unit;
}

// The length mapped for a block of `bytes`.
std::size_t BlockSpan(std::size_t bytes) {
    static const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return RoundUp(bytes, bytes < kLargePage ? page : kLargePage);
}

// The bytes behind a block's end are part of its pages, but reading them is as wrong as reading
// past a malloc'd block: AddressSanitizer is told so (elsewhere these do nothing).
void MarkTail(char* block, std::size_t bytes, std::size_t span) {
    ASAN_POISON_MEMORY_REGION(block + bytes, span - bytes);
}
void UnmarkTail(char* block, std::size_t span) {
    ASAN_UNPOISON_MEMORY_REGION(block, span);
}

// Fresh zero pages. A large block starts on a large-page boundary: one large page more is
// mapped and the ends are trimmed.
char* MapBlock(std::size_t span) {
    const std::size_t extra = span >= kLargePage ? kLargePage : 0;
    void* mapped =
        mmap(nullptr, span + extra, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    char* start = static_cast<char*>(mapped);
    if (extra == 0) return start;
    const auto address = reinterpret_cast<std::uintptr_t>(start);
    const std::size_t head = RoundUp(address, kLargePage) - address;
    if (head > 0) munmap(start, head);
    if (head < extra) munmap(start + head + span, extra - head);
    return start + head;
}

// A refusal (large pages switched off) only costs speed.
void AskForLargePages(char* block, std::size_t span) {
    if (span >= kLargePage) madvise(block, span, MADV_HUGEPAGE);
}

}  // namespace

char* AllocateTextBlock(std::size_t bytes) {
    const std::size_t span = BlockSpan(bytes);
    char* block = MapBlock(span);
    if (block == nullptr) return nullptr;
    AskForLargePages(block, span);
    MarkTail(block, bytes, span);
    return block;
}

char* ResizeTextBlock(char* block, std::size_t oldBytes, std::size_t newBytes,
                      std::size_t keptBytes) {
    const std::size_t oldSpan = BlockSpan(oldBytes);
    const std::size_t newSpan = BlockSpan(newBytes);
    if (newSpan > oldSpan && oldSpan < kLargePage && newSpan >= kLargePage) {
        // A small block's ordinary pages would take the place of the first large page, so its
        // few bytes worth keeping are copied into a fresh block instead.
        char* fresh = AllocateTextBlock(newBytes);
        if (fresh == nullptr) return nullptr;
        std::memcpy(fresh, block, std::min(keptBytes, oldBytes));
        FreeTextBlock(block, oldBytes);
        return fresh;
    }
    UnmarkTail(block, oldSpan);
    if (newSpan == oldSpan) {
        MarkTail(block, newBytes, newSpan);
        return block;
    }
    char* resized = block;
    if (newSpan < oldSpan) {
        munmap(block + newSpan, oldSpan - newSpan);
    } else {
        // A load asks for large pages on a part of the block only, which splits it into two
        // mappings, and mremap moves one mapping at a time: the whole block asks alike again,
        // so that it is one mapping.
        AskForLargePages(block, oldSpan);
        if (mremap(block, oldSpan, newSpan, 0) == MAP_FAILED) {
            // No free addresses behind the block: its pages move to a fresh place of the new
            // size, page tables and all, or else the bytes worth keeping are copied there.
            char* target = MapBlock(newSpan);
            if (target == nullptr) {
                MarkTail(block, oldBytes, oldSpan);
                return nullptr;
            }
            if (mremap(block, oldSpan, newSpan, MREMAP_MAYMOVE | MREMAP_FIXED, target) ==
                MAP_FAILED) {
                std::memcpy(target, block, std::min(keptBytes, oldBytes));
                munmap(block, oldSpan);
            }
            resized = target;
        }
    }
    AskForLargePages(resized, newSpan);
    MarkTail(resized, newBytes, newSpan);
    return resized;
}

void FreeTextBlock(char* block, std::size_t bytes) {
    const std::size_t span = BlockSpan(bytes);
    UnmarkTail(block, span);
    munmap(block, span);
}

void ExpectFilledBytes(char* block, std::size_t bytes, std::size_t filledBytes) {
    const std::size_t span = BlockSpan(bytes);
    if (span < kLargePage) return;
    const std::size_t whole = std::min(filledBytes, span) / kLargePage * kLargePage;
    if (whole > 0) madvise(block, whole, MADV_HUGEPAGE);
    if (whole < span) madvise(block + whole, span - whole, MADV_NOHUGEPAGE);
}

void DiscardTextBytes(char* block, std::size_t bytes, std::size_t from, std::size_t to) {
    const std::size_t span = BlockSpan(bytes);
    if (span < kLargePage) return;
    const std::size_t first = RoundUp(std::min(from, span), kLargePage);
    const std::size_t last = std::min(to, span) / kLargePage * kLargePage;
    if (last > first) madvise(block + first, last - first, MADV_DONTNEED);
}

namespace {

// Below this a second thread would cost more than it saves.
constexpr std::size_t kSharedRead = std::size_t{16} << 20;

// Reads from an offset until `bytes` are read, the file ends, or it fails.
std::size_t ReadAt(int descriptor, char* into, std::size_t bytes, std::size_t offset) {
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t got =
            pread(descriptor, into + done, bytes - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

}  // namespace

std::size_t ReadFileStart(std::FILE* file, char* into, std::size_t bytes) {
    const int descriptor = fileno(file);
    // The first half ends on a large page, so each thread fills whole pages of its own.
    const std::size_t half = bytes / 2 / kLargePage * kLargePage;
    std::size_t secondRead = 0;
    std::thread second;
    if (bytes >= kSharedRead && std::thread::hardware_concurrency() >= 2) {
        try {
            second = std::thread(
                [&] { secondRead = ReadAt(descriptor, into + half, bytes - half, half); });
        } catch (const std::system_error&) {
            // No second thread: this one reads it all.
        }
    }
    if (!second.joinable()) return ReadAt(descriptor, into, bytes, 0);
    const std::size_t firstRead = ReadAt(descriptor, into, half, 0);
    second.join();
    return firstRead < half ? firstRead : half + secondRead;
}

bool LocalTime(std::time_t moment, std::tm& local) {
    return localtime_r(&moment, &local) != nullptr;
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

}  // namespace tervalo
