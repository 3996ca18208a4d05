// The memory blocks of a text, as the text buffer relies on them: bytes kept through growth,
// shrinking and discarding.
#include "core/TextBlock.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include <gtest/gtest.h>

namespace tervalo {
namespace {

TEST(TextBlock, KeepsTheBytesThroughManySmallSteps) {
    // The text buffer grows by 64 KiB at a time; every byte written before a step is still
    // there after it, and a shrink keeps the front.
    struct Step {
        std::size_t size;
    };
    const Step steps[] = {{1}, {4096}, {65536}, {65536 * 2}, {65536 * 40}, {4096}, {65536 * 41}};
    char* block = AllocateTextBlock(1);
    ASSERT_NE(block, nullptr);
    std::size_t filled = 0;
    std::size_t held = 1;
    for (const Step& step : steps) {
        char* moved = ResizeTextBlock(block, held, step.size, std::min(filled, step.size));
        ASSERT_NE(moved, nullptr) << step.size;
        block = moved;
        const std::size_t kept = std::min(filled, step.size);
        for (std::size_t i = 0; i < kept; ++i)
            ASSERT_EQ(block[i], static_cast<char>(i * 7 + 1))
                << "byte " << i << " of " << step.size;
        for (std::size_t i = kept; i < step.size; ++i)
            block[i] = static_cast<char>(i * 7 + 1);
        filled = step.size;
        held = step.size;
    }
    FreeTextBlock(block, held);
}

// Discarded bytes may read as zeros afterwards, but only within whole large pages of the range:
// the bytes around them keep their values, and the block grows and is written again as before.
TEST(TextBlock, DiscardedTextLeavesTheBytesAroundItAndTheBlockWhole) {
    constexpr std::size_t kMiB = std::size_t{1} << 20;
    const std::size_t size = 9 * kMiB + 5;
    char* block = AllocateTextBlock(size);
    ASSERT_NE(block, nullptr);
    ExpectFilledBytes(block, size, size);
    std::memset(block, 'x', size);
    DiscardTextBytes(block, size, kMiB / 2, 7 * kMiB + 3);
    for (std::size_t i = 0; i < size; i += 4096) {
        const bool mayBeZero = i >= 2 * kMiB && i < 6 * kMiB;  // whole large pages only
        ASSERT_TRUE(block[i] == 'x' || (mayBeZero && block[i] == '\0')) << i;
    }
    std::memset(block, 'y', size);
    char* grown = ResizeTextBlock(block, size, 3 * size, size);
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(std::count(grown, grown + size, 'y'), static_cast<std::ptrdiff_t>(size));
    FreeTextBlock(grown, 3 * size);
}

}  // namespace
}  // namespace tervalo
