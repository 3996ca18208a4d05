// Chart name folding: transliteration, word capitals, dropped characters, the length bound.
#include "formats/FoldChartName.h"

#include <string>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace tervalo {
namespace {

struct FoldCase {
    const char* What;
    std::string Name;
    std::string Expected;
};

TEST(FoldChartNameTest, FoldsNamesToCapitalisedPlainAscii) {
    const FoldCase cases[] = {
        {"accents",
         "Kov\xE1"
         "cs B\xE9la",
         "Kovacs Bela"},
        {"capitals lowered behind the first",
         "\xC1RP\xC1"
         "D",
         "Arpad"},
        {"apostrophe and hyphen dropped without a word break", "O'Neil Mary-Ann", "Oneil Maryann"},
        {"underscore and digits kept", "chart_2 b", "Chart_2 B"},
        {"double acute and caron letters", "\xD5r\xF6s \x8A\x9Em\xED\x8F \xD8\xFE",
         "Oros Szmiz Rt"},
        {"trailing spaces and controls trimmed", "Kiss \t\r\n ", "Kiss"},
        {"only spaces", "   ", ""},
        {"empty", "", ""},
        {"leading space kept", " Bela", " Bela"},
        {"spaces not collapsed", "a  b", "A  B"},
        {"CR is a word break, LF and tab are dropped", "kiss\rbela\nanna\tvera",
         "Kiss Belaannavera"},
        {"tilde dropped", "ki~ss", "Kiss"},
        {"degree, trade mark and the undefined 0x83, 0x88 break words",
         "a\xB0"
         "b\x99"
         "c\x83"
         "d\x88"
         "e",
         "A B C D E"},
        {"sharp s, times, divide and no-break space dropped",
         "gro\xDF"
         "a\xD7"
         "b\xF7"
         "c\xA0"
         "d",
         "Groabcd"},
        {"punctuation drops, so no path separator survives", "a/b\\c:d*e?f\"g<h>i|j.k",
         "Abcdefghijk"},
        {"last word of dropped characters leaves its space", "Kiss ?", "Kiss "},
        {"dropped characters don't change the word start", "?kiss", "Kiss"},
        {"capitals inside a word lowered", "aBC dEF", "Abc Def"},
        {"long names cut at 110 kept characters", std::string(105, 'a') + " bbbbbbbbbb",
         "A" + std::string(104, 'a') + " Bbbb"},
        {"dropped characters don't count toward the bound",
         std::string(200, '?') + std::string(120, 'x'), "X" + std::string(109, 'x')},
        {"the cut may end in a space", std::string(109, 'a') + "  b",
         "A" + std::string(108, 'a') + " "},
    };
    for (const FoldCase& c : cases) {
        SCOPED_TRACE(c.What);
        ExpectBytes(FoldChartName(c.Name), c.Expected);
    }
}

TEST(FoldChartNameTest, EveryCodeFoldsToAKeptCharacterOrIsDropped) {
    // Whatever a name holds, the result is a valid file name base on every file system.
    for (int code = 1; code < 256; ++code) {
        const std::string name{'x', static_cast<char>(code), 'x'};
        const std::string folded = FoldChartName(name);
        ASSERT_GE(folded.size(), 2u) << code;
        for (const char c : folded) {
            const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                              (c >= '0' && c <= '9') || c == '_' || c == ' ';
            EXPECT_TRUE(kept) << "code " << code << " gave " << test::Printable(folded);
        }
    }
}

}  // namespace
}  // namespace tervalo
