// The report file's bytes, its cells, and the count per kind.
#include "run/ChartReport.h"

#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/Platform.h"

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

    std::vector<Finding> findings = kTwoFindings;
    findings.push_back(finding);
    findings.push_back(finding);
    EXPECT_EQ(FindingCounts(findings), "javítva: 1, elveszett: 2, kihagyva: 1");
    EXPECT_EQ(FindingCounts({}), "");
}

}  // namespace
}  // namespace tervalo
