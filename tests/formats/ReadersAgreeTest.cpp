// One moment read from every format that holds it exactly gives the same bits in every reader.
#include <bit>
#include <cstdint>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "formats/AafDatabase.h"
#include "formats/ChartSource.h"
#include "formats/MorinusReader.h"
#include "formats/PlacidusReader.h"
#include "formats/QckDatabase.h"
#include "formats/SzkReader.h"

namespace tervalo {
namespace {

// The values compared, as bits; a failure shows them in hexadecimal.
struct Moment {
    std::uint64_t Time, Latitude, Longitude, TimeZone;
    bool operator==(const Moment&) const = default;
};

Moment MomentOf(const ChartRecord& chart) {
    return {std::bit_cast<std::uint64_t>(chart.Time), std::bit_cast<std::uint64_t>(chart.Latitude),
            std::bit_cast<std::uint64_t>(chart.Longitude),
            std::bit_cast<std::uint64_t>(chart.TimeZone)};
}

void PrintTo(const Moment& moment, std::ostream* out) {
    *out << std::hex << "time " << moment.Time << ", latitude " << moment.Latitude << ", longitude "
         << moment.Longitude << ", zone " << moment.TimeZone;
}

// A chart whose time, angles and zone every format holds to the unit: whole minutes of arc and
// of zone, and seconds of time that a Placidus seconds code gives (code * code / 128). The
// second chart's values are among the few whose sum in double differs from the sum in extended
// precision, so a reader that sums its own way shows.
struct Chart {
    const char* Aaf;
    unsigned char Hour, Minute, SecondsCode;
    unsigned char LatitudeDegrees, LatitudeMinutes, South;
    unsigned char LongitudeDegrees, LongitudeMinutes, West;
    unsigned char ZoneHours, ZoneMinutes, ZoneWest;
};
const Chart kCharts[] = {
    {"#A93:Sharma,Priya,F,21.06.1988g,14:30:32,Mumbai,IND\r\n#B93:*,19N04,72E53,5he30,0\r\n\r\n",
     14, 30, 64, 19, 4, 0, 72, 53, 0, 5, 30, 0},
    {"#A93:Silva,Ana,F,21.06.1988g,09:02:22,Nowhere,\r\n#B93:*,07S53,04W37,2hw19,0\r\n\r\n", 9, 2,
     54, 7, 53, 1, 4, 37, 1, 2, 19, 1},
};

std::string PlacidusBytes(const Chart& chart) {
    std::string bytes = std::string("PLACIDUS v4.0 Horoscope File") + std::string(172, '\0');
    const auto set = [&](std::size_t offset, unsigned value) {
        bytes[offset] = static_cast<char>(value);
    };
    set(102, chart.LongitudeDegrees), set(103, chart.West), set(104, chart.LongitudeMinutes);
    set(113, chart.LatitudeDegrees), set(114, chart.South), set(115, chart.LatitudeMinutes);
    set(124, 2), set(125, chart.ZoneHours), set(126, chart.ZoneMinutes), set(127, chart.ZoneWest);
    set(128, 1), set(129, 1988 & 0xFF), set(130, 1988 >> 8), set(131, 6), set(132, 21);
    set(133, chart.Hour), set(134, chart.Minute), set(141, chart.SecondsCode), set(142, 0x40);
    return bytes;
}

TEST(ReadersAgree, EveryReaderGivesTheSameBitsForOneMoment) {
    test::TempDir dir;
    for (const Chart& chart : kCharts) {
        SCOPED_TRACE(chart.Aaf);
        AafDatabase aaf;
        ASSERT_TRUE(aaf.AppendFormatted(chart.Aaf));
        aaf.ParseRecord();
        const Moment expected = MomentOf(aaf);

        char line[kQckFormatSize];
        AafRecord copy = aaf;
        QckDatabase qck;
        ASSERT_TRUE(
            qck.AppendFormatted(std::string_view(line, QckDatabase::FormatLine(copy, line))));
        qck.ParseRecord();
        EXPECT_EQ(MomentOf(qck), expected) << "QCK " << line;

        const std::string placidus = dir.File("chart.hor");
        test::WriteFile(placidus, PlacidusBytes(chart));
        AafDatabase fromPlacidus;
        QckDatabase qckFromPlacidus;
        ASSERT_TRUE(ReadPlacidusChart(placidus, fromPlacidus));
        ASSERT_TRUE(ReadPlacidusChart(placidus, qckFromPlacidus));
        EXPECT_EQ(MomentOf(fromPlacidus), expected) << "Placidus into AAF";
        EXPECT_EQ(MomentOf(qckFromPlacidus), expected) << "Placidus into QCK";

        std::string text;
        AafRecord read;
        ChartFileRead report;
        ASSERT_TRUE(ParseMorinusChart(*aaf.FormatHorText(&text), read, report));
        EXPECT_EQ(MomentOf(read), expected) << "HOR " << test::Printable(text);
        ASSERT_TRUE(ParseSzkChart(*aaf.FormatSzkText(&text), read, report));
        EXPECT_EQ(MomentOf(read), expected) << "SZK " << test::Printable(text);
    }
}

}  // namespace
}  // namespace tervalo
