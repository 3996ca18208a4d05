// What differs between Linux and Windows: paths, files, the local clock, the console. Each
// difference is one small function here, with both bodies side by side in Platform.cpp; the rest of
// the code calls these and holds no system test of its own.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tervalo {

// Paths travel through the program as UTF-8. On Windows a path reaches the file system as
// UTF-16, so that every letter of a name arrives, whatever the ANSI code page holds.
std::filesystem::path PathFromUtf8(std::string_view utf8Path);
std::string Utf8FromPath(const std::filesystem::path& path);

// std::fopen of a UTF-8 path.
std::FILE* OpenFile(const std::string& utf8Path, const char* mode);
// std::remove of a UTF-8 path.
bool RemoveFile(const std::string& utf8Path);

// Whether the character separates folders: "/" everywhere, and "\" on Windows as well. On
// Linux a backslash is an ordinary letter of a name.
bool IsPathSeparator(char c);
// The folder followed by one separator: the system's own is added unless the folder already
// ends in a separator, so that a file name can simply be appended.
std::string WithTrailingSeparator(std::string folder);

// The position of the last separator in the path, or npos.
std::size_t LastPathSeparator(std::string_view path);

// Whether the file system takes names without regard to case, as Windows does: "A.aaf" and
// "a.aaf" are then one file.
bool FileNamesIgnoreCase();

// The size of an open file, with the position back at its start; -1 when it has none. Sizes
// are 64-bit on both systems (a long holds only 2 GiB on Windows).
std::int64_t FileSize(std::FILE* file);

// Memory for a database's text. On Linux a block of 2 MiB or more lies on 2 MiB boundaries and
// asks for large pages: a 100 MB text then costs some fifty page faults rather than 25,000, and
// on a freshly started machine those faults were most of a large conversion's time. Such a
// block grows by moving its pages rather than copying its bytes (only a block outgrowing
// 2 MiB has its few bytes copied). Elsewhere these are malloc, realloc and free, and a
// block grows by at least half its size at a time: the Windows heap copies the whole block on
// every step, and a text grows in 64 KiB steps. Null on failure; a block that could not be resized
// is left as it was.
char* AllocateTextBlock(std::size_t bytes);
// Only the first keptBytes bytes of the block are sure to keep their values.
char* ResizeTextBlock(char* block, std::size_t oldBytes, std::size_t newBytes,
                      std::size_t keptBytes);
void FreeTextBlock(char* block, std::size_t bytes);
// Says that the first filledBytes of a block are about to be filled at once (a load): a large
// page only where they fill it whole, so that the last, partly filled stretch holds no more
// memory than its ordinary pages.
void ExpectFilledBytes(char* block, std::size_t bytes, std::size_t filledBytes);
// Says that the bytes from `from` up to `to` of a block will not be read again: the whole large
// pages among them go back to the system at once, where the next pages a text asks for can take
// them, and read as zeros afterwards. Elsewhere, and for a smaller block, nothing happens.
void DiscardTextBytes(char* block, std::size_t bytes, std::size_t from, std::size_t to);

// Reads the first `bytes` bytes of an open file, which nothing has read yet, into `into`, and
// gives how many it read from the start on. On Linux a large read is split between two threads,
// each reading its half at its own place: the pages a large text lands on are new, and a freshly
// started machine hands new pages out slowly, so two cores take them faster than one. The
// file's position is left at its start. Elsewhere this is one fread.
std::size_t ReadFileStart(std::FILE* file, char* into, std::size_t bytes);

// The local calendar time of a moment; false when the system can't give it.
bool LocalTime(std::time_t moment, std::tm& local);

// The program's arguments after its name, as UTF-8. Windows keeps the command line as UTF-16;
// main's own arguments there hold only what the ANSI code page can show.
std::vector<std::string> ProgramArguments(int argc, char* argv[]);

// Lets UTF-8 text written to standard output and error read right in a terminal: a Windows
// console shows bytes by its own code page, set here to UTF-8 until the program ends.
void UseUtf8Console();

// Whether the stream writes to a terminal or console rather than a file or pipe.
bool IsTerminal(std::FILE* stream);

// The first Ctrl-C (or Ctrl-Break) sets the flag and the program goes on; a second one ends
// the program at once. ReleaseInterrupt gives Ctrl-C back its default meaning.
void CatchInterrupt(std::atomic<bool>& flag);
void ReleaseInterrupt();

}  // namespace tervalo
