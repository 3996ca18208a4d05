// Tests of the UTF-8 to Windows-1250 load conversion, alone and through both databases' loads.
#include "core/CodePage.h"

#include <random>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "core/TextBuffer.h"
#include "formats/AafDatabase.h"
#include "formats/QckDatabase.h"

namespace tervalo {
namespace {

using test::TempDir;

struct Converted {
    std::string Text;
    Utf8Conversion Result;
};

Converted Convert(std::string text) {
    std::size_t length = text.size();
    const Utf8Conversion result = ConvertUtf8ToWindows1250(text.data(), length);
    text.resize(length);
    return {text, result};
}

TEST(Utf8Text, ConvertsValidUtf8AndLeavesEveryOtherTextAlone) {
    struct Case {
        std::string Input;
        std::string Expected;
        bool Converted;
        std::size_t Unconvertible;
    };
    const std::string ascii = "#A93:Kiss,Anna,F,01.02.1990g,10:00,Eger,H\r\n";
    const Case cases[] = {
        // Characters of the code page, two and three bytes long.
        {"Pr\xC3\xA4zision Gro\xC3\x9F", "Pr\xE4zision Gro\xDF", true, 0},
        {"\xC5\x90rs\xC3\xA9g \xC5\xB1r", "\xD5rs\xE9g \xFBr", true, 0},
        {"\xC5\x81\xC3\xB3"
         "d\xC5\xBA \xC5\x98"
         "ehe\xC5\x99",
         "\xA3\xF3"
         "d\x9F \xD8"
         "ehe\xF8",
         true, 0},
        {"\xE2\x82\xAC \xE2\x80\xA6 \xE2\x84\xA2 \xE2\x80\x9E\xE2\x80\x9C \xE2\x80\x93",
         "\x80 \x85 \x99 \x84\x93 \x96", true, 0},
        {"\xC2\xA0\xC2\xB0\xCB\x87\xCB\x99", "\xA0\xB0\xA1\xFF", true, 0},
        // Letters the page lacks lose their accent; Romanian comma-below letters take the cedilla.
        {"Jos\xC3\xA8 Espa\xC3\xB1"
         "a \xC3\x85se \xC3\xB8l \xC3\xBF",
         "Jose Espana Ase ol y", true, 0},
        {"\xC8\x98tef\xC4\x83nescu \xC8\x9B", "\xAAtef\xE3nescu \xFE", true, 0},
        {"Nguy\xE1\xBB\x85n \xC4\x80\xC4\xAB", "Nguyen Ai", true, 0},
        {"a\xE2\x80\x91"
         "b\xE2\x80\x83"
         "c",
         "a-b c", true, 0},
        // Nothing close: one '?' each, counted.
        {"\xCE\xA9 \xF0\x9F\x98\x80 \xE6\x97\xA5\xE6\x9C\xAC", "? ? ??", true, 4},
        {"\xC3\x86 \xC2\x81 \xC5\x93", "? ? ?", true, 3},
        // Decomposed accents join their letter; a mark with no composed form is dropped.
        {"Jose\xCC\x81 Mu\xCC\x88ller q\xCC\x81 \xCC\x8C", "Jos\xE9 M\xFCller q ", true, 0},
        {"s\xCC\xA6 S\xCC\xA7 e\xCC\x81\xCC\x81", "\xBA \xAA \xE9", true, 0},
        // The byte-order mark counts as UTF-8 and is dropped, at the start and anywhere else.
        {"\xEF\xBB\xBF" + ascii, ascii, true, 0},
        {"\xEF\xBB\xBF", "", true, 0},
        {"a\xEF\xBB\xBF"
         "b",
         "ab", true, 0},
        // Sequences on and around the eight-byte steps of the ASCII scan.
        {"1234567\xC3\xA4"
         "12345678\xC3\xA4"
         "abcdefgh"
         "\xC3\xA4",
         "1234567\xE4"
         "12345678\xE4"
         "abcdefgh\xE4",
         true, 0},
        {std::string(16, 'x') + "\xF0\x9F\x98\x80", std::string(16, 'x') + "?", true, 1},
        // Left byte for byte: ASCII, Windows-1250, and UTF-8 that breaks anywhere.
        {ascii, ascii, false, 0},
        {"", "", false, 0},
        {"Kov\xE1"
         "cs J\xE1nos",
         "Kov\xE1"
         "cs J\xE1nos",
         false, 0},
        {"\xC3\xA4 then \xE4", "\xC3\xA4 then \xE4", false, 0},
        {"\xC3\xA4\xC0\xAF", "\xC3\xA4\xC0\xAF", false, 0},          // overlong '/'
        {"\xC3\xA4\xE0\x80\xAF", "\xC3\xA4\xE0\x80\xAF", false, 0},  // overlong, three bytes
        {"\xC3\xA4\xED\xA0\x80", "\xC3\xA4\xED\xA0\x80", false, 0},  // a surrogate
        {"\xC3\xA4\xF4\x90\x80\x80", "\xC3\xA4\xF4\x90\x80\x80", false, 0},  // above U+10FFFF
        {"\xC3\xA4\xF8\x88\x80\x80\x80", "\xC3\xA4\xF8\x88\x80\x80\x80", false, 0},
        {"\xC3\xA4"
         "abc\xC3",
         "\xC3\xA4"
         "abc\xC3",
         false, 0},  // cut at the end
        {"\xE2\x82", "\xE2\x82", false, 0},
        {"\xC3\xA4\x80", "\xC3\xA4\x80", false, 0},  // a lone continuation
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(test::Printable(c.Input));
        const Converted converted = Convert(c.Input);
        ExpectBytes(converted.Text, c.Expected);
        EXPECT_EQ(converted.Result.Converted, c.Converted);
        EXPECT_EQ(converted.Result.Unconvertible, c.Unconvertible);
    }
}

TEST(Utf8Text, EveryCharacterOfTheCodePageComesBackAsItsByte) {
    // The page's upper half, written as UTF-8 by hand from its code points.
    const char32_t upper[128] = {
        0x20AC, 0,      0x201A, 0,      0x201E, 0x2026, 0x2020, 0x2021, 0,      0x2030, 0x0160,
        0x2039, 0x015A, 0x0164, 0x017D, 0x0179, 0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0,      0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0,
        0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB,
        0x00AC, 0x00AD, 0x00AE, 0x017B, 0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6,
        0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, 0x0154, 0x00C1,
        0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A,
        0x00CD, 0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,
        0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, 0x0155, 0x00E1, 0x00E2,
        0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, 0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED,
        0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7, 0x0159,
        0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
    };
    std::string utf8;
    std::string expected;
    for (int i = 0; i < 128; ++i) {
        const char32_t c = upper[i];
        if (c == 0) continue;
        if (c < 0x800) {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
        } else {
            utf8 += static_cast<char>(0xE0 | (c >> 12));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        }
        utf8 += static_cast<char>(0x80 | (c & 0x3F));
        expected += static_cast<char>(0x80 + i);
    }
    const Converted converted = Convert(utf8);
    ExpectBytes(converted.Text, expected);
    EXPECT_EQ(converted.Result.Unconvertible, 0u);
}

// One AAF record in Windows-1250, and the same in UTF-8 with a byte-order mark.
constexpr std::string_view kAafWindows1250 =
    "#A93:Kov\xE1"
    "cs,J\xE1nos,M,15.03.1950g,14:30,P\xE9"
    "cs,H\r\n"
    "#B93:*,46N04,18E14,1he00,0\r\n"
    "#COM:Gro\xDF und \x84klein\x93\r\n";
constexpr std::string_view kAafUtf8 =
    "\xEF\xBB\xBF#A93:Kov\xC3\xA1"
    "cs,J\xC3\xA1nos,M,15.03.1950g,14:30,P\xC3\xA9"
    "cs,H\r\n"
    "#B93:*,46N04,18E14,1he00,0\r\n"
    "#COM:Gro\xC3\x9F und \xE2\x80\x9Eklein\xE2\x80\x9C\r\n";

TEST(Utf8Text, AafLoadConvertsBeforeTheRecordIsFound) {
    TempDir dir;
    test::WriteFile(dir.File("cp.aaf"), kAafWindows1250);
    test::WriteFile(dir.File("utf8.aaf"), std::string(kAafUtf8) + "\r\n\r\n");
    AafDatabase db;
    ASSERT_TRUE(db.LoadFromFile(dir.File("cp.aaf")));
    EXPECT_FALSE(db.LastConversion().Converted);
    const std::string windows1250(db.Text());

    ASSERT_TRUE(db.LoadFromFile(dir.File("utf8.aaf")));
    EXPECT_TRUE(db.LastConversion().Converted);
    EXPECT_EQ(db.LastConversion().Unconvertible, 0u);
    // Trailing empty lines are cut from the converted text, and the cursor counts its bytes.
    ExpectBytes(db.Text(), windows1250);
    EXPECT_EQ(db.Cursor(), 5u);
    EXPECT_EQ(db.Capacity(), GrownCapacity(static_cast<std::int64_t>(db.Text().size())));
    db.ParseRecord();
    ExpectBytes(FieldText(db.LastName),
                "Kov\xE1"
                "cs");
    ExpectBytes(FieldText(db.Place),
                "P\xE9"
                "cs");

    // A later plain load reports no conversion of its own.
    ASSERT_TRUE(db.LoadFromFile(dir.File("cp.aaf")));
    EXPECT_FALSE(db.LastConversion().Converted);
}

TEST(Utf8Text, LoadCountsCharactersWrittenAsQuestionMarks) {
    TempDir dir;
    test::WriteFile(
        dir.File("greek.aaf"),
        "#A93:\xCE\xA0\xCE\xB1\xCF\x80\xCE\xAC\xCF\x82,Ann,F,1.1.1990g,10:00,Ath,GR\r\n");
    AafDatabase db;
    ASSERT_TRUE(db.LoadFromFile(dir.File("greek.aaf")));
    EXPECT_EQ(db.LastConversion().Unconvertible, 5u);
    db.ParseRecord();
    ExpectBytes(FieldText(db.LastName), "?????");
}

TEST(Utf8Text, ConvertedTextBelowSixteenBytesIsRefusedLikeAShortFile) {
    TempDir dir;
    test::WriteFile(dir.File("tiny.aaf"),
                    "\xEF\xBB\xBF#A93:\xC3\xA1,,,,,,\r\n");  // 18 bytes, 14 after
    AafDatabase db;
    EXPECT_FALSE(db.LoadFromFile(dir.File("tiny.aaf")));
    EXPECT_EQ(db.LastLoadFailure(), LoadFailure::ShortOrTiny);
    EXPECT_TRUE(db.Text().empty());
}

TEST(Utf8Text, QckColumnsCountConvertedBytes) {
    // Kovacs with two accents: in UTF-8 the line is two bytes longer than its 101 columns.
    const std::string rest = "MAR 07, 196102:30:00 PM    -01:00019E03'00 47N30'00 Budapest,H" +
                             std::string(16, ' ') + "\r\n";
    const std::string windows1250 =
        "Kov\xE1"
        "cs,J\xE1nos           " +
        rest;
    const std::string utf8 =
        "Kov\xC3\xA1"
        "cs,J\xC3\xA1nos           " +
        rest;
    ASSERT_EQ(windows1250.size(), kQckLineLength + 2);
    TempDir dir;
    test::WriteFile(dir.File("utf8.qck"), utf8 + utf8);
    QckDatabase db;
    ASSERT_TRUE(db.LoadFromFile(dir.File("utf8.qck")));
    ExpectBytes(db.Text(), windows1250 + windows1250);
    for (int line = 0; line < 2; ++line) {
        db.ParseRecord();
        ExpectBytes(FieldText(db.LastName),
                    "Kov\xE1"
                    "cs");
        ExpectBytes(FieldText(db.FirstName), "J\xE1nos");
        EXPECT_EQ(db.Year, 1961);
        EXPECT_DOUBLE_EQ(db.Latitude, 47.5);
        ExpectBytes(FieldText(db.Place), "Budapest");
        EXPECT_EQ(db.NextRecord(), line == 0);
    }
}

TEST(Utf8Text, InventorsSampleLoadsAsWindows1250) {
    const auto path = test::SamplesDir() / "erfinder.aaf";
    REQUIRE_SAMPLE(path);
    AafDatabase db;
    ASSERT_TRUE(db.LoadFromFile(path.string()));
    EXPECT_TRUE(db.LastConversion().Converted);
    EXPECT_EQ(db.LastConversion().Unconvertible, 0u);
    const std::string_view text = db.Text();
    EXPECT_NE(text.find("Pr\xE4zision"), std::string_view::npos);
    EXPECT_NE(text.find("Gro\xDFunternehmer"), std::string_view::npos);
    EXPECT_EQ(text.find('\xC3'), std::string_view::npos);  // no UTF-8 lead byte of a-umlaut left
    db.ParseRecord();
    ExpectBytes(FieldText(db.LastName), "Amundsen");
    int charts = 1;
    while (db.NextRecord())
        ++charts;
    EXPECT_EQ(charts, 50);
}

// The one-pass conversion used by loads must agree with the checked two-pass one on every
// text: the same bytes when the text is UTF-8, and either untouched or marked spoiled (so the
// load reads the file again) when it is not.
TEST(Utf8Text, OnePassAgreesWithTheCheckedConversion) {
    const std::string_view pieces[] = {"Kiss,Anna\r\n",
                                       "\xC3\xA1",
                                       "\xC5\x91",
                                       "\xE2\x80\xA6",
                                       "\xEF\xBB\xBF",
                                       "e\xCC\x81",
                                       "\xF0\x9F\x98\x80",
                                       "\xE1",          // a Windows-1250 letter: not UTF-8
                                       "\xC3",          // a cut sequence
                                       "\xED\xA0\x80",  // a surrogate
                                       "12345678901234567890"};
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int count = 1 + static_cast<int>(random() % 12);
        for (int i = 0; i < count; ++i)
            text += pieces[random() % std::size(pieces)];
        std::string reference = text;
        std::size_t referenceLength = reference.size();
        const Utf8Conversion expected = ConvertUtf8ToWindows1250(reference.data(), referenceLength);
        reference.resize(referenceLength);

        std::string onePass = text;
        std::size_t length = onePass.size();
        const Utf8InPlace outcome = ConvertUtf8InPlace(onePass.data(), length);
        ASSERT_EQ(outcome.Conversion.Converted, expected.Converted) << test::Printable(text);
        if (expected.Converted) {
            EXPECT_FALSE(outcome.Spoiled);
            EXPECT_EQ(onePass.substr(0, length), reference) << test::Printable(text);
            EXPECT_EQ(outcome.Conversion.Unconvertible, expected.Unconvertible);
        } else {
            EXPECT_EQ(length, text.size());
            if (!outcome.Spoiled) {
                EXPECT_EQ(onePass, text) << test::Printable(text);
            }
        }
    }
}

TEST(Utf8Text, TextThatStopsBeingUtf8LateIsLoadedByteForByte) {
    TempDir dir;
    // Valid UTF-8 in the first chart, a Windows-1250 letter in the second.
    const std::string bytes =
        "#A93:Kov\xC3\xA1"
        "cs,J\xC3\xA1nos,M,15.03.1950g,14:30,Budapest,H\r\n"
        "#B93:*,47N30,19E05,1he00,0\r\n\r\n"
        "#A93:Kov\xE1"
        "cs,Anna,F,01.01.1951g,10:00,P\xE9"
        "cs,H\r\n"
        "#B93:*,46N05,18E14,1he00,0\r\n";
    test::WriteFile(dir.File("mixed.aaf"), bytes);
    AafDatabase database;
    ASSERT_TRUE(database.LoadFromFile(dir.File("mixed.aaf")));
    EXPECT_EQ(database.Text(), bytes);
    EXPECT_FALSE(database.LastConversion().Converted);
}

// File names are lowered letter by letter in UTF-8: every capital of the code page whose small
// letter it also has, and nothing else.
TEST(Utf8Text, LowersTheLettersTheCodePageHasInBothCases) {
    // Each capital of Windows-1250 above ASCII, beside its small letter.
    const std::string capitals = "ŠŚŤŽŹŁĄŞŻĽŔÁÂĂÄĹĆÇČÉĘËĚÍÎĎĐŃŇÓÔŐÖŘŮÚŰÜÝŢ";
    const std::string smalls = "šśťžźłąşżľŕáâăäĺćçčéęëěíîďđńňóôőöřůúűüýţ";
    ExpectBytes(LowerWindows1250Letters(capitals), smalls);
    ExpectBytes(LowerWindows1250Letters(smalls), smalls);
    const std::pair<std::string, std::string> cases[] = {
        {"ÁrpÁd.AAF", "árpád.aaf"},
        {"/Home/ŐSZ/Kovács Béla", "/home/ősz/kovács béla"},
        // Not the page's, or not in both cases: À, Ÿ, İ, ß, ×, Greek and Cyrillic stay.
        {"ÀŸİß×ΩЖ", "ÀŸİß×ΩЖ"},
        // Bytes that are not UTF-8 stay as they are, letters around them are lowered.
        {"A\xC1\xFF"
         "B\xC3",
         "a\xC1\xFF"
         "b\xC3"},
        {"\xC3\x81\xED\xA0\x80Z", "\xC3\xA1\xED\xA0\x80z"},
        {"", ""},
    };
    for (const auto& [input, expected] : cases)
        ExpectBytes(LowerWindows1250Letters(input), expected);
}

TEST(Utf8Text, DecodesOneSequenceAndRefusesWhatIsNotUtf8) {
    struct Case {
        std::string Text;
        std::size_t At;
        std::size_t Length;
        char32_t CodePoint;
    };
    const Case cases[] = {
        {"a", 0, 1, U'a'},
        {"xő", 1, 2, 0x0151},
        {"€", 0, 3, 0x20AC},
        {"\xF0\x9F\x98\x80", 0, 4, 0x1F600},
        {"\xC3", 0, 0, 0},              // cut short
        {"\xC0\x80", 0, 0, 0},          // overlong
        {"\xED\xA0\x80", 0, 0, 0},      // a surrogate
        {"\xF4\x90\x80\x80", 0, 0, 0},  // beyond U+10FFFF
        {"\x81", 0, 0, 0},              // a continuation alone
        {"a", 1, 0, 0},                 // past the end
    };
    for (const Case& c : cases) {
        char32_t codePoint = 0;
        EXPECT_EQ(DecodeUtf8At(c.Text, c.At, codePoint), c.Length) << test::Printable(c.Text);
        if (c.Length != 0) {
            EXPECT_EQ(codePoint, c.CodePoint);
        }
    }
    EXPECT_EQ(Windows1250ByteOf(0x0150), 0xD5);  // Ő, the page's own
    EXPECT_EQ(Windows1250ByteOf(0x00E0), 'a');   // à, which it lacks
    EXPECT_EQ(Windows1250ByteOf(0x0416), 0);     // Ж
    EXPECT_EQ(Windows1250ByteOf(0x1F600), 0);
}

// Every byte of the page reaches UTF-8 and comes back through the load's conversion; the
// holes of the page become U+FFFD.
TEST(Utf8Text, Windows1250TextBecomesUtf8) {
    std::string page;
    for (unsigned byte = 1; byte < 0x100; ++byte) {
        if (Windows1250CodePoint(static_cast<unsigned char>(byte)) != 0 || byte < 0x80)
            page.push_back(static_cast<char>(byte));
    }
    std::string utf8 = Utf8FromWindows1250(page);
    std::size_t length = utf8.size();
    EXPECT_TRUE(ConvertUtf8ToWindows1250(utf8.data(), length).Converted);
    ExpectBytes(std::string_view(utf8.data(), length), page);
    ExpectBytes(Utf8FromWindows1250("Kov\xE1"
                                    "cs \xD5\x81"),
                "Kovács Ő\uFFFD");
}

}  // namespace
}  // namespace tervalo
