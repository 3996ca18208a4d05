// The report file's bytes, its cells, and the count per kind.
#include "run/ChartReport.h"

#include <algorithm>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/Platform.h"
#include "run/TakenPaths.h"

namespace tervalo {
namespace {

const std::vector<Finding> kTwoFindings = {
    {FindingKind::Corrected, "C:\\adatok\\Kovács.aaf", 3, 17, "Kovács János", ChartField::Time,
     "25 → 23"},
    {FindingKind::Skipped, "/home/ő/nagy.qck", 0, 0, "", ChartField::None,
     "túl nagy\r\nfájl\t2,35 GB"},
};

TEST(ChartReport, WritesBomHeaderAndTabSeparatedLines) {
    test::TempDir dir;
    const std::string path = dir.File("jelentés.txt");
    ASSERT_TRUE(WriteReportFile(path, kTwoFindings));
    ExpectBytes(test::ReadFile(PathFromUtf8(path)),
                "\xEF\xBB\xBF"                                        // byte-order mark
                "Fájl\tHoroszkóp\tSor\tNév\tMi történt\tRészlet\r\n"  // header
                "C:\\adatok\\Kovács.aaf\t3\t17\tKovács János\tjavítva\tidő: 25 → 23\r\n"
                "/home/ő/nagy.qck\t\t\t\tkihagyva\ttúl nagy  fájl 2,35 GB\r\n");
    EXPECT_FALSE(WriteReportFile(dir.File("no/such/folder/r.txt"), kTwoFindings));
}

// A cell that Excel would compute keeps its text; every field gets its Hungarian name.
TEST(ChartReport, CellsAndCounts) {
    Finding finding{FindingKind::Lost, "=HYPERLINK(\"x\")", 1, 2, "@nev", ChartField::Gender, ""};
    ExpectBytes(ReportLine(finding), "'=HYPERLINK(\"x\")\t1\t2\t'@nev\telveszett\tnem");
    EXPECT_EQ(ChartFieldName(ChartField::Daylight), "nyári időszámítás");
    EXPECT_EQ(FindingKindText(FindingKind::NotWritten), "nem írható");
    EXPECT_EQ(EarlierChartDetail("a.aaf", 3), "a.aaf, 3. horoszkóp");

    FindingLog log({});
    EXPECT_EQ(FindingCounts(log.Tally()), "");
    for (const Finding& counted : {kTwoFindings[0], kTwoFindings[1], finding, finding})
        log.Add(counted);
    EXPECT_EQ(FindingCounts(log.Tally()), "javítva: 1, elveszett: 2, kihagyva: 1");
}

// The report is asked for its place at the first finding; every finding reaches it, the first
// few hundred are kept whole, and a report not finished (an aborted run) is removed.
TEST(ChartReport, LogWritesEveryFindingAndKeepsTheFirst) {
    test::TempDir dir;
    const std::string path = dir.File("j.txt");
    int asked = 0;
    const auto place = [&] {
        ++asked;
        return path;
    };
    {
        FindingLog log(place);
        EXPECT_EQ(asked, 0);
        for (std::uint32_t chart = 1; chart <= kKeptFindings + 10; ++chart) {
            log.Add(FindingKind::Lost, "a.aaf", chart, chart, "N", ChartField::Notes, "");
            log.Add(FindingKind::Lost, "a.aaf", chart, chart, "N", ChartField::Name, "");
        }
        log.Add(FindingKind::Lost, "b.aaf", 1, 1, "N", ChartField::Notes, "");
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(log.Kept().size(), kKeptFindings);
        EXPECT_EQ(log.Tally().Charts, kKeptFindings + 11);
        EXPECT_EQ(log.Tally().Total(), 2 * (kKeptFindings + 10) + 1);
        ASSERT_TRUE(log.Finish());
    }
    const std::string text = test::ReadFile(PathFromUtf8(path));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2 * (kKeptFindings + 10) + 2);
    {
        FindingLog log(place);
        log.Add(kTwoFindings[0]);
    }
    EXPECT_FALSE(PathExists(path));
}

}  // namespace
}  // namespace tervalo
