// Likely duplicates: pairs that are and are not alike, and a million distinct charts.
#include "run/DuplicateFinder.h"

#include <string>

#include "TestSupport.h"
#include "core/ChartRecord.h"

namespace tervalo {
namespace {

AafRecord Person() {
    return test::CleanKovacs();
}

void Name(AafRecord& chart, const char* last, const char* first) {
    SetFieldText(chart.LastName, last);
    SetFieldText(chart.FirstName, first);
}

TEST(DuplicateFinder, TellsAlikePairsFromOthers) {
    struct Case {
        void (*First)(AafRecord&);
        void (*Second)(AafRecord&);
        bool Alike;
    };
    const auto same = [](AafRecord&) {};
    const Case cases[] = {
        {same, same, true},
        // One person's name from other sources: capitals without accents, one field, swapped.
        {same, [](AafRecord& c) { Name(c, "KOVACS, Janos", ""); }, true},
        {same,
         [](AafRecord& c) {
             Name(c, "J\xC1NOS",
                  "*  Kov\xE1"
                  "cs");
         },
         true},
        {same,
         [](AafRecord& c) {
             Name(c,
                  "Kov\xE1"
                  "cs B\xE9la",
                  "");
         },
         false},
        // QCK's 23 columns cut a long name; a short name that differs in its end is another.
        {[](AafRecord& c) {
             Name(c,
                  "Nagy-Kov\xE1"
                  "csn\xE9 Szab\xF3",
                  "Erzs\xE9"
                  "bet M\xE1ria");
         },
         [](AafRecord& c) { Name(c, "Nagy-Kovacsne Szabo", "Erz"); }, true},
        {[](AafRecord& c) { Name(c, "Kiss", "Anna"); },
         [](AafRecord& c) { Name(c, "Kiss", "Ann"); }, false},
        {[](AafRecord& c) { Name(c, "", ""); }, [](AafRecord& c) { Name(c, "", "*"); }, false},
        // Times within 2 minutes.
        {same, [](AafRecord& c) { c.Time += 2.0 / 60; }, true},
        {same, [](AafRecord& c) { c.Time -= 2.5 / 60; }, false},
        // Places within 0.1 degree, also across the edges of the cells and of the hemispheres.
        {same, [](AafRecord& c) { c.Latitude += 0.1; }, true},
        {same, [](AafRecord& c) { c.Longitude -= 0.1; }, true},
        {same, [](AafRecord& c) { c.Latitude += 0.11; }, false},
        {[](AafRecord& c) { c.Latitude = 47.49; }, [](AafRecord& c) { c.Latitude = 47.53; }, true},
        {[](AafRecord& c) { c.Longitude = -0.05; }, [](AafRecord& c) { c.Longitude = 0.04; }, true},
        {[](AafRecord& c) { c.Latitude = 0.02, c.Longitude = 0.0; },
         [](AafRecord& c) { c.Latitude = -0.07, c.Longitude = -0.09; }, true},
        // The same date and calendar.
        {same, [](AafRecord& c) { c.Gregorian = false; }, false},
        {same, [](AafRecord& c) { c.Day = 16; }, false},
        {[](AafRecord& c) { c.Time = 23 + 59.0 / 60; },
         [](AafRecord& c) { c.Day = 16, c.Time = 1.0 / 60; }, false},
    };
    int row = 0;
    for (const Case& testCase : cases) {
        AafRecord first = Person();
        AafRecord second = Person();
        testCase.First(first);
        testCase.Second(second);
        DuplicateFinder finder;
        EXPECT_EQ(finder.Add(first, {0, 1}), std::nullopt) << "row " << row;
        const std::optional<ChartId> expected =
            testCase.Alike ? std::optional<ChartId>(ChartId{0, 1}) : std::nullopt;
        EXPECT_EQ(finder.Add(second, {1, 7}), expected) << "row " << row;
        ++row;
    }

    // A third chart of the same person names the earliest.
    DuplicateFinder finder;
    finder.Add(Person(), {0, 1});
    finder.Add(Person(), {1, 1});
    EXPECT_EQ(finder.Add(Person(), {2, 1}), (ChartId{0, 1}));
}

// Each day holds 2,500 charts of different names in a few cells, and each name comes back on
// other days: many charts share a cell, and none is alike.
TEST(DuplicateFinder, MillionDistinctChartsGiveNoPair) {
    constexpr std::uint32_t kCharts = 1'000'000;
    constexpr std::uint32_t kNames = 50;
    AafRecord chart;
    ChartDate date{1950, 1, 1};
    DuplicateFinder finder;
    std::uint32_t pairs = 0;
    for (std::uint32_t i = 0; i < kCharts; ++i) {
        if (i > 0 && i % (kNames * kNames) == 0) date = NextDay(date, true);
        const std::uint32_t last = i % kNames;
        const std::uint32_t first = i / kNames % kNames;
        const char lastName[] = {
            'V', static_cast<char>('a' + last % 26), last / 26 == 0 ? '\xE1' : '\xE9', 'c', 's',
            '\0'};
        const char firstName[] = {'K', static_cast<char>('a' + first % 26),
                                  static_cast<char>('e' + first / 26), '\0'};
        SetFieldText(chart.LastName, lastName);
        SetFieldText(chart.FirstName, firstName);
        chart.Year = date.Year;
        chart.Month = date.Month;
        chart.Day = date.Day;
        chart.Time = static_cast<double>(i * 7919 % 1440) / 60;
        chart.Latitude = 46 + (i % 97) * 0.05;
        chart.Longitude = 18 + (i % 89) * 0.05;
        if (finder.Add(chart, {0, i + 1})) ++pairs;
    }
    EXPECT_EQ(pairs, 0u);
}

}  // namespace
}  // namespace tervalo
