// The chart record shared by both database classes: fields, units and sign conventions.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tervalo {

// Record texts are Windows-1250 bytes in fixed, NUL-terminated fields.
constexpr std::size_t kTextFieldSize = 256;  // at most 255 characters and a NUL
constexpr std::size_t kMaxTextLength = kTextFieldSize - 1;

// Year bounds applied by every reader: the four year digits of every format hold no more.
constexpr std::int32_t kMinYear = -9999;
constexpr std::int32_t kMaxYear = 9999;

// The fields of a chart, as a report names them.
enum class ChartField : std::uint8_t {
    Day,
    Month,
    Year,
    Time,
    Latitude,
    Longitude,
    Zone,
    Daylight,
    Notes,
    Name,
    Place,
    Gender,
    None
};

// A value a file does not hold at all (a missing "#B93" line, a chart without a time).
constexpr std::int32_t kValueMissing = -2147483647 - 1;

// What a reader bounded or replaced as it read a chart: the field, the value read and the value
// kept, in the units of the file's own field (hours, degrees, minutes...). Readers are lenient
// by design, so that a chart arrives; the run says what they changed.
struct ReadCorrection {
    ChartField Field = ChartField::None;
    std::int32_t Read = 0;
    std::int32_t Kept = 0;
};
struct ReadCorrections {
    static constexpr std::uint8_t kMax = 4;
    std::uint8_t Count = 0;
    ReadCorrection Items[kMax];

    void Add(ChartField field, std::int32_t read, std::int32_t kept) {
        if (Count < kMax) Items[Count++] = {field, read, kept};
    }
};

// The fifteen fields that AAF and QCK records have in common. Both database classes derive
// from it, so the run copies a chart from one class to the other field by field.
struct ChartRecord {
    char LastName[kTextFieldSize] = {};
    char FirstName[kTextFieldSize] = {};
    char Place[kTextFieldSize] = {};
    char Country[kTextFieldSize] = {};
    double Time = 0.0;              // decimal hours of clock time
    double Latitude = 0.0;          // decimal degrees, north positive
    double Longitude = 0.0;         // decimal degrees, east positive
    double TimeZone = 0.0;          // decimal hours, positive WEST of Greenwich (CET is -1)
    double LeadValue = 0.0;         // first value of an AAF "#B93" line, carried along unchanged
    std::int32_t DaylightCode = 0;  // minutes 0, 30, 60, 120; -1 marks local mean time
    std::int32_t Year = 1900;       // negative before the common era
    std::int32_t Month = 1;
    std::int32_t Day = 1;
    bool Gregorian = true;
    char Gender = '*';
    // Not fields of any format: what the reader changed, and where in its file the chart stood
    // (the line its record begins on, or its entry's number), where the reader knows it.
    ReadCorrections Corrections;
    std::uint32_t SourceLine = 0;
};

// The gender letter in capitals, for the writers that turn it into something else: people
// type "m" and "f" as often as "M" and "F". The record itself keeps the letter as given.
constexpr char GenderLetter(char gender) {
    return gender >= 'a' && gender <= 'z' ? static_cast<char>(gender - 'a' + 'A') : gender;
}

// The text of a field up to its NUL (never past the field's end).
template <std::size_t N>
std::string_view FieldText(const char (&field)[N]) {
    std::size_t length = 0;
    while (length < N && field[length] != '\0')
        ++length;
    return {field, length};
}

// Stores text into a field, cut at the field's capacity, NUL-terminated.
template <std::size_t N>
void SetFieldText(char (&field)[N], std::string_view text) {
    const std::size_t length = text.size() < N - 1 ? text.size() : N - 1;
    for (std::size_t i = 0; i < length; ++i)
        field[i] = text[i];
    field[length] = '\0';
}

// Notes, which only AAF among the databases carries.
constexpr std::size_t kNotesFieldSize = 4096;
constexpr std::size_t kMaxNotesLength = 4092;

// A chart with notes: the fields both databases share, and the notes that only AAF carries.
// The walks of both database kinds parse into it, and the writers of every target write it.
struct AafRecord : ChartRecord {
    char Notes[kNotesFieldSize] = {};
};

// A calendar date as the record holds it.
struct ChartDate {
    std::int32_t Year = 1900;
    std::int32_t Month = 1;
    std::int32_t Day = 1;
};

// Leap years of the Gregorian or the Julian calendar. There is no year 0 in the record's
// numbering (the year before 1 is -1), so a year y below 0 is a leap year when y + 1 is.
bool IsLeapYear(std::int32_t year, bool gregorian);

// The day after `date` in the Gregorian or the Julian calendar. A Month or Day below 1 counts as
// 1 (as the writers write them), a Month above 12 as 12, and a Day beyond its month's last as the
// last. The year is held within kMinYear to kMaxYear, and 31 December -1 is followed by 1 January
// 1. 31 December 9999 is the last day that four year digits hold: it is given back unchanged.
ChartDate NextDay(ChartDate date, bool gregorian);

// The zone of local mean time, which a chart file states by the longitude alone: the
// longitude's offset, 15 degrees to the hour, west positive; a longitude of 0 gives +0.
inline double LocalMeanTimeZone(double longitude) {
    return longitude == 0 ? 0.0 : -longitude / 15;
}

// Whether a writer writes a year 0 as it stands (AAF and QCK, whose readers read it back) or
// as year 1 (the formats that have no year 0).
enum class YearZero { Kept, AsOne };

// The date as the writers write it: the year held within four digits, a month or day of 0
// as 1 (a record read from an incomplete line may hold them).
// Inline: every writer asks it of every chart.
inline ChartDate WrittenDate(const ChartRecord& chart, YearZero yearZero) {
    ChartDate date;
    date.Year = chart.Year == 0 && yearZero == YearZero::AsOne
                    ? 1
                    : std::clamp(chart.Year, kMinYear, kMaxYear);
    date.Month = chart.Month == 0 ? 1 : chart.Month;
    date.Day = chart.Day == 0 ? 1 : chart.Day;
    return date;
}

// AAF keeps given names behind spaces and asterisks, which are not part of the name.
std::string_view GivenNames(const ChartRecord& chart);
std::string_view GivenNames(std::string_view firstName);

// Hands each line of the notes to visit(line, broken) in order: a line ends at CR LF, a lone CR
// or a lone LF, and `broken` says that such a break follows it. Notes come from files of every
// line-end habit, and each writer has its own way of keeping the lines apart.
template <typename Visit>
void ForEachNotesLine(std::string_view notes, const Visit& visit) {
    for (std::size_t from = 0; from < notes.size();) {
        std::size_t lineEnd = from;
        while (lineEnd < notes.size() && notes[lineEnd] != '\r' && notes[lineEnd] != '\n')
            ++lineEnd;
        const bool broken = lineEnd < notes.size();
        visit(notes.substr(from, lineEnd - from), broken);
        from = lineEnd + 1;
        if (broken && notes[lineEnd] == '\r' && from < notes.size() && notes[from] == '\n') ++from;
    }
}

// Copies the fifteen common fields, texts up to and including their NUL.
void CopyCommonFields(const ChartRecord& from, ChartRecord& to);

// Walks a database from its current record to its last with ParseRecord and NextRecord,
// handing each record to `visit`; stops when `visit` gives false, and then gives false.
template <typename Database, typename Visit>
bool VisitEachRecord(Database& database, const Visit& visit) {
    if (!database.HasCurrentRecord()) return true;
    do {
        database.ParseRecord();
        if (!visit(database)) return false;
    } while (database.NextRecord());
    return true;
}

}  // namespace tervalo
