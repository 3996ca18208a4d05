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
// The path in lower case by the system's rule for file names: on Windows every letter, accented
// capitals too, as its file systems ignore their case; elsewhere A to Z only. UTF-8 in and out.
std::string LowerCasePath(std::string_view utf8Path);

// The position of the last separator in the path, or npos.
std::size_t LastPathSeparator(std::string_view path);

// The size of an open file, with the position back at its start; -1 when it has none. Sizes
// are 64-bit on both systems (a long holds only 2 GiB on Windows).
std::int64_t FileSize(std::FILE* file);

// std::realloc for a buffer that grows in many small steps. Linux moves a large block by
// remapping its pages, so each step costs little; the Windows heap copies the whole block on
// each step, so there the block grows by at least half its size and keeps its size when asked
// to shrink. Null, with the block unchanged, when no memory is left.
void* ResizeBlock(void* block, std::size_t size);

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
