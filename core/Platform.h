// What differs between Linux and Windows: paths, files, the local clock, the console. Each
// difference is one small function here, with both bodies side by side in Platform.cpp; the rest of
// the code calls these and holds no system test of its own. The memory blocks of a text and the
// read that fills one differ too; they are in TextBlock.h.
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

// The user's documents folder: XDG_DOCUMENTS_DIR of user-dirs.dirs on Linux, otherwise
// ~/Documents; the Documents known folder on Windows, wherever the user or a policy moved it.
// Empty when the system names none.
std::filesystem::path DocumentsFolder();
// The documents folder that the text of a user-dirs.dirs file names, "$HOME" read as `home`;
// empty when the text names none or names a path that is neither absolute nor under $HOME.
std::filesystem::path DocumentsFolderFromUserDirs(std::string_view userDirs,
                                                  const std::filesystem::path& home);

// Whether a new file can be made in the folder, found by making one and removing it again.
// Asking is not enough: a Windows folder's read-only mark does not stop new files, and its
// access lists can refuse what access() allows.
bool FolderTakesNewFile(const std::filesystem::path& folder);

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
