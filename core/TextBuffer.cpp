// The growable, NUL-terminated text buffer that holds one whole database file.
#include "core/TextBuffer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

#include "core/Platform.h"
#include "core/TextBlock.h"

namespace tervalo {

namespace {

constexpr std::int64_t kMaxCapacity = std::numeric_limits<std::int32_t>::max();

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

TextBuffer::TextBuffer() {
    Bytes = AllocateTextBlock(kInitialCapacity);
    if (Bytes == nullptr) throw 1;
    Allocated = kInitialCapacity;
    Bytes[0] = '\0';
}

TextBuffer::~TextBuffer() {
    FreeTextBlock(Bytes, static_cast<std::size_t>(Allocated));
}

void TextBuffer::Clear() {
    Used = 0;
    Bytes[0] = '\0';
}

void TextBuffer::Discard(std::size_t from, std::size_t to) {
    DiscardTextBytes(Bytes, static_cast<std::size_t>(Allocated), from, std::min(to, Used));
}

bool TextBuffer::Reallocate(std::int64_t newCapacity) {
    return Resize(newCapacity, Used + 1);
}

bool TextBuffer::Resize(std::int64_t newCapacity, std::size_t keptBytes) {
    if (newCapacity <= 0 || newCapacity > kMaxCapacity) return false;
    char* moved = ResizeTextBlock(Bytes, static_cast<std::size_t>(Allocated),
                                  static_cast<std::size_t>(newCapacity), keptBytes);
    if (moved == nullptr) return false;
    Bytes = moved;
    Allocated = static_cast<std::int32_t>(newCapacity);
    if (keptBytes == 0) Used = 0;
    if (Used >= static_cast<std::size_t>(Allocated)) Used = static_cast<std::size_t>(Allocated) - 1;
    Bytes[Used] = '\0';
    return true;
}

void TextBuffer::AppendUnchecked(std::string_view bytes) {
    std::memcpy(Bytes + Used, bytes.data(), bytes.size());
    Used += bytes.size();
    Bytes[Used] = '\0';
}

void TextBuffer::Truncate(std::size_t length) {
    if (length < Used) {
        Used = length;
        Bytes[Used] = '\0';
    }
}

LoadFailure TextBuffer::LoadFile(const std::string& path) {
    Conversion = {};
    std::unique_ptr<std::FILE, FileCloser> file(OpenFile(path, "rb"));
    if (!file) return LoadFailure::NotOpened;
    const std::int64_t size = FileSize(file.get());  // a folder opens but has no size
    if (size < 0) return LoadFailure::NotOpened;
    // The capacity is a 32-bit count, so a file it can't hold with its growth room is refused
    // rather than truncated. Checked before the sum: a folder reports the largest size.
    if (size > kMaxCapacity - kGrowthRoom) return LoadFailure::TooLarge;
    const std::int64_t capacity = GrownCapacity(size);
    if (capacity > kMaxCapacity) return LoadFailure::TooLarge;
    // The old text is read over, so none of it needs to move with the buffer.
    if (!Resize(capacity, 0)) return LoadFailure::NoMemory;
    const auto wanted = static_cast<std::size_t>(size);
    ExpectFilledBytes(Bytes, static_cast<std::size_t>(Allocated), wanted + 1);
    const std::size_t read = ReadFileStart(file.get(), Bytes, wanted);
    if (read < wanted || size < 16) {
        Clear();
        return LoadFailure::ShortOrTiny;
    }
    Bytes[read] = '\0';
    // A NUL inside the file ends the text, as it ends every text of the record.
    const void* nul = std::memchr(Bytes, '\0', read);
    Used = nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - Bytes) : read;
    // Texts written in UTF-8 become Windows-1250 before anything reads them; the size rule and
    // the capacity then follow the converted text.
    const Utf8InPlace inPlace = ConvertUtf8InPlace(Bytes, Used);
    if (inPlace.Spoiled) {
        // Not UTF-8 after all, found late: the file's own bytes are read again.
        if (std::fseek(file.get(), 0, SEEK_SET) != 0 ||
            std::fread(Bytes, 1, wanted, file.get()) < wanted) {
            Clear();
            return LoadFailure::ShortOrTiny;
        }
        Bytes[Used] = '\0';
    }
    Conversion = inPlace.Conversion;
    if (Conversion.Converted) {
        Bytes[Used] = '\0';
        if (Used < 16) {
            Clear();
            return LoadFailure::ShortOrTiny;
        }
        Reallocate(GrownCapacity(static_cast<std::int64_t>(Used)));  // a failed shrink is harmless
    }
    return LoadFailure::None;
}

void TextBuffer::CutTrailingEmptyLines() {
    while (Used >= 4 && std::memcmp(Bytes + Used - 4, "\r\n\r\n", 4) == 0)
        Used -= 2;
    Bytes[Used] = '\0';
}

bool TextBuffer::SaveFile(const std::string& path) const {
    std::FILE* file = OpenFile(path, "wb");
    if (file == nullptr) return false;
    const std::size_t written = std::fwrite(Bytes, 1, Used, file);
    const bool closed = std::fclose(file) == 0;
    return written == Used && closed;
}

}  // namespace tervalo
