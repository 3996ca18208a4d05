// The growable, NUL-terminated text buffer that holds one whole database file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/CodePage.h"

namespace tervalo {

constexpr std::int32_t kInitialCapacity = 262144;  // 256 KiB before the first load or growth
constexpr std::int64_t kGrowthRoom = 65536;

// The one sizing rule of both databases: content + 64 KiB, rounded down to whole 4 KiB pages.
constexpr std::int64_t GrownCapacity(std::int64_t contentBytes) {
    return (contentBytes + kGrowthRoom) & ~std::int64_t{4095};
}

// Why a load failed; the databases' LoadFromFile itself answers true or false.
enum class LoadFailure { None, NoPath, NotOpened, NoMemory, TooLarge, ShortOrTiny, NoRecord };

// Owns the bytes of a database text. Length is kept, never measured again, so that appending
// stays linear; the byte at Length is always NUL.
class TextBuffer {
public:
    TextBuffer();  // throws the integer 1 when the first buffer can't be allocated
    ~TextBuffer();
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;

    char* Data() { return Bytes; }
    const char* Data() const { return Bytes; }
    std::size_t Length() const { return Used; }
    std::int32_t Capacity() const { return Allocated; }
    std::string_view View() const { return {Bytes, Used}; }

    void Clear();
    // Reallocates to exactly newCapacity bytes (may shrink); false, unchanged, on failure.
    bool Reallocate(std::int64_t newCapacity);
    // Appends bytes that the caller made room for (Length + size < Capacity).
    void AppendUnchecked(std::string_view bytes);
    void Truncate(std::size_t length);
    // The bytes from `from` up to `to` will not be read again before the text is cleared or
    // replaced: the memory of whole large pages among them goes back to the system.
    void Discard(std::size_t from, std::size_t to);

    // Reads a whole file with the load rule: capacity from the file's size on every load.
    // ShortOrTiny leaves the text empty; the other failures leave it as it was.
    LoadFailure LoadFile(const std::string& path);
    // What the last load did to a UTF-8 text.
    const Utf8Conversion& LastConversion() const { return Conversion; }
    // Cuts trailing empty lines until the text ends in one CR LF.
    void CutTrailingEmptyLines();
    // Writes the text as a file; false when it can't be created or a write falls short.
    bool SaveFile(const std::string& path) const;

private:
    // Reallocate, where only the first keptBytes bytes need to survive; none leaves it empty.
    bool Resize(std::int64_t newCapacity, std::size_t keptBytes);

    char* Bytes = nullptr;
    std::size_t Used = 0;
    std::int32_t Allocated = 0;
    Utf8Conversion Conversion;
};

}  // namespace tervalo
