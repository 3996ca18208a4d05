// ReadAdbXmlCharts: Astro-Databank XML exports, one chart per adb_entry, streamed through expat.
#include "formats/AdbXmlReader.h"

#include <expat.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "core/ChartRecord.h"
#include "core/CodePage.h"
#include "core/Platform.h"
#include "core/Sexagesimal.h"
#include "formats/ReadBounds.h"

namespace tervalo {

namespace {

constexpr std::size_t kBlockSize = 64 * 1024;
// What expat may hold at once: an entry of the export needs a few kilobytes, and a hostile
// file (a 10 MB attribute, tags nested without end) runs into this rather than into the
// machine's memory.
constexpr std::size_t kMemoryBudget = 48u << 20;
// The export nests five deep (root, entry, section, field, bdata field); deeper is not the
// format, and the cap keeps expat's tag stack small.
constexpr int kMaxDepth = 32;
// Raw text kept of one field: the notes hold 4092 bytes, and a name or place far less.
constexpr std::size_t kMaxFieldText = 64 * 1024;
// Longer attribute values than this are not values of the format (a year, a code, an id).
constexpr std::size_t kMaxValueLength = 64;
// Julian days beyond this are not dates the record's four year digits reach.
constexpr double kMaxJulianDay = 1e7;
constexpr double kZoneLimit = 14.0;
constexpr double kNoon = 12.0;

constexpr std::string_view kRootName = "astrodatabank_export";
constexpr std::string_view kNotesHead = "#COM:Astro-Databank ";
constexpr std::string_view kRatingHead = ", Rodden ";
constexpr std::string_view kNameSeparator = ", ";
constexpr std::string_view kXmlSpace = " \t\r\n";

constexpr std::int32_t kLocalMeanTimeCode = -1;
constexpr std::int32_t kDaylightMinutes = 60;

// expat's allocations go through this count, so one parser can't take more than its budget.
// expat's allocator functions carry no context: the budget of the parse running on this thread
// is found through a thread-local pointer, set for the parse's lifetime.
struct MemoryBudget {
    std::size_t Used = 0;
};
thread_local MemoryBudget* tCurrentBudget = nullptr;
constexpr std::size_t kBlockHeader = alignof(std::max_align_t);

std::size_t StoredSize(void* block) {
    std::size_t size = 0;
    std::memcpy(&size, static_cast<char*>(block) - kBlockHeader, sizeof size);
    return size;
}

void* BudgetMalloc(std::size_t size) {
    MemoryBudget& budget = *tCurrentBudget;
    if (size > kMemoryBudget - budget.Used) return nullptr;
    char* base = static_cast<char*>(std::malloc(size + kBlockHeader));
    if (base == nullptr) return nullptr;
    std::memcpy(base, &size, sizeof size);
    budget.Used += size;
    return base + kBlockHeader;
}

void BudgetFree(void* block) {
    if (block == nullptr) return;
    tCurrentBudget->Used -= StoredSize(block);
    std::free(static_cast<char*>(block) - kBlockHeader);
}

void* BudgetRealloc(void* block, std::size_t size) {
    if (block == nullptr) return BudgetMalloc(size);
    MemoryBudget& budget = *tCurrentBudget;
    const std::size_t old = StoredSize(block);
    if (size > old && size - old > kMemoryBudget - budget.Used) return nullptr;
    char* base = static_cast<char*>(
        std::realloc(static_cast<char*>(block) - kBlockHeader, size + kBlockHeader));
    if (base == nullptr) return nullptr;
    std::memcpy(base, &size, sizeof size);
    budget.Used = budget.Used - old + size;
    return base + kBlockHeader;
}

const XML_Memory_Handling_Suite kBudgetSuite = {BudgetMalloc, BudgetRealloc, BudgetFree};

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kXmlSpace);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kXmlSpace) - first + 1);
}

// Texts come from expat as UTF-8 and become Windows-1250 as the UTF-8 loader makes them (accents
// given as combining marks joined to their letters), converted once, in place.
std::string_view ToWindows1250(std::string& text, std::size_t& unconvertible) {
    std::size_t length = text.size();
    unconvertible += ConvertUtf8ToWindows1250(text.data(), length).Unconvertible;
    text.resize(length);
    return text;
}

// Text written into a fixed field of `capacity` bytes and its NUL. Line breaks and tabs, which
// character references can put anywhere, become spaces: each text sits on one line.
class FieldWriter {
public:
    FieldWriter(char* field, std::size_t capacity) : Field(field), Capacity(capacity) {}
    ~FieldWriter() { Field[Length] = '\0'; }
    FieldWriter(const FieldWriter&) = delete;
    FieldWriter& operator=(const FieldWriter&) = delete;

    std::size_t Room() const { return Capacity - Length; }
    void Put(std::string_view text) {
        for (const char c : text.substr(0, Room()))
            Field[Length++] = static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
    void PutLineBreak() {
        Field[Length++] = '\r';
        Field[Length++] = '\n';
    }

private:
    char* Field;
    std::size_t Capacity;
    std::size_t Length = 0;
};

// A text of one line into a record field; a cut is noted as the chart's `kind` of text.
void SetOneLineField(char (&field)[kTextFieldSize], std::string_view text, ChartField kind,
                     ChartRecord& record) {
    text = Trimmed(text);
    NoteTextCut(kind, text.size(), kMaxTextLength, record);
    FieldWriter(field, kMaxTextLength).Put(text);
}

bool ParseWhole(std::string_view text, std::int32_t& value) {
    text = Trimmed(text);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc{} && end == text.data() + text.size();
}

// A run of 1..maxDigits digits at `at`, moved past.
bool ParseDigits(std::string_view text, std::size_t& at, std::size_t maxDigits, int& value,
                 std::size_t& digits) {
    value = 0;
    digits = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < maxDigits) {
        value = value * 10 + (text[at++] - '0');
        ++digits;
    }
    return digits > 0;
}

// "HH:MM" or "HH:MM:SS" as decimal hours.
bool ParseClock(std::string_view text, double& hours) {
    text = Trimmed(text);
    std::size_t at = 0;
    std::size_t digits = 0;
    int parts[3] = {};
    int count = 0;
    while (count < 3) {
        if (!ParseDigits(text, at, 2, parts[count], digits)) return false;
        ++count;
        if (at == text.size()) break;
        if (text[at++] != ':') return false;
    }
    if (count < 2 || at != text.size()) return false;
    if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return false;
    hours = SexagesimalSum(parts[0], parts[1], parts[2]);
    return true;
}

// Minutes, or minutes and seconds, behind a direction letter: "", "5", "18", "0445".
struct Sixtieths {
    int Minutes = 0;
    int Seconds = 0;
};
bool ParseMinutes(std::string_view text, std::size_t at, Sixtieths& sixtieths) {
    int value = 0;
    std::size_t digits = 0;
    sixtieths = {};
    if (at == text.size()) return true;
    if (!ParseDigits(text, at, 4, value, digits) || at != text.size() || digits == 3) return false;
    sixtieths.Minutes = digits == 4 ? value / 100 : value;
    sixtieths.Seconds = digits == 4 ? value % 100 : 0;
    return sixtieths.Minutes <= 59 && sixtieths.Seconds <= 59;
}

// "49n18", "10e35", "52n0445": degrees, the direction letter, minutes and maybe seconds.
bool ParseAngle(std::string_view text, char positive, char negative, double limit,
                double& degrees) {
    text = Trimmed(text);
    std::size_t at = 0;
    std::size_t digits = 0;
    int whole = 0;
    if (!ParseDigits(text, at, 3, whole, digits) || at == text.size()) return false;
    const char direction = text[at++];
    if (direction != positive && direction != negative) return false;
    Sixtieths sixtieths;
    if (!ParseMinutes(text, at, sixtieths)) return false;
    // Summed as every reader sums, so that one place read from two files has the same bits.
    const double value = SexagesimalSum(whole, sixtieths.Minutes, sixtieths.Seconds);
    if (value > limit) return false;
    degrees = direction == negative && value != 0 ? -value : value;
    return true;
}

// The standard meridian: "h1e", "h5w30" in hours and minutes, "m19e05" in degrees and minutes
// of longitude; as hours west of Greenwich.
bool ParseMeridian(std::string_view text, double& zoneHours) {
    text = Trimmed(text);
    if (text.empty() || (text[0] != 'h' && text[0] != 'm')) return false;
    const bool inDegrees = text[0] == 'm';
    std::size_t at = 1;
    std::size_t digits = 0;
    int whole = 0;
    if (!ParseDigits(text, at, 3, whole, digits) || at == text.size()) return false;
    const char direction = text[at++];
    if (direction != 'e' && direction != 'w') return false;
    Sixtieths sixtieths;
    if (!ParseMinutes(text, at, sixtieths)) return false;
    double hours = SexagesimalSum(whole, sixtieths.Minutes, sixtieths.Seconds);
    if (inDegrees) hours /= 15.0;
    if (hours > kZoneLimit) return false;
    zoneHours = direction == 'e' && hours != 0 ? -hours : hours;
    return true;
}

// The Julian day at 0:00 of a date; years counted astronomically (0 is 1 BC).
double JulianDayAtMidnight(std::int32_t year, std::int32_t month, std::int32_t day,
                           bool gregorian) {
    if (month <= 2) {
        year -= 1;
        month += 12;
    }
    double correction = 0;
    if (gregorian) {
        const double century = std::floor(year / 100.0);
        correction = 2 - century + std::floor(century / 4);
    }
    return std::floor(365.25 * (year + 4716)) + std::floor(30.6001 * (month + 1)) + day +
           correction - 1524.5;
}

std::int32_t DaysInMonth(std::int32_t year, std::int32_t month, bool gregorian) {
    constexpr std::int32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year, gregorian) ? 29 : kDays[month - 1];
}

// One adb_entry's values as the file gives them: raw UTF-8, cut to their caps.
struct Entry {
    std::uint32_t Line = 0;
    std::uint32_t Number = 0;  // of the file's entries, from 1
    bool TooLong = false;
    bool HasDate = false;
    bool HasTime = false;
    std::string Id, Name, Sex, Rating;
    std::string Calendar, Year, Month, Day;
    std::string Time, TimeType, Meridian, JulianDayUt;
    std::string Latitude, Longitude, Place, Country, CountryCode;
    std::string Biography;

    void Clear() {
        TooLong = HasDate = HasTime = false;
        for (std::string* value : {&Id, &Name, &Sex, &Rating, &Calendar, &Year, &Month, &Day, &Time,
                                   &TimeType, &Meridian, &JulianDayUt, &Latitude, &Longitude,
                                   &Place, &Country, &CountryCode, &Biography})
            value->clear();
    }
};

enum class MappedAs { Chart, Untimed, Unreadable };

// Notes: where the chart comes from and how sure its time is, then the biography's lines.
// Blank lines are left out: in AAF a blank line ends the record. A cut is noted with the length
// the notes had.
void SetNotes(std::string_view id, std::string_view rating, std::string_view biography,
              AafRecord& record) {
    std::size_t whole = 0;
    {
        FieldWriter notes(record.Notes, kMaxNotesLength);
        notes.Put(kNotesHead);
        notes.Put(id);
        if (!rating.empty()) {
            notes.Put(kRatingHead);
            notes.Put(rating);
        }
        whole = kNotesHead.size() + id.size() +
                (rating.empty() ? 0 : kRatingHead.size() + rating.size());
        bool full = false;
        while (!biography.empty()) {
            // expat hands every line end over as LF.
            const std::size_t end = std::min(biography.find('\n'), biography.size());
            const std::string_view line = Trimmed(biography.substr(0, end));
            biography.remove_prefix(std::min(end + 1, biography.size()));
            if (line.empty()) continue;
            whole += 2 + line.size();
            full = full || notes.Room() < 3;  // the line break and at least one letter
            if (full) continue;
            notes.PutLineBreak();
            notes.Put(line);
        }
    }
    NoteNotesCut(whole, record);
}

// The whole hours of a zone toward zero, as a correction notes it, taken from the whole seconds
// that the Julian day tells (the zone is within days).
std::int32_t WholeHours(double hours) {
    return static_cast<std::int32_t>(std::round(hours * 3600.0) / 3600.0);
}

MappedAs MapEntry(Entry& entry, AafRecord& record, std::size_t& unconvertible) {
    static_cast<ChartRecord&>(record) = ChartRecord{};
    record.SourceLine = entry.Number;
    record.Notes[0] = '\0';
    if (entry.TooLong || !entry.HasDate) return MappedAs::Unreadable;

    std::int32_t year = 0;
    if (!ParseWhole(entry.Year, year) || !ParseWhole(entry.Month, record.Month) ||
        !ParseWhole(entry.Day, record.Day))
        return MappedAs::Unreadable;
    record.Gregorian = Trimmed(entry.Calendar) != "j";
    if (year <= kMinYear || year > kMaxYear) return MappedAs::Unreadable;
    // The export counts years astronomically, 0 being 1 BC; the record has no year 0.
    record.Year = year < 1 ? year - 1 : year;
    if (record.Month < 1 || record.Month > 12 || record.Day < 1 ||
        record.Day > DaysInMonth(record.Year, record.Month, record.Gregorian))
        return MappedAs::Unreadable;

    bool timed = false;
    if (entry.HasTime && !Trimmed(entry.Time).empty()) {
        if (!ParseClock(entry.Time, record.Time)) return MappedAs::Unreadable;
        timed = true;
    }
    // The zone in force, hours west. The universal time, where given, is the surer source: it
    // holds the historical offsets that a meridian code rounds away.
    double zone = 0;
    bool zoned = false;
    if (timed && !Trimmed(entry.JulianDayUt).empty()) {
        const std::string_view text = Trimmed(entry.JulianDayUt);
        double julianDayUt = 0;
        const auto [end, error] =
            std::from_chars(text.data(), text.data() + text.size(), julianDayUt);
        if (error != std::errc{} || end != text.data() + text.size() ||
            !(std::fabs(julianDayUt) < kMaxJulianDay))
            return MappedAs::Unreadable;
        const double julianDayLocal =
            JulianDayAtMidnight(year, record.Month, record.Day, record.Gregorian) +
            record.Time / 24.0;
        zone = (julianDayUt - julianDayLocal) * 24.0;
        // A universal time a day off from the date still tells the zone within the day.
        if (std::fabs(zone) > kZoneLimit) {
            const double read = zone;
            zone -= 24.0 * std::round(zone / 24.0);
            record.Corrections.Add(ChartField::Zone, WholeHours(read), WholeHours(zone));
        }
        // The Julian day has six decimals, some 0.09 seconds: the zone is whole seconds.
        zone = std::round(zone * 3600.0) / 3600.0 + 0.0;
        zoned = true;
    } else if (!Trimmed(entry.Meridian).empty()) {
        if (!ParseMeridian(entry.Meridian, zone)) return MappedAs::Unreadable;
        zoned = true;
    }
    if (zoned) {
        const std::string_view timeType = Trimmed(entry.TimeType);
        if (timeType == "d") {
            record.DaylightCode = kDaylightMinutes;
            record.TimeZone = zone + 1.0;
        } else {
            record.DaylightCode = timeType == "l" ? kLocalMeanTimeCode : 0;
            record.TimeZone = zone;
        }
    }

    if ((!Trimmed(entry.Latitude).empty() &&
         !ParseAngle(entry.Latitude, 'n', 's', 90.0, record.Latitude)) ||
        (!Trimmed(entry.Longitude).empty() &&
         !ParseAngle(entry.Longitude, 'e', 'w', 180.0, record.Longitude)))
        return MappedAs::Unreadable;

    const std::string_view name = Trimmed(ToWindows1250(entry.Name, unconvertible));
    const std::size_t comma = name.find(kNameSeparator);
    SetOneLineField(record.LastName, name.substr(0, comma), ChartField::Name, record);
    if (comma != std::string_view::npos)
        SetOneLineField(record.FirstName, name.substr(comma + kNameSeparator.size()),
                        ChartField::Name, record);
    const std::string_view sex = Trimmed(entry.Sex);
    record.Gender = sex == "m" ? 'M' : sex == "f" ? 'F' : '*';
    SetOneLineField(record.Place, ToWindows1250(entry.Place, unconvertible), ChartField::Place,
                    record);
    std::string& country = Trimmed(entry.Country).empty() ? entry.CountryCode : entry.Country;
    SetOneLineField(record.Country, ToWindows1250(country, unconvertible), ChartField::Place,
                    record);
    SetNotes(Trimmed(ToWindows1250(entry.Id, unconvertible)),
             Trimmed(ToWindows1250(entry.Rating, unconvertible)),
             ToWindows1250(entry.Biography, unconvertible), record);

    if (timed && zoned) return MappedAs::Chart;
    // Noon, the middle of the day the chart may lie in, and the zone of Greenwich where none is
    // given: a time without its zone tells no moment either.
    record.Corrections.Add(ChartField::Time,
                           timed ? static_cast<std::int32_t>(record.Time) : kValueMissing,
                           static_cast<std::int32_t>(kNoon));
    if (!zoned) record.Corrections.Add(ChartField::Zone, kValueMissing, 0);
    record.Time = kNoon;
    return MappedAs::Untimed;
}

std::uint32_t LineNumber(XML_Size line) {
    return static_cast<std::uint32_t>(
        std::min<XML_Size>(line, std::numeric_limits<std::uint32_t>::max()));
}

// The sections of an entry whose fields become the chart; others (research data) are skipped.
enum class Section { Other, Public, Text };

// One export read through one expat parser, fed in blocks.
class AdbXmlParse {
public:
    explicit AdbXmlParse(const ChartVisitor& visit) : Visit(visit), Outer(tCurrentBudget) {
        tCurrentBudget = &Budget;
        Parser = XML_ParserCreate_MM(nullptr, &kBudgetSuite, nullptr);
        if (Parser == nullptr) return;
        // Nothing outside the file is ever read: no external DTD or parameter entities; a
        // DOCTYPE or entity declaration ends the reading (the export has none).
        XML_SetParamEntityParsing(Parser, XML_PARAM_ENTITY_PARSING_NEVER);
#if XML_MAJOR_VERSION > 2 || (XML_MAJOR_VERSION == 2 && XML_MINOR_VERSION >= 4)
        XML_SetBillionLaughsAttackProtectionMaximumAmplification(Parser, 100.0f);
        XML_SetBillionLaughsAttackProtectionActivationThreshold(Parser, 8u << 20);
#endif
        XML_SetUserData(Parser, this);
        XML_SetElementHandler(Parser, &AdbXmlParse::OnStart, &AdbXmlParse::OnEnd);
        XML_SetCharacterDataHandler(Parser, &AdbXmlParse::OnText);
        XML_SetStartDoctypeDeclHandler(Parser, &AdbXmlParse::OnDoctype);
        XML_SetEntityDeclHandler(Parser, &AdbXmlParse::OnEntityDecl);
    }
    ~AdbXmlParse() {
        if (Parser != nullptr) XML_ParserFree(Parser);
        tCurrentBudget = Outer;
    }
    AdbXmlParse(const AdbXmlParse&) = delete;
    AdbXmlParse& operator=(const AdbXmlParse&) = delete;

    // Feeds the next bytes; false when the reading is over (the end, an error, a stop).
    bool Feed(const char* bytes, std::size_t size, bool last) {
        if (Parser == nullptr) return false;
        const XML_Status status = XML_Parse(Parser, bytes, static_cast<int>(size), last);
        return Continue(status, last);
    }

    // Reads a file block by block straight into expat's buffer.
    void FeedFile(std::FILE* file) {
        bool more = Parser != nullptr;
        while (more) {
            void* block = XML_GetBuffer(Parser, static_cast<int>(kBlockSize));
            if (block == nullptr) {
                Break(XML_GetCurrentLineNumber(Parser));
                return;
            }
            const std::size_t read = std::fread(block, 1, kBlockSize, file);
            if (read == 0 && std::ferror(file)) {
                Break(XML_GetCurrentLineNumber(Parser));
                return;
            }
            const bool last = read == 0;
            more = Continue(XML_ParseBuffer(Parser, static_cast<int>(read), last), last);
        }
    }

    ChartFileRead Finish() {
        return std::move(Result);
    }

private:
    bool Continue(XML_Status status, bool last) {
        if (status == XML_STATUS_OK) return !last;
        if (!Ended) Break(XML_GetCurrentLineNumber(Parser));
        return false;
    }

    // The reading ends early at a line: a file of the format is kept up to there.
    void Break(XML_Size line) {
        Ended = true;
        if (Result.Recognised && !Result.Stopped)
            Result.BrokenOffAt = std::max(1u, LineNumber(line));
    }
    void Stop(XML_Size line) {
        Break(line);
        XML_StopParser(Parser, XML_FALSE);
    }
    void Refuse() {
        Result.Recognised = false;
        Ended = true;
        XML_StopParser(Parser, XML_FALSE);
    }

    void Keep(std::string& into, const XML_Char* value) {
        const std::size_t length = std::strlen(value);
        if (length > kMaxValueLength) {
            Current.TooLong = true;
            return;
        }
        into.assign(value, length);
    }
    // The attributes of an element: name and value in turn, ending in a null.
    using Wanted = std::pair<std::string_view, std::string*>;
    template <std::size_t N>
    void KeepAttributes(const XML_Char** attributes, const Wanted (&wanted)[N]) {
        for (; attributes[0] != nullptr; attributes += 2) {
            for (const auto& [name, into] : wanted)
                if (name == attributes[0]) Keep(*into, attributes[1]);
        }
    }
    void Collect(std::string& into) {
        into.clear();
        Collecting = &into;
        CollectDepth = Depth;
    }

    void Start(std::string_view name, const XML_Char** attributes) {
        ++Depth;
        const XML_Size line = XML_GetCurrentLineNumber(Parser);
        if (Depth == 1) {
            if (name != kRootName) return Refuse();
            Result.Recognised = true;
            return;
        }
        if (Depth > kMaxDepth) return Stop(line);
        if (Depth == 2) {
            InEntry = name == "adb_entry";
            if (!InEntry) return;
            Current.Clear();
            Current.Line = LineNumber(line);
            ++Current.Number;
            KeepAttributes(attributes, {{"adb_id", &Current.Id}});
            return;
        }
        if (!InEntry) return;
        if (Depth == 3) {
            CurrentSection = name == "public_data" ? Section::Public
                             : name == "text_data" ? Section::Text
                                                   : Section::Other;
        } else if (Depth == 4 && CurrentSection == Section::Public) {
            InBirthData = name == "bdata";
            if (name == "name") {
                Collect(Current.Name);
            } else if (name == "gender") {
                KeepAttributes(attributes, {{"csex", &Current.Sex}});
            } else if (name == "roddenrating") {
                Collect(Current.Rating);
            }
        } else if (Depth == 4 && CurrentSection == Section::Text) {
            if (name == "shortbiography") Collect(Current.Biography);
        } else if (Depth == 5 && InBirthData) {
            StartBirthField(name, attributes);
        }
    }

    void StartBirthField(std::string_view name, const XML_Char** attributes) {
        if (name == "sbdate") {
            Current.HasDate = true;
            KeepAttributes(attributes, {{"ccalendar", &Current.Calendar},
                                        {"iyear", &Current.Year},
                                        {"imonth", &Current.Month},
                                        {"iday", &Current.Day}});
        } else if (name == "sbtime") {
            Current.HasTime = true;
            KeepAttributes(attributes, {{"ctimetype", &Current.TimeType},
                                        {"stmerid", &Current.Meridian},
                                        {"jd_ut", &Current.JulianDayUt}});
            Collect(Current.Time);
        } else if (name == "place") {
            KeepAttributes(attributes,
                           {{"slati", &Current.Latitude}, {"slong", &Current.Longitude}});
            Collect(Current.Place);
        } else if (name == "country") {
            KeepAttributes(attributes, {{"sctr", &Current.CountryCode}});
            Collect(Current.Country);
        }
    }

    void End() {
        if (Collecting != nullptr && Depth == CollectDepth) Collecting = nullptr;
        if (Depth == 2 && InEntry) {
            InEntry = false;
            EndEntry();
        } else if (Depth == 3) {
            CurrentSection = Section::Other;
        } else if (Depth == 4) {
            InBirthData = false;
        }
        --Depth;
    }

    void EndEntry() {
        switch (MapEntry(Current, Record, Result.Unconvertible)) {
            case MappedAs::Unreadable:
                Result.SkippedLines.push_back(Current.Line);
                return;
            case MappedAs::Untimed:
                Result.UntimedLines.push_back(Current.Line);
                break;
            case MappedAs::Chart:
                break;
        }
        if (!Visit(Record)) {
            Result.Stopped = true;
            Ended = true;
            XML_StopParser(Parser, XML_FALSE);
        }
    }

    void Text(const XML_Char* text, int length) {
        if (Collecting == nullptr || length <= 0) return;
        const std::size_t room = kMaxFieldText - std::min(kMaxFieldText, Collecting->size());
        std::size_t taken = std::min(room, static_cast<std::size_t>(length));
        // A text cut at its cap ends with a whole character, so that it stays UTF-8.
        if (taken < static_cast<std::size_t>(length))
            while (taken > 0 && (static_cast<unsigned char>(text[taken]) & 0xC0) == 0x80)
                --taken;
        Collecting->append(text, taken);
    }

    static void XMLCALL OnStart(void* self, const XML_Char* name, const XML_Char** attributes) {
        static_cast<AdbXmlParse*>(self)->Start(name, attributes);
    }
    static void XMLCALL OnEnd(void* self, const XML_Char*) {
        static_cast<AdbXmlParse*>(self)->End();
    }
    static void XMLCALL OnText(void* self, const XML_Char* text, int length) {
        static_cast<AdbXmlParse*>(self)->Text(text, length);
    }
    static void XMLCALL OnDoctype(void* self, const XML_Char*, const XML_Char*, const XML_Char*,
                                  int) {
        static_cast<AdbXmlParse*>(self)->Refuse();
    }
    static void XMLCALL OnEntityDecl(void* self, const XML_Char*, int, const XML_Char*, int,
                                     const XML_Char*, const XML_Char*, const XML_Char*,
                                     const XML_Char*) {
        static_cast<AdbXmlParse*>(self)->Refuse();
    }

    const ChartVisitor& Visit;
    MemoryBudget Budget;
    MemoryBudget* Outer;
    XML_Parser Parser = nullptr;
    ChartFileRead Result;
    bool Ended = false;
    int Depth = 0;
    bool InEntry = false;
    Section CurrentSection = Section::Other;
    bool InBirthData = false;
    std::string* Collecting = nullptr;
    int CollectDepth = 0;
    Entry Current;
    AafRecord Record;
};

}  // namespace

ChartFileRead ParseAdbXml(std::string_view text, const ChartVisitor& visit) {
    AdbXmlParse parse(visit);
    std::size_t at = 0;
    for (;;) {
        const std::size_t size = std::min(kBlockSize, text.size() - at);
        const bool last = at + size == text.size();
        if (!parse.Feed(text.data() + at, size, last)) break;
        at += size;
    }
    return parse.Finish();
}

ChartFileRead ReadAdbXmlCharts(const std::string& path, const ChartVisitor& visit) {
    std::FILE* file = OpenFile(path, "rb");
    if (file == nullptr) return {};
    AdbXmlParse parse(visit);
    parse.FeedFile(file);
    std::fclose(file);
    return parse.Finish();
}

}  // namespace tervalo
