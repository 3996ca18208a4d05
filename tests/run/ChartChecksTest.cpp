// Chart checks: one crafted chart per finding and target, and a clean chart on every target.
#include "run/ChartChecks.h"

#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/ChartRecord.h"

namespace tervalo {
namespace {

AafRecord CleanChart() {
    return test::CleanKovacs();
}

// Each finding as "kind<TAB>field: detail", in the order found.
std::vector<std::string> Findings(const AafRecord& chart, Target target) {
    std::vector<Finding> found;
    CheckChart(chart, target, {"a.aaf", 2, 5}, found);
    std::vector<std::string> tails;
    for (const Finding& finding : found) {
        const std::string line = ReportLine(finding);
        std::size_t at = 0;
        for (int tab = 0; tab < 4; ++tab)
            at = line.find('\t', at) + 1;
        tails.push_back(line.substr(at));
    }
    return tails;
}

constexpr double kSecond = 1.0 / 3600;

TEST(ChartChecks, EachCraftedChartGivesExactlyItsFindings) {
    struct Case {
        void (*Change)(AafRecord&);
        Target OnTarget;
        std::vector<std::string> Expected;
    };
    const Case cases[] = {
        // Dates that cannot be real, on every target.
        {[](AafRecord& c) { c.Month = 2, c.Day = 30; }, Target::Aaf, {"gyanús\tnap: 1950.02.30"}},
        {[](AafRecord& c) { c.Year = 1900, c.Month = 2, c.Day = 29; },
         Target::Qck,
         {"gyanús\tnap: 1900.02.29"}},
        {[](AafRecord& c) { c.Year = 1900, c.Month = 2, c.Day = 29, c.Gregorian = false; },
         Target::Qck,
         {}},
        {[](AafRecord& c) { c.Month = 13; }, Target::Csv, {"gyanús\thónap: 1950.13.15"}},
        {[](AafRecord& c) { c.Month = 0, c.Day = 0; },
         Target::Num,
         {"gyanús\thónap: 1950.00.00", "gyanús\tnap: 1950.00.00"}},
        {[](AafRecord& c) { c.Year = 0; }, Target::Hor, {"gyanús\tév: 0.03.15"}},
        // Notes: QCK and CSV drop them, NUM and AAF keep them.
        {[](AafRecord& c) { SetFieldText(c.Notes, "Els\xF5 sor\r\nm\xE1sodik"); },
         Target::Qck,
         {"elveszett\tjegyzet: Első sor…"}},
        {[](AafRecord& c) { SetFieldText(c.Notes, "x"); }, Target::Csv, {"elveszett\tjegyzet: x"}},
        {[](AafRecord& c) { SetFieldText(c.Notes, "x"); }, Target::Num, {}},
        // Seconds through AAF text; QCK keeps those of the place, rounding to the half second
        // may leave none.
        {[](AafRecord& c) { c.Latitude = 47 + 29.0 / 60 + 33 * kSecond; },
         Target::Aaf,
         {"elveszett\tszélesség: 47°29′33″ É → 47°29′ É"}},
        {[](AafRecord& c) { c.Longitude = -(19 + 2.0 / 60 + 51 * kSecond); },
         Target::Num,
         {"elveszett\thosszúság: 19°02′51″ Ny → 19°02′ Ny"}},
        {[](AafRecord& c) { c.Latitude = 47 + 29.0 / 60 + 59.8 * kSecond; }, Target::Szk, {}},
        {[](AafRecord& c) { c.Latitude = 47 + 29.0 / 60 + 59.4 * kSecond; },
         Target::Hor,
         {"elveszett\tszélesség: 47°29′59″ É → 47°29′ É"}},
        {[](AafRecord& c) { c.Latitude = -(47 + 30.0 / 60 + 0.6 * kSecond); },
         Target::Csv,
         {"elveszett\tszélesség: 47°30′01″ D → 47°30′ D"}},
        {[](AafRecord& c) { c.Latitude = 47 + 29.0 / 60 + 33 * kSecond; }, Target::Qck, {}},
        {[](AafRecord& c) { c.TimeZone = -(1 + 16.0 / 60 + 20 * kSecond); },
         Target::Csv,
         {"elveszett\tidőzóna: 1:16:20 K → 1:16 K"}},
        {[](AafRecord& c) { c.TimeZone = -(1 + 16.0 / 60 + 20 * kSecond), c.DaylightCode = 60; },
         Target::Qck,
         {"elveszett\tidőzóna: 2:16:20 K → 2:16 K"}},
        // QCK's columns: "Last,First" in 23, "Place,Country" in 26.
        {[](AafRecord& c) {
             SetFieldText(c.LastName,
                          "Nagy-Kov\xE1"
                          "csn\xE9 Szab\xF3");
             SetFieldText(c.FirstName,
                          "Erzs\xE9"
                          "bet");
         },
         Target::Qck,
         {"elveszett\tnév: Nagy-Kovácsné Szabó,Erzsébet → Nagy-Kovácsné Szabó,Erz"}},
        {[](AafRecord& c) {
             SetFieldText(c.LastName, "Abcdefghijklmnopqrstuvw");
             SetFieldText(c.FirstName, "");
         },
         Target::Qck,
         {}},
        {[](AafRecord& c) {
             SetFieldText(c.Place, "S\xE1toralja\xFAjhely-Sz\xE9phalom");
             SetFieldText(c.Country, "H");
         },
         Target::Qck,
         {"elveszett\thely: Sátoraljaújhely-Széphalom,H → Sátoraljaújhely-Széph,H"}},
        {[](AafRecord& c) { SetFieldText(c.Country, "Magyar K\xF6zt\xE1rsas\xE1g"); },
         Target::Qck,
         {"elveszett\thely: Budapest,Magyar Köztársaság → Budapest,Magyar Köztársasá"}},
        // HOR and SZK: one daylight hour.
        {[](AafRecord& c) { c.DaylightCode = 30; },
         Target::Hor,
         {"elveszett\tnyári időszámítás: 30 perc → 1 óra"}},
        {[](AafRecord& c) { c.DaylightCode = 120; },
         Target::Szk,
         {"elveszett\tnyári időszámítás: 120 perc → 1 óra"}},
        {[](AafRecord& c) { c.DaylightCode = 120; }, Target::Aaf, {}},
        // SZK: no era, no sign on a zero degree.
        {[](AafRecord& c) { c.Year = -44; }, Target::Szk, {"elveszett\tév: i. e. 44 → i. sz. 44"}},
        {[](AafRecord& c) { c.Year = -44; }, Target::Hor, {}},
        {[](AafRecord& c) { c.Latitude = -0.5, c.Longitude = -0.25; },
         Target::Szk,
         {"elveszett\tszélesség: 0°30′ D → 0°30′ É", "elveszett\thosszúság: 0°15′ Ny → 0°15′ K"}},
        {[](AafRecord& c) { c.Latitude = -0.5; }, Target::Hor, {}},
        {[](AafRecord& c) { c.Latitude = -1.5; }, Target::Szk, {}},
        {[](AafRecord& c) { c.Longitude = -5 * kSecond; },
         Target::Szk,
         {"elveszett\thosszúság: 0°00′05″ Ny → 0°00′ Ny"}},
        // HOR: a man or not.
        {[](AafRecord& c) { c.Gender = 'E'; }, Target::Hor, {"elveszett\tnem: esemény → nő"}},
        {[](AafRecord& c) { c.Gender = '*'; }, Target::Hor, {"elveszett\tnem: ismeretlen → nő"}},
        {[](AafRecord& c) { c.Gender = 'f'; }, Target::Hor, {}},
        {[](AafRecord& c) { c.Gender = 'E'; }, Target::Szk, {}},
    };
    for (const Case& testCase : cases) {
        AafRecord chart = CleanChart();
        testCase.Change(chart);
        EXPECT_EQ(Findings(chart, testCase.OnTarget), testCase.Expected)
            << "target " << static_cast<int>(testCase.OnTarget) << ", first expected "
            << (testCase.Expected.empty() ? "none" : testCase.Expected[0]);
    }
}

TEST(ChartChecks, CleanChartGivesNothingAndFindingsCarryTheirOrigin) {
    const AafRecord clean = CleanChart();
    for (int target = 0; target < kTargetCount; ++target)
        EXPECT_EQ(CheckChart(clean, static_cast<Target>(target)), 0u) << "target " << target;

    AafRecord chart = CleanChart();
    chart.Day = 32;
    std::vector<Finding> found;
    CheckChart(chart, Target::Aaf, {"a.aaf", 2, 5}, found);
    ASSERT_EQ(found.size(), 1u);
    ExpectBytes(ReportLine(found[0]), "a.aaf\t2\t5\tKovács János\tgyanús\tnap: 1950.03.32");
}

}  // namespace
}  // namespace tervalo
