// The list of input files: order, duplicates and the case rule.
#include "run/FileList.h"

#include <gtest/gtest.h>

#include "core/Platform.h"

namespace tervalo {
namespace {

TEST(FileList, OrdersWithoutRegardToCaseAndKeepsEachPathOnce) {
    struct Case {
        std::vector<std::string> before;
        std::vector<std::string> added;
        PathCase pathCase;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {{}, {"/d/b.aaf", "/d/A.aaf", "/d/b.aaf"}, PathCase::Preserve, {"/d/A.aaf", "/d/b.aaf"}},
        // Case variants are different files where case matters; ties go by exact bytes.
        {{"/d/x.aaf"}, {"/d/X.aaf"}, PathCase::Preserve, {"/d/X.aaf", "/d/x.aaf"}},
        {{"/d/x.aaf"}, {"/d/x.aaf"}, PathCase::Preserve, {"/d/x.aaf"}},
        {{}, {"C:\\DATA\\X.AAF", "c:\\data\\x.aaf"}, PathCase::Lower, {"c:\\data\\x.aaf"}},
        {{},
         {"C:\\Adatok\\KOVÁCS Ödön.AAF", "c:\\adatok\\kovács ödön.aaf"},
         PathCase::Lower,
         {"c:\\adatok\\kovács ödön.aaf"}},
        {{}, {"D:\\DVOŘÁK.QCK"}, PathCase::Lower, {"d:\\dvořák.qck"}},
        {{"/d/b.qck"},
         {"/d/a.hor", "/d/C.aaf"},
         PathCase::Preserve,
         {"/d/a.hor", "/d/b.qck", "/d/C.aaf"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> list = c.before;
        AddToFileList(list, c.added, c.pathCase);
        EXPECT_EQ(list, c.expected);
    }
}

// A person's alphabet: accented letters among their base letters, case and accents only
// breaking ties. Paths are UTF-8.
TEST(FileList, OrdersAccentedNamesAmongTheirBaseLetters) {
    struct Case {
        std::vector<std::string> added;
        PathCase pathCase;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {{"/d/zoli.aaf", "/d/Béla.aaf", "/d/Ábel.aaf"},
         PathCase::Preserve,
         {"/d/Ábel.aaf", "/d/Béla.aaf", "/d/zoli.aaf"}},
        {{"/d/Pál.aaf", "/d/Oszkár.aaf", "/d/Ödön.aaf", "/d/Nóra.aaf", "/d/Őze.aaf"},
         PathCase::Preserve,
         {"/d/Nóra.aaf", "/d/Ödön.aaf", "/d/Oszkár.aaf", "/d/Őze.aaf", "/d/Pál.aaf"}},
        // Ties: without accents alike, then without regard to case, then by bytes.
        {{"/d/ábel", "/d/Ábel", "/d/abel", "/d/Abel"},
         PathCase::Preserve,
         {"/d/Abel", "/d/abel", "/d/Ábel", "/d/ábel"}},
        // Letters of other languages, and decomposed accents, go by their base letter too.
        {{"/d/b.aaf", "/d/Àrpa.aaf", "/d/A\xCC\x81gnes.aaf", "/d/Šandor.aaf", "/d/Roza.aaf"},
         PathCase::Preserve,
         {"/d/A\xCC\x81gnes.aaf", "/d/Àrpa.aaf", "/d/b.aaf", "/d/Roza.aaf", "/d/Šandor.aaf"}},
        // Bytes that are not UTF-8 stay bytes and come after the letters.
        {{"/d/\xC1rp\xE1"
          "d.aaf",
          "/d/zeta.aaf",
          "/d/\xC1rp\xE1"
          "d.aaf"},
         PathCase::Preserve,
         {"/d/zeta.aaf",
          "/d/\xC1rp\xE1"
          "d.aaf"}},
        // Lowered rows lower accented capitals too, and fall together.
        {{"C:\\DATA\\ÁRPÁD.AAF", "c:\\data\\árpád.aaf", "C:\\Data\\Őz.qck"},
         PathCase::Lower,
         {"c:\\data\\árpád.aaf", "c:\\data\\őz.qck"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> list;
        AddToFileList(list, c.added, c.pathCase);
        EXPECT_EQ(list, c.expected);
        // Added one by one, in reverse, the list ends the same.
        std::vector<std::string> oneByOne;
        for (auto path = c.added.rbegin(); path != c.added.rend(); ++path)
            AddToFileList(oneByOne, {*path}, c.pathCase);
        EXPECT_EQ(oneByOne, c.expected);
    }
}

TEST(FileList, ExtensionIsTakenFromTheFileNameOnly) {
    const std::pair<std::string, std::string> cases[] = {
        {"/d/family.aaf", ".aaf"},
        {"/d/family.AAF", ".AAF"},
        {"/d.x/family", ""},
        {"/d/archive.tar.qck", ".qck"},
        {"/d/.hor", ".hor"},
        // A backslash separates folders on Windows only; elsewhere it is part of the name.
        {"c:\\d.x\\family", IsPathSeparator('\\') ? "" : ".x\\family"},
    };
    for (const auto& [path, extension] : cases)
        EXPECT_EQ(PathExtension(path), extension) << path;
}

}  // namespace
}  // namespace tervalo
