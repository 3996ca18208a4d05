// Tests of the text buffer: its bytes and capacity through every kind of resize and load.
#include "core/TextBuffer.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace tervalo {
namespace {

using test::TempDir;

constexpr std::int64_t kMiB = 1 << 20;

// Bytes that differ from one position to the next and hold no NUL.
std::string Pattern(std::size_t size, unsigned seed) {
    std::string text(size, ' ');
    for (std::size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>('!' + (i * 7 + seed) % 90);
    return text;
}

// Appends until the text is `length` bytes long, in pieces no larger than a record.
void FillTo(TextBuffer& buffer, std::string& model, std::size_t length) {
    while (model.size() < length) {
        const std::string piece =
            Pattern(std::min<std::size_t>(length - model.size(), 5000), model.size() & 0xFF);
        buffer.AppendUnchecked(piece);
        model += piece;
    }
}

TEST(TextBuffer, KeepsItsTextAndCapacityThroughEveryResize) {
    // Each step resizes, checks that the text survived, then fills the new room to its last byte.
    struct Step {
        std::int64_t capacity;
        const char* what;
    };
    const Step steps[] = {
        {319488, "small to small"},
        {2 * kMiB - 4096, "up to the last small size"},
        {2 * kMiB + 4096, "small to large"},
        {9 * kMiB + 12288, "large to larger"},
        {9 * kMiB + 65536, "within the same large pages"},
        {5 * kMiB, "large to smaller large"},
        {65536, "large to small"},
        {3 * kMiB, "small to large again"},
        {3 * kMiB, "the same size"},
    };
    TextBuffer buffer;
    std::string model;
    FillTo(buffer, model, kInitialCapacity - 1);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        model.resize(std::min<std::size_t>(model.size(), step.capacity - 1));
        ASSERT_TRUE(buffer.Reallocate(step.capacity));
        EXPECT_EQ(buffer.Capacity(), step.capacity);
        ASSERT_EQ(buffer.Length(), model.size());
        EXPECT_TRUE(buffer.View() == model);
        EXPECT_EQ(buffer.Data()[buffer.Length()], '\0');
        FillTo(buffer, model, static_cast<std::size_t>(step.capacity) - 1);
        EXPECT_TRUE(buffer.View() == model);
    }
    EXPECT_FALSE(buffer.Reallocate(0));
    EXPECT_FALSE(buffer.Reallocate(std::int64_t{1} << 31));
    EXPECT_EQ(buffer.Capacity(), 3 * kMiB);
    EXPECT_TRUE(buffer.View() == model);
}

TEST(TextBuffer, EveryLoadSizesTheBufferFromTheFile) {
    // One buffer loads files of every size in turn, so each load meets the block the one
    // before left: larger, smaller, the same. A loaded text then grows as appending grows it.
    struct Case {
        std::size_t size;
        LoadFailure failure;
    };
    const Case cases[] = {
        {3 * kMiB + 5, LoadFailure::None},
        {100, LoadFailure::None},
        {5 * kMiB, LoadFailure::None},
        {12 * kMiB + 3, LoadFailure::None},
        {21 * kMiB + 7, LoadFailure::None},  // read in two halves on two threads
        {4 * kMiB - 1, LoadFailure::None},
        {0, LoadFailure::ShortOrTiny},
        {2 * kMiB - 65536, LoadFailure::None},
        {15, LoadFailure::ShortOrTiny},
        {16, LoadFailure::None},
    };
    TempDir dir;
    TextBuffer buffer;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        const std::string bytes = Pattern(c.size, static_cast<unsigned>(c.size));
        test::WriteFile(dir.File("input.aaf"), bytes);
        ASSERT_EQ(buffer.LoadFile(dir.File("input.aaf")), c.failure);
        EXPECT_EQ(buffer.Capacity(), GrownCapacity(static_cast<std::int64_t>(c.size)));
        EXPECT_TRUE(buffer.View() == (c.failure == LoadFailure::None ? bytes : ""));
        EXPECT_EQ(buffer.Data()[buffer.Length()], '\0');
        if (c.failure != LoadFailure::None) continue;
        ASSERT_TRUE(buffer.Reallocate(buffer.Capacity() + 3 * kMiB));
        EXPECT_TRUE(buffer.View() == bytes);
    }
}

TEST(TextBuffer, FailedLoadsKeepOrEmptyTheText) {
    TempDir dir;
    std::filesystem::create_directory(dir.Path() / "folder");
    const std::string kept = Pattern(3 * kMiB, 1);
    test::WriteFile(dir.File("kept.aaf"), kept);
    // A file shorter than its size said (it changed between the two, or the system reports a
    // size it doesn't hold) leaves the text empty; the rest leave it as it was. A folder opens
    // on Linux and reports the largest size, so it is refused as too large there.
    constexpr const char* kShortOfItsSize = "/sys/kernel/mm/transparent_hugepage/enabled";
    struct Case {
        std::string path;
        bool keepsText;
    };
    const Case cases[] = {
        {dir.File("missing.aaf"), true},
        {dir.File("folder"), true},
        {kShortOfItsSize, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        if (c.path == kShortOfItsSize && !std::filesystem::exists(c.path)) {
            std::printf("skipped %s: a Linux file\n", kShortOfItsSize);
            continue;
        }
        TextBuffer buffer;
        ASSERT_EQ(buffer.LoadFile(dir.File("kept.aaf")), LoadFailure::None);
        const std::int32_t capacity = buffer.Capacity();
        EXPECT_NE(buffer.LoadFile(c.path), LoadFailure::None);
        EXPECT_TRUE(buffer.View() == (c.keepsText ? kept : ""));
        EXPECT_EQ(buffer.Data()[buffer.Length()], '\0');
        if (c.keepsText) {
            EXPECT_EQ(buffer.Capacity(), capacity);
        }
    }
}

TEST(TextBuffer, LargeUtf8LoadsConvertOrStayAsTheyAre) {
    // "á" is two bytes in UTF-8 and one in Windows-1250, so the converted text needs half the
    // large pages; a text that breaks the rule late is read again byte for byte.
    std::string utf8;
    std::string converted;
    for (std::size_t i = 0; utf8.size() < 5 * kMiB; ++i) {
        utf8 += i % 40 == 39 ? "\r\n" : "\xC3\xA1";
        converted += i % 40 == 39 ? "\r\n" : "\xE1";
    }
    const std::string spoiled = utf8 + "\xE1 is Windows-1250 after all";

    TempDir dir;
    test::WriteFile(dir.File("utf8.aaf"), utf8);
    test::WriteFile(dir.File("spoiled.aaf"), spoiled);
    TextBuffer buffer;
    ASSERT_EQ(buffer.LoadFile(dir.File("utf8.aaf")), LoadFailure::None);
    EXPECT_TRUE(buffer.LastConversion().Converted);
    EXPECT_TRUE(buffer.View() == converted);
    EXPECT_EQ(buffer.Capacity(), GrownCapacity(static_cast<std::int64_t>(buffer.Length())));

    ASSERT_EQ(buffer.LoadFile(dir.File("spoiled.aaf")), LoadFailure::None);
    EXPECT_FALSE(buffer.LastConversion().Converted);
    EXPECT_TRUE(buffer.View() == spoiled);
    EXPECT_EQ(buffer.Capacity(), GrownCapacity(static_cast<std::int64_t>(spoiled.size())));
}

}  // namespace
}  // namespace tervalo
