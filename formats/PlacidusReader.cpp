// ReadPlacidusChart: single-chart binary Placidus files (a fixed 200-byte header).
#include "formats/PlacidusReader.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "core/ChartRecord.h"
#include "core/Platform.h"
#include "core/Sexagesimal.h"
#include "formats/AafDatabase.h"
#include "formats/QckDatabase.h"
#include "formats/ReadBounds.h"

namespace tervalo {

namespace {

// Placidus chart header: one chart in the first 200 bytes; later bytes are never read.
constexpr std::size_t kHeaderSize = 200;
constexpr std::string_view kMagic = "PLACIDUS v4.0 Horoscope File";  // bytes 0..27, no NUL
static_assert(kMagic.size() == 28);
// Bytes 28..31 carry nothing the chart needs.
constexpr std::size_t kNameOffset = 32;  // zero-terminated, up to offset 102
constexpr std::size_t kNameEnd = 102;
constexpr std::size_t kLongitudeDegrees = 102;
constexpr std::size_t kLongitudeWest = 103;  // 0 = east, anything else = west
constexpr std::size_t kLongitudeMinutes = 104;
constexpr std::size_t kLatitudeDegrees = 113;
constexpr std::size_t kLatitudeSouth = 114;  // 0 = north, anything else = south
constexpr std::size_t kLatitudeMinutes = 115;
constexpr std::size_t kTimeMode = 124;  // see kUniversalTime, kLocalMeanTime; else zone time
constexpr std::size_t kZoneHours = 125;
constexpr std::size_t kZoneMinutes = 126;
constexpr std::size_t kZoneWest = 127;  // 0 = east of Greenwich, anything else = west
constexpr std::size_t kCalendar = 128;  // 0 = Julian, anything else = Gregorian
constexpr std::size_t kYearLow = 129;   // signed 16-bit little-endian
constexpr std::size_t kYearHigh = 130;
constexpr std::size_t kMonth = 131;
constexpr std::size_t kDay = 132;
constexpr std::size_t kHour = 133;
constexpr std::size_t kMinute = 134;
constexpr std::size_t kSecondsCode = 141;
constexpr std::size_t kSecondsMarker = 142;
constexpr std::size_t kPlaceOffset = 143;  // "place, country", zero-terminated, up to offset 174
constexpr std::size_t kPlaceEnd = 174;
constexpr std::size_t kSex = 174;  // 0 = event, 1 = male, anything else = female

constexpr unsigned char kUniversalTime = 0;
constexpr unsigned char kLocalMeanTime = 1;
// The seconds byte is only filled in by writers that also set this marker.
constexpr unsigned char kSecondsValid = 0x40;
// The seconds are stored as a code whose square, over 128, gives the seconds.
constexpr unsigned kSecondsDivisor = 128;
// AAF readers of these charts expect the seconds above 40 lifted by 7; QCK ones don't.
constexpr unsigned kAafSecondsThreshold = 40;
constexpr unsigned kAafSecondsLift = 7;
constexpr std::int32_t kLocalMeanTimeCode = -1;

using Header = std::array<unsigned char, kHeaderSize>;

enum class SecondsRule { Aaf, Qck };

// One read of at most the header's size; a folder opens but reads nothing.
bool ReadHeader(const std::string& path, Header& header) {
    std::FILE* file = OpenFile(path, "rb");
    if (file == nullptr) return false;
    const std::size_t read = std::fread(header.data(), 1, header.size(), file);
    std::fclose(file);
    return read == kHeaderSize && std::memcmp(header.data(), kMagic.data(), kMagic.size()) == 0;
}

// A text of the header ends at its zero byte, or at the end of its stretch when it has none.
std::string_view HeaderText(const Header& header, std::size_t offset, std::size_t end) {
    const char* start = reinterpret_cast<const char*>(header.data()) + offset;
    std::size_t length = 0;
    while (offset + length < end && start[length] != '\0')
        ++length;
    return {start, length};
}

// Appends to a record text field, dropping what doesn't fit its 255 characters.
class FieldWriter {
public:
    explicit FieldWriter(char (&field)[kTextFieldSize]) : Field(&field) {}
    void Put(char c) {
        if (Length < kMaxTextLength) (*Field)[Length++] = c;
    }
    void Restart(char (&field)[kTextFieldSize]) {
        End();
        Field = &field;
        Length = 0;
    }
    void End() { (*Field)[Length] = '\0'; }

private:
    char (*Field)[kTextFieldSize];
    std::size_t Length = 0;
};

// "Family Given": the first space, comma or semicolon parts the two names; later commas read as
// spaces.
void SplitName(std::string_view name, ChartRecord& record) {
    FieldWriter writer(record.LastName);
    record.FirstName[0] = '\0';
    bool inFirstName = false;
    for (const char c : name) {
        if (!inFirstName) {
            if (c == ' ' || c == ',' || c == ';') {
                writer.Restart(record.FirstName);
                inFirstName = true;
            } else {
                writer.Put(c);
            }
        } else {
            writer.Put(c == ',' ? ' ' : c);
        }
    }
    writer.End();
}

// "Place, Region, Country": the place is before the first comma, the country after the last.
void SplitPlace(std::string_view place, ChartRecord& record) {
    FieldWriter writer(record.Place);
    record.Country[0] = '\0';
    for (std::size_t i = 0; i < place.size(); ++i) {
        if (place[i] != ',') {
            writer.Put(place[i]);
            continue;
        }
        writer.Restart(record.Country);
        if (i + 1 < place.size() && place[i + 1] == ' ') ++i;
    }
    writer.End();
}

// Degrees and minutes, summed as every reader sums them. A zero stays +0, so that no writer
// shows "-0".
double SignedDegrees(unsigned char whole, unsigned char minutes, bool negative) {
    const double value = SexagesimalSum(whole, minutes, 0);
    return negative && value != 0 ? -value : value;
}

void DecodeHeader(const Header& header, SecondsRule rule, ChartRecord& record) {
    SplitName(HeaderText(header, kNameOffset, kNameEnd), record);
    SplitPlace(HeaderText(header, kPlaceOffset, kPlaceEnd), record);

    record.Longitude = SignedDegrees(header[kLongitudeDegrees], header[kLongitudeMinutes],
                                     header[kLongitudeWest] != 0);
    record.Latitude = SignedDegrees(header[kLatitudeDegrees], header[kLatitudeMinutes],
                                    header[kLatitudeSouth] != 0);
    // The record counts zones positive west of Greenwich, so an east zone is negative.
    record.TimeZone =
        SignedDegrees(header[kZoneHours], header[kZoneMinutes], header[kZoneWest] == 0);
    const unsigned char timeMode = header[kTimeMode];
    if (timeMode == kUniversalTime) record.TimeZone = 0.0;
    record.DaylightCode = timeMode == kLocalMeanTime ? kLocalMeanTimeCode : 0;

    record.Gregorian = header[kCalendar] != 0;
    const auto year = static_cast<std::int16_t>(
        static_cast<std::uint16_t>(header[kYearLow] | (header[kYearHigh] << 8)));
    record.Year = BoundedYear(year, record);
    record.Month = header[kMonth];
    record.Day = header[kDay];

    unsigned seconds = 0;
    if (header[kSecondsMarker] == kSecondsValid) {
        const unsigned code = header[kSecondsCode];
        seconds = code * code / kSecondsDivisor;
        if (rule == SecondsRule::Aaf && seconds > kAafSecondsThreshold) seconds += kAafSecondsLift;
    }
    record.Time =
        SexagesimalSum(header[kHour], header[kMinute], static_cast<std::int32_t>(seconds));

    switch (header[kSex]) {
        case 0:
            record.Gender = 'E';
            break;
        case 1:
            record.Gender = 'M';
            break;
        default:
            record.Gender = 'F';
            break;
    }
}

template <class Database>
bool ReadInto(const std::string& path, Database& receiver, SecondsRule rule) {
    Header header{};
    if (!ReadHeader(path, header)) return false;
    receiver.ClearRecord();
    receiver.SourceLine = 1;  // the file's one chart
    DecodeHeader(header, rule, receiver);
    return true;
}

}  // namespace

bool ReadPlacidusChart(const std::string& path, AafDatabase& receiver) {
    return ReadInto(path, receiver, SecondsRule::Aaf);
}

bool ReadPlacidusChart(const std::string& path, QckDatabase& receiver) {
    return ReadInto(path, receiver, SecondsRule::Qck);
}

}  // namespace tervalo
