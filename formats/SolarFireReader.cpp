// ParseSolarFireCharts, ReadSolarFireCharts: Solar Fire chart files (.SFcht), each chart and
// sub-chart handed on as an AAF record.
#include "formats/SolarFireReader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "core/ChartRecord.h"
#include "core/CodePage.h"
#include "core/Platform.h"
#include "core/Sexagesimal.h"
#include "core/TextBlock.h"
#include "formats/ReadBounds.h"

namespace tervalo {

namespace {

// File header: a version, a description the user typed, and the number of chart records. Only
// version 3 is known; what other versions hold is not, so they are not read as charts.
constexpr std::size_t kHeaderSize = 86;
constexpr std::size_t kVersionOffset = 0;       // u16
constexpr std::size_t kRecordCountOffset = 82;  // u16
constexpr std::uint16_t kKnownVersion = 3;

// Chart record: 296 bytes, then its sub-charts, then its notes.
constexpr std::size_t kRecordSize = 296;
constexpr std::size_t kMarkerOffset = 0;  // u16, always kRecordMarker
constexpr std::uint16_t kRecordMarker = 0x0101;
constexpr std::size_t kRecordChartFields = 2;      // where the fields a sub-chart shares begin
constexpr std::size_t kEventTypeOffset = 117;      // u8, see EventGender
constexpr std::size_t kSubChartCountOffset = 292;  // u32

// The name, place and moment, laid out alike in a chart record (from its offset 2) and in a
// sub-chart (which is nothing else). Offsets are from the start of these fields.
constexpr std::size_t kNameOffset = 0;
constexpr std::size_t kNameSize = 50;
constexpr std::size_t kCityOffset = 50;
constexpr std::size_t kCitySize = 20;
constexpr std::size_t kRegionOffset = 70;
constexpr std::size_t kRegionSize = 20;
constexpr std::size_t kLongitudeOffset = 90;  // f32 degrees, west positive
constexpr std::size_t kLatitudeOffset = 94;   // f32 degrees, north positive
constexpr std::size_t kYearOffset = 98;       // i16, negative before the common era
constexpr std::size_t kMonthOffset = 100;
constexpr std::size_t kDayOffset = 101;
constexpr std::size_t kHourOffset = 102;
constexpr std::size_t kMinuteOffset = 103;
constexpr std::size_t kSecondOffset = 104;
constexpr std::size_t kZoneOffset = 105;  // f32 hours, west positive, the offset in force
// A five-byte zone abbreviation follows; the offset beside it already says all the record needs.
constexpr std::size_t kLocalMeanTimeOffset = 114;  // u8, 1 when the time is local mean time
constexpr std::size_t kSubChartSize = 115;
static_assert(kRecordChartFields + kLocalMeanTimeOffset < kEventTypeOffset);

// Notes follow as a u32 length and that many bytes.
constexpr std::size_t kNotesLengthSize = 4;

constexpr unsigned char kLocalMeanTimeFlag = 1;
constexpr std::int32_t kLocalMeanTimeCode = -1;
constexpr double kHoursPerDegree = 1.0 / 15.0;

// The first day of the Gregorian calendar. The file keeps no calendar, and dates before the
// reform were written in the Julian one.
constexpr std::int32_t kReformYear = 1582;
constexpr std::int32_t kReformMonth = 10;
constexpr std::int32_t kReformDay = 15;

// The code points of the Windows-1252 bytes 0x80..0x9F, 0 for its five holes; from 0xA0 on
// the page is Latin-1, whose bytes are their own code points.
constexpr std::array<char32_t, 32> kWindows1252C1 = {
    0x20AC, 0x0000, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x0000, 0x017D, 0x0000,  // 88
    0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x0000, 0x017E, 0x0178,  // 98
};

constexpr char32_t Windows1252CodePoint(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? kWindows1252C1[byte - 0x80u] : char32_t{byte};
}

// Windows-1250 byte of each Windows-1252 byte, 0 where the page has nothing for it.
using ByteMap = std::array<unsigned char, 256>;
const ByteMap& Windows1252To1250() {
    static const ByteMap map = [] {
        ByteMap built{};
        for (unsigned byte = 0; byte < built.size(); ++byte) {
            const char32_t codePoint = Windows1252CodePoint(static_cast<unsigned char>(byte));
            built[byte] = codePoint == 0 ? 0 : Windows1250ByteOf(codePoint);
        }
        return built;
    }();
    return map;
}

// A stretch of the file that knows its end. A field read outside it reads as zero, so a
// miscounted offset can never reach past the file; blocks are taken whole before they are read.
class Block {
public:
    explicit Block(std::string_view bytes) : Bytes(bytes) {}

    Block From(std::size_t offset) const {
        return Block(offset < Bytes.size() ? Bytes.substr(offset) : std::string_view());
    }
    unsigned char U8(std::size_t offset) const {
        return offset < Bytes.size() ? static_cast<unsigned char>(Bytes[offset]) : 0;
    }
    std::uint16_t U16(std::size_t offset) const {
        return static_cast<std::uint16_t>(U8(offset) | U8(offset + 1) << 8);
    }
    std::uint32_t U32(std::size_t offset) const {
        return std::uint32_t{U16(offset)} | std::uint32_t{U16(offset + 2)} << 16;
    }
    float F32(std::size_t offset) const { return std::bit_cast<float>(U32(offset)); }
    // A text ends at its first NUL or at its field's end; the padding spaces are dropped.
    std::string_view Text(std::size_t offset, std::size_t size) const {
        if (offset >= Bytes.size()) return {};
        std::string_view text = Bytes.substr(offset, size);
        text = text.substr(0, std::min(text.find('\0'), text.size()));
        while (!text.empty() && text.back() == ' ')
            text.remove_suffix(1);
        return text;
    }

private:
    std::string_view Bytes;
};

// Walks the file from its start; every take is checked against what is left.
class FileCursor {
public:
    explicit FileCursor(std::string_view bytes) : Bytes(bytes) {}

    std::size_t Position() const { return At; }
    void MoveTo(std::size_t position) { At = std::min(position, Bytes.size()); }

    bool Take(std::size_t size, std::string_view& taken) {
        if (size > Bytes.size() - At) return false;
        taken = Bytes.substr(At, size);
        At += size;
        return true;
    }
    // A u32 length and that many bytes.
    bool TakeCounted(std::string_view& taken) {
        std::string_view length;
        return Take(kNotesLengthSize, length) && Take(Block(length).U32(0), taken);
    }

private:
    std::string_view Bytes;
    std::size_t At = 0;
};

// Writes Windows-1252 text into a record field as Windows-1250, counting what the page lacks.
// A control byte becomes a space: record texts are written into lines.
class TextConverter {
public:
    std::size_t Unconvertible = 0;

    char Convert(char c) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20) return ' ';
        const unsigned char converted = Windows1252To1250()[byte];
        if (converted != 0) return static_cast<char>(converted);
        ++Unconvertible;
        return '?';
    }

    void Put(char (&field)[kTextFieldSize], std::string_view text) {
        const std::size_t length = std::min(text.size(), kMaxTextLength);
        for (std::size_t i = 0; i < length; ++i)
            field[i] = Convert(text[i]);
        field[length] = '\0';
    }

    // "Family Given": up to the first space, and the rest.
    void PutName(std::string_view name, ChartRecord& record) {
        name.remove_prefix(std::min(name.find_first_not_of(' '), name.size()));
        const std::size_t space = std::min(name.find(' '), name.size());
        std::string_view given = name.substr(space);
        given.remove_prefix(std::min(given.find_first_not_of(' '), given.size()));
        Put(record.LastName, name.substr(0, space));
        Put(record.FirstName, given);
    }
};

// Fills the record's notes line by line. Every line break the file uses (CR LF, CR, LF) becomes
// CR LF, and empty lines are dropped: in AAF an empty line ends the chart. NUL bytes, which the
// field could not hold, are dropped too. What does not fit the field is cut.
class NotesWriter {
public:
    NotesWriter(AafRecord& record, TextConverter& converter)
        : Record(record), Notes(record.Notes), Converter(converter) {}

    // Once something did not fit, nothing more is written: a later, shorter line would leave a
    // gap in the text. The rest is only counted.
    void Put(std::string_view text) {
        for (const char c : text) {
            if (c == '\r' || c == '\n') {
                BreakPending = Whole > 0;
                continue;
            }
            if (c == '\0') continue;
            if (BreakPending) {
                Whole += 2;
                Full = Full || kMaxNotesLength - Length < 3;
                if (!Full) {
                    Notes[Length++] = '\r';
                    Notes[Length++] = '\n';
                }
                BreakPending = false;
            }
            ++Whole;
            Full = Full || Length == kMaxNotesLength;
            if (Full) continue;
            const auto byte = static_cast<unsigned char>(c);
            Notes[Length++] = byte < 0x20 ? c : Converter.Convert(c);
        }
    }
    void EndLine() { BreakPending = Whole > 0; }
    // Ends the notes, noting a cut with the length they had.
    void End() {
        Notes[Length] = '\0';
        NoteNotesCut(Whole, Record);
    }

private:
    AafRecord& Record;
    char* Notes;
    TextConverter& Converter;
    std::size_t Length = 0;
    std::size_t Whole = 0;  // the length uncut
    bool BreakPending = false;
    bool Full = false;
};

char EventGender(unsigned char eventType) {
    switch (eventType) {
        case 1:
            return 'M';
        case 2:
            return 'F';
        case 3:  // an event
        case 4:  // a horary question
            return 'E';
        default:
            return '*';
    }
}

bool IsGregorianDate(std::int32_t year, std::int32_t month, std::int32_t day) {
    if (year != kReformYear) return year > kReformYear;
    if (month != kReformMonth) return month > kReformMonth;
    return day >= kReformDay;
}

// A single-precision value as the decimal it was typed as: 40.7 kept in a float and widened
// would be 40.70000076, which a writer of eight digits shows as 40.700001.
double TypedValue(float value) {
    char text[32];
    const std::to_chars_result written = std::to_chars(text, text + sizeof text, value);
    double typed = 0.0;
    std::from_chars(text, written.ptr, typed);
    return typed;
}

// A zero stays +0, so that no writer shows "-0".
double Negated(double value) {
    return value == 0.0 ? 0.0 : -value;
}

// Fills the name, place and moment of a chart record or a sub-chart; false when a coordinate or
// the zone is not a number, and the chart has no place to stand.
bool DecodeChartFields(Block fields, TextConverter& converter, AafRecord& record) {
    record.Corrections.Count = 0;
    converter.PutName(fields.Text(kNameOffset, kNameSize), record);
    converter.Put(record.Place, fields.Text(kCityOffset, kCitySize));
    converter.Put(record.Country, fields.Text(kRegionOffset, kRegionSize));

    const float fileLongitude = fields.F32(kLongitudeOffset);
    const float fileLatitude = fields.F32(kLatitudeOffset);
    const float fileZone = fields.F32(kZoneOffset);
    if (!std::isfinite(fileLongitude) || !std::isfinite(fileLatitude) || !std::isfinite(fileZone))
        return false;
    const double westLongitude = TypedValue(fileLongitude);
    record.Longitude = Negated(westLongitude);
    record.Latitude = TypedValue(fileLatitude);
    record.LeadValue = 0.0;
    if (fields.U8(kLocalMeanTimeOffset) == kLocalMeanTimeFlag) {
        // The longitude's own zone, west positive as the file's longitude is.
        record.DaylightCode = kLocalMeanTimeCode;
        record.TimeZone = westLongitude * kHoursPerDegree;
    } else {
        // The offset in force at birth, west positive like the record's; no separate daylight
        // saving is kept beside it.
        record.DaylightCode = 0;
        record.TimeZone = TypedValue(fileZone);
    }

    // The record has no year 0: a 0 here can only be the year before 1.
    const auto year = static_cast<std::int16_t>(fields.U16(kYearOffset));
    record.Year = year == 0 ? -1 : BoundedYear(year, record);
    if (year == 0) record.Corrections.Add(ChartField::Year, 0, -1);
    record.Month = fields.U8(kMonthOffset);
    record.Day = fields.U8(kDayOffset);
    record.Gregorian = IsGregorianDate(record.Year, record.Month, record.Day);

    record.Time =
        SexagesimalSum(fields.U8(kHourOffset), fields.U8(kMinuteOffset), fields.U8(kSecondOffset));
    return true;
}

// The bytes of one chart record and all that belongs to it, found whole in the file.
struct MainChart {
    Block Record{{}};
    std::size_t SubChartsAt = 0;  // file position of the first sub-chart
    std::uint32_t SubCharts = 0;
    std::string_view Notes;
};

// Takes a chart record, steps over its sub-charts and takes its notes; false when any of it is
// damaged or runs past the file's end.
bool TakeMainChart(FileCursor& cursor, MainChart& chart) {
    std::string_view record;
    if (!cursor.Take(kRecordSize, record)) return false;
    chart.Record = Block(record);
    if (chart.Record.U16(kMarkerOffset) != kRecordMarker) return false;
    chart.SubChartsAt = cursor.Position();
    chart.SubCharts = chart.Record.U32(kSubChartCountOffset);
    std::string_view skipped;
    for (std::uint32_t i = 0; i < chart.SubCharts; ++i) {
        if (!cursor.Take(kSubChartSize, skipped) || !cursor.TakeCounted(skipped)) return false;
    }
    return cursor.TakeCounted(chart.Notes);
}

}  // namespace

ChartFileRead ParseSolarFireCharts(std::string_view bytes, const ChartVisitor& visit) {
    ChartFileRead result;
    const Block header(bytes.substr(0, std::min(bytes.size(), kHeaderSize)));
    if (bytes.size() < kHeaderSize || header.U16(kVersionOffset) != kKnownVersion) return result;
    result.Recognised = true;

    // One record serves every chart: it is large (the notes alone take 4 KiB), and each chart
    // sets all of its fields.
    const auto record = std::make_unique<AafRecord>();
    TextConverter converter;
    FileCursor cursor(bytes);
    cursor.MoveTo(kHeaderSize);
    const std::uint32_t records = header.U16(kRecordCountOffset);
    MainChart chart;
    for (std::uint32_t number = 1; number <= records; ++number) {
        if (!TakeMainChart(cursor, chart)) {
            result.BrokenOffAt = number;
            break;
        }
        const std::size_t chartEnd = cursor.Position();
        const Block mainFields = chart.Record.From(kRecordChartFields);
        // Sub-charts stand where their chart does: the file numbers only the charts.
        record->SourceLine = number;
        bool placed = DecodeChartFields(mainFields, converter, *record);
        if (placed) {
            record->Gender = EventGender(chart.Record.U8(kEventTypeOffset));
            NotesWriter writer(*record, converter);
            writer.Put(chart.Notes);
            writer.End();
            if (!visit(*record)) {
                result.Stopped = true;
                break;
            }
        }

        // The sub-charts were found whole above; their notes begin with a line naming the
        // chart they belong to, as the file gave its name.
        cursor.MoveTo(chart.SubChartsAt);
        const std::string_view mainName = mainFields.Text(kNameOffset, kNameSize);
        std::string_view subChart;
        std::string_view notes;
        for (std::uint32_t i = 0; i < chart.SubCharts; ++i) {
            if (!cursor.Take(kSubChartSize, subChart) || !cursor.TakeCounted(notes)) break;
            if (!DecodeChartFields(Block(subChart), converter, *record)) {
                placed = false;
                continue;
            }
            record->Gender = '*';
            NotesWriter writer(*record, converter);
            writer.Put(mainName);
            writer.EndLine();
            writer.Put(notes);
            writer.End();
            if (!visit(*record)) {
                result.Stopped = true;
                break;
            }
        }
        if (!placed) result.SkippedLines.push_back(number);
        if (result.Stopped) break;
        cursor.MoveTo(chartEnd);
    }
    result.Unconvertible = converter.Unconvertible;
    return result;
}

ChartFileRead ReadSolarFireCharts(const std::string& path, const ChartVisitor& visit) {
    // A folder opens, and reports the largest size there is.
    std::error_code error;
    if (!std::filesystem::is_regular_file(PathFromUtf8(path), error)) return {};
    std::FILE* file = OpenFile(path, "rb");
    if (file == nullptr) return {};
    const std::int64_t size = FileSize(file);
    if (size < static_cast<std::int64_t>(kHeaderSize) ||
        static_cast<std::uint64_t>(size) > SIZE_MAX) {
        std::fclose(file);
        return {};
    }
    const auto byteCount = static_cast<std::size_t>(size);
    const auto bytes = std::make_unique_for_overwrite<char[]>(byteCount);
    // The first read of the file: on Windows ReadFileStart reads from the current position.
    const std::size_t read = ReadFileStart(file, bytes.get(), byteCount);
    std::fclose(file);
    return ParseSolarFireCharts(std::string_view(bytes.get(), read), visit);
}

}  // namespace tervalo
