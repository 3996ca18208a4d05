// The memory blocks a database's text lives in, and the read that fills one from a file. They
// differ between Linux and Windows, each function with both bodies side by side in TextBlock.cpp.
#pragma once

#include <cstddef>
#include <cstdio>

namespace tervalo {

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

}  // namespace tervalo
