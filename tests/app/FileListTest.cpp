// The list of input files: order, duplicates and the case rule.
#include "app/FileList.h"

#include <gtest/gtest.h>

#include "aaf/Platform.h"

namespace tervalo {
namespace {

TEST(FileList, OrdersWithoutRegardToCaseAndKeepsEachPathOnce) {
    struct Case {
        std::vector<std::string> before;
        std::vector<std::string> added;
        PathCase pathCase;
        std::vector<std::string> expected;
    };
    // Windows lowers accented capitals as well; elsewhere only A to Z are touched.
    const bool everyLetter = LowerCasePath("\xc3\x81") == "\xc3\xa1";  // Á, á
    const Case cases[] = {
        {{}, {"/d/b.aaf", "/d/A.aaf", "/d/b.aaf"}, PathCase::Preserve, {"/d/A.aaf", "/d/b.aaf"}},
        // Case variants are different files where case matters; ties go by exact bytes.
        {{"/d/x.aaf"}, {"/d/X.aaf"}, PathCase::Preserve, {"/d/X.aaf", "/d/x.aaf"}},
        {{"/d/x.aaf"}, {"/d/x.aaf"}, PathCase::Preserve, {"/d/x.aaf"}},
        {{}, {"C:\\DATA\\X.AAF", "c:\\data\\x.aaf"}, PathCase::Lower, {"c:\\data\\x.aaf"}},
        {{},
         {"C:\\Adatok\\KOVÁCS Ödön.AAF", "c:\\adatok\\kovács ödön.aaf"},
         PathCase::Lower,
         everyLetter ? std::vector<std::string>{"c:\\adatok\\kovács ödön.aaf"}
                     : std::vector<std::string>{"c:\\adatok\\kovÁcs Ödön.aaf",
                                                "c:\\adatok\\kovács ödön.aaf"}},
        {{},
         {"D:\\DVOŘÁK.QCK"},
         PathCase::Lower,
         {everyLetter ? "d:\\dvořák.qck" : "d:\\dvoŘÁk.qck"}},
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
