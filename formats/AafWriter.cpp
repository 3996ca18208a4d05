// Writing AAF text: a record's two lines and its notes into a bounded buffer, and appending
// written records to the database's text.
#include "formats/AafDatabase.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

#include "core/Sexagesimal.h"
#include "core/TextScan.h"
#include "formats/AafText.h"

namespace tervalo {

namespace {

constexpr std::string_view kCommentMarker = "#COM:";

// Writes into a caller's buffer of kFormatRecordSize bytes; never past its end.
class RecordWriter {
public:
    explicit RecordWriter(char* out) : Out(out) {}

    void Put(char c) {
        if (Used < kLimit) Out[Used++] = c;
    }
    void Put(std::string_view text) {
        const std::size_t count = std::min(text.size(), kLimit - Used);
        if (count == 0) return;
        std::memcpy(Out + Used, text.data(), count);
        Used += count;
    }
    // A name, place or country of the "#A93:" line, "*" when empty. The line is read again when
    // the collected text is walked, and by other programs line by line: a line break in the text
    // would cut the line, and a marker in it would open a record or a location line of its own.
    // So line breaks stand as spaces, and so does the "#" of a marker.
    void PutLineText(std::string_view text) {
        if (text.empty()) {
            Put('*');
            return;
        }
        for (std::size_t from = 0;;) {
            const std::size_t at = FindFirstOf<'\r', '\n', '#'>(text, from);
            Put(text.substr(from, at - from));
            if (at == text.size()) return;
            Put(text[at] == '#' && !StartsMarker(text.substr(at)) ? '#' : ' ');
            from = at + 1;
        }
    }
    // A reader finds the notes by their leading "#", so notes from other programs, which have
    // none, go as a comment line, as AAF programs write comments; the whole stays within what a
    // reader takes. A record marker inside them would open a record of its own when the text is
    // read again: its "#" stands as a space.
    void PutNotes(std::string_view notes) {
        std::size_t room = kMaxNotesLength;
        if (notes.front() != '#') {
            Put(kCommentMarker);
            room -= kCommentMarker.size();
        }
        notes = notes.substr(0, std::min(notes.size(), room));
        for (std::size_t from = 0;;) {
            const std::size_t marker = notes.find(kNextRecordMarker, from);
            if (marker == kNpos) {
                Put(notes.substr(from));
                return;
            }
            Put(notes.substr(from, marker - from));
            Put(' ');
            from = marker + 1;
        }
    }
    void PutNumber(std::int64_t value) {
        char digits[24];
        const auto result = std::to_chars(digits, digits + sizeof digits, value);
        Put(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
    }
    // A leading "0" for the values 0 to 9.
    void PutTwoDigits(std::int64_t value) {
        if (value >= 0 && value <= 99) {
            Put(static_cast<char>('0' + value / 10));
            Put(static_cast<char>('0' + value % 10));
            return;
        }
        PutNumber(value);
    }
    std::size_t Finish() {
        Out[Used] = '\0';
        return Used;
    }

private:
    static constexpr std::size_t kLimit = kFormatRecordSize - 1;  // room for the NUL
    static bool StartsMarker(std::string_view text) {
        return text.starts_with(kNextRecordMarker) || text.starts_with(kLocationMarker);
    }
    char* Out;
    std::size_t Used = 0;
};

void PutAngle(RecordWriter& writer, double value, char positive, char negative) {
    const long double clamped = BoundForWriting(value);
    const RoundedUnits split = SplitRoundedToMinutes(std::fabs(clamped));
    writer.PutTwoDigits(split.Units);
    writer.Put(clamped >= 0 ? positive : negative);
    writer.PutTwoDigits(split.Minutes);
}

void PutTime(RecordWriter& writer, double time) {
    const RoundedUnits split = SplitRounded(BoundForWriting(time));
    writer.PutTwoDigits(split.Units);
    writer.Put(':');
    writer.PutTwoDigits(split.Minutes);
    if (split.Seconds != 0) {
        writer.Put(':');
        writer.PutTwoDigits(split.Seconds);
    }
}

void PutLeadValue(RecordWriter& writer, double leadValue) {
    if (leadValue == 0) {
        writer.Put('*');
        return;
    }
    char digits[64];
    const auto result =
        std::to_chars(digits, digits + sizeof digits, leadValue, std::chars_format::general, 13);
    const std::size_t length =
        result.ec == std::errc() ? static_cast<std::size_t>(result.ptr - digits) : 0;
    if (length == 0) {
        writer.Put('*');
        return;
    }
    writer.Put(std::string_view(digits, length));
}

std::string_view DaylightCodeText(std::int32_t code) {
    switch (code) {
        case 0:
            return "0";
        case 30:
            return "h";
        case 60:
            return "1";
        case 120:
            return "2";
        case -1:
            return "L";
        default:
            return {};
    }
}

// A NUL would end the whole text on the next load and lose every record behind it, and a line
// break would split the record line; both are written as "not given".
void PutGender(RecordWriter& writer, char gender) {
    writer.Put(gender != '\0' && gender != '\r' && gender != '\n' ? gender : '*');
}

// Day, month, year of four digits and the calendar letter. Writing marks the record: a day or
// month of 0 becomes 1 in it too.
void PutDate(RecordWriter& writer, AafRecord& record) {
    const ChartDate date = WrittenDate(record, YearZero::Kept);
    record.Day = date.Day;
    writer.PutTwoDigits(record.Day);
    writer.Put('.');
    record.Month = date.Month;
    writer.PutTwoDigits(record.Month);
    writer.Put('.');
    const std::int32_t year = date.Year;
    if (year < 0) writer.Put('-');
    const std::int32_t yearDigits = year < 0 ? -year : year;
    writer.Put(static_cast<char>('0' + yearDigits / 1000));
    writer.Put(static_cast<char>('0' + yearDigits / 100 % 10));
    writer.Put(static_cast<char>('0' + yearDigits / 10 % 10));
    writer.Put(static_cast<char>('0' + yearDigits % 10));
    writer.Put(record.Gregorian ? 'g' : 'j');
}

// Hours, "h", "w" or "e" for west or east of Greenwich (zones count west positive), minutes.
void PutZone(RecordWriter& writer, double timeZone) {
    const long double zone = BoundForWriting(timeZone);
    const RoundedUnits zoneSplit = SplitRoundedToMinutes(std::fabs(zone));
    writer.PutNumber(zoneSplit.Units);
    writer.Put('h');
    writer.Put(zone >= 0 ? 'w' : 'e');
    writer.PutTwoDigits(zoneSplit.Minutes);
}

// The record as AAF text; returns its length. A zero Day or Month becomes 1 in the record.
std::size_t FormatText(AafRecord& record, char* out) {
    RecordWriter writer(out);
    writer.Put(kRecordMarker);
    writer.PutLineText(FieldText(record.LastName));
    writer.Put(',');
    writer.PutLineText(FieldText(record.FirstName));
    writer.Put(',');
    PutGender(writer, record.Gender);
    writer.Put(',');
    PutDate(writer, record);
    writer.Put(',');
    PutTime(writer, record.Time);
    writer.Put(',');
    writer.PutLineText(FieldText(record.Place));
    writer.Put(',');
    writer.PutLineText(FieldText(record.Country));
    writer.Put("\r\n");

    writer.Put("#B93:");
    PutLeadValue(writer, record.LeadValue);
    writer.Put(',');
    PutAngle(writer, record.Latitude, 'N', 'S');
    writer.Put(',');
    PutAngle(writer, record.Longitude, 'E', 'W');
    writer.Put(',');
    PutZone(writer, record.TimeZone);
    writer.Put(',');
    writer.Put(DaylightCodeText(record.DaylightCode));
    writer.Put("\r\n");

    const std::string_view notes = FieldText(record.Notes);
    if (!notes.empty()) {
        writer.PutNotes(notes);
        writer.Put("\r\n");
    }
    writer.Put("\r\n");
    return writer.Finish();
}

}  // namespace

char* AafDatabase::FormatRecord(char* out) {
    if (out == nullptr) return nullptr;
    FormatText(*this, out);
    return out;
}

std::size_t AafDatabase::FormatRecordText(AafRecord& record, char* out) {
    return FormatText(record, out);
}

bool AafDatabase::AppendRecord() {
    char record[kFormatRecordSize];
    const std::size_t recordLength = FormatText(*this, record);
    return AppendFormatted(std::string_view(record, recordLength));
}

bool AafDatabase::AppendFormatted(std::string_view record) {
    const std::size_t length = Buffer.Length();
    if (static_cast<std::int64_t>(length) + kAafAppendReserve > Buffer.Capacity()) {
        if (!Buffer.Reallocate(GrownCapacity(static_cast<std::int64_t>(length)))) return false;
    }
    // Records are kept apart by a blank line, however the text before ended.
    if (length > 3) {
        while (Buffer.Data()[Buffer.Length() - 3] != '\n')
            Buffer.AppendUnchecked("\r\n");
    }
    Buffer.AppendUnchecked(record);
    if (CursorOffset == kNoCursor) CursorOffset = FirstRecordCursor(Buffer.View());
    return true;
}

}  // namespace tervalo
