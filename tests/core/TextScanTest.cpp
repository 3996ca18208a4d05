// Counting line feeds across the block sizes the counter takes at once.
#include "core/TextScan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace tervalo {
namespace {

TEST(TextScanTest, CountsLineFeedsOfAnyLengthAndStart) {
    struct Case {
        std::size_t Length;
        std::size_t Every;  // a line feed every this many bytes; 1: nothing else
        std::size_t Skip;   // bytes left out at the start
    };
    const Case cases[] = {
        {0, 1, 0},    {15, 1, 0},   {16, 1, 0},   {17, 3, 1},    {31, 2, 5},
        {4080, 1, 0}, {4096, 1, 0}, {9000, 1, 7}, {9000, 37, 3}, {70000, 5, 11},
    };
    for (const Case& c : cases) {
        std::string text(c.Length + c.Skip, 'a');
        for (std::size_t i = 0; i < text.size(); i += c.Every)
            text[i] = '\n';
        text.push_back('\n');  // past the end: never counted
        const char* from = text.data() + c.Skip;
        const char* to = text.data() + c.Skip + c.Length;
        EXPECT_EQ(CountLineFeeds(from, to), static_cast<std::size_t>(std::count(from, to, '\n')))
            << c.Length << " every " << c.Every << " from " << c.Skip;
    }
}

}  // namespace
}  // namespace tervalo
