// The memory blocks of a database's text and the read that fills one, both bodies side by side.
#include "core/TextBlock.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>

#ifdef _WIN32
#include <malloc.h>
#else
#include <sanitizer/asan_interface.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace tervalo {

#ifndef _WIN32
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
#endif

#ifdef _WIN32
char* AllocateTextBlock(std::size_t bytes) {
    return static_cast<char*>(std::malloc(bytes));
}
#else
char* AllocateTextBlock(std::size_t bytes) {
    const std::size_t span = BlockSpan(bytes);
    char* block = MapBlock(span);
    if (block == nullptr) return nullptr;
    AskForLargePages(block, span);
    MarkTail(block, bytes, span);
    return block;
}
#endif

#ifdef _WIN32
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
#else
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
#endif

#ifdef _WIN32
void FreeTextBlock(char* block, std::size_t) {
    std::free(block);
}
#else
void FreeTextBlock(char* block, std::size_t bytes) {
    const std::size_t span = BlockSpan(bytes);
    UnmarkTail(block, span);
    munmap(block, span);
}
#endif

#ifdef _WIN32
void ExpectFilledBytes(char*, std::size_t, std::size_t) {}
#else
void ExpectFilledBytes(char* block, std::size_t bytes, std::size_t filledBytes) {
    const std::size_t span = BlockSpan(bytes);
    if (span < kLargePage) return;
    const std::size_t whole = std::min(filledBytes, span) / kLargePage * kLargePage;
    if (whole > 0) madvise(block, whole, MADV_HUGEPAGE);
    if (whole < span) madvise(block + whole, span - whole, MADV_NOHUGEPAGE);
}
#endif

#ifdef _WIN32
void DiscardTextBytes(char*, std::size_t, std::size_t, std::size_t) {}
#else
void DiscardTextBytes(char* block, std::size_t bytes, std::size_t from, std::size_t to) {
    const std::size_t span = BlockSpan(bytes);
    if (span < kLargePage) return;
    const std::size_t first = RoundUp(std::min(from, span), kLargePage);
    const std::size_t last = std::min(to, span) / kLargePage * kLargePage;
    if (last > first) madvise(block + first, last - first, MADV_DONTNEED);
}
#endif

#ifdef _WIN32
std::size_t ReadFileStart(std::FILE* file, char* into, std::size_t bytes) {
    const std::size_t read = std::fread(into, 1, bytes, file);
    std::rewind(file);
    return read;
}
#else
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
#endif

}  // namespace tervalo
