// NUM output: one numerology line of date, name, chart type, gender letter and notes per chart.
#include "formats/AafDatabase.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>

#include "core/TextScan.h"

namespace tervalo {

namespace {

// Numerology programs read a vertical tab as the line break inside the notes field.
constexpr char kNotesLineBreak = '\v';

// The line is written forward through a buffer of kChartTextSize bytes, which the longest
// line (two full names, full notes, the date and the flags) does not fill.
static_assert(2 * kMaxTextLength + kNotesFieldSize + 64 <= kChartTextSize);

void Put(char*& at, char c) {
    *at++ = c;
}
void Put(char*& at, std::string_view text) {
    std::memcpy(at, text.data(), text.size());
    at += text.size();
}

void PutTwoDigits(char*& at, std::int32_t value) {
    if (value >= 0 && value <= 9) {
        Put(at, '0');
        Put(at, static_cast<char>('0' + value));
        return;
    }
    // Days and months beyond two digits, which no reader gives, go out in full.
    at = std::to_chars(at, at + 12, value).ptr;
}

// A line break inside a name would start a new chart line; it stands as a space instead.
void PutName(char*& at, std::string_view name) {
    for (std::size_t from = 0; from < name.size();) {
        const std::size_t lineEnd = FindFirstOf<'\r', '\n'>(name, from);
        Put(at, name.substr(from, lineEnd - from));
        if (lineEnd < name.size()) Put(at, ' ');
        from = lineEnd + 1;
    }
}

// The notes are the last field: every line break, CR LF or a lone CR or LF, becomes one
// vertical tab, and commas become semicolons so that the notes stay one field.
void PutNotes(char*& at, std::string_view notes) {
    ForEachNotesLine(notes, [&](std::string_view line, bool broken) {
        for (std::size_t from = 0;;) {
            const std::size_t comma = FindFirstOf<','>(line, from);
            Put(at, line.substr(from, comma - from));
            if (comma == line.size()) break;
            Put(at, ';');
            from = comma + 1;
        }
        if (broken) Put(at, kNotesLineBreak);
    });
}

// The line, CR LF included, into `line` (kChartTextSize bytes); gives its length.
std::size_t WriteNumLine(AafRecord& chart, char* line) {
    char* at = line;
    const ChartDate date = WrittenDate(chart, YearZero::AsOne);
    const std::int32_t year = date.Year;
    const std::int32_t yearDigits = year < 0 ? -year : year;
    Put(at, static_cast<char>('0' + yearDigits / 1000));
    Put(at, static_cast<char>('0' + yearDigits / 100 % 10));
    Put(at, static_cast<char>('0' + yearDigits / 10 % 10));
    Put(at, static_cast<char>('0' + yearDigits % 10));
    Put(at, '.');
    PutTwoDigits(at, date.Month);
    Put(at, '.');
    PutTwoDigits(at, date.Day);
    Put(at, ',');

    // Given names first, and their space even when only spaces and asterisks stood there.
    if (!FieldText(chart.FirstName).empty()) {
        PutName(at, GivenNames(chart));
        Put(at, ' ');
    }
    PutName(at, FieldText(chart.LastName));
    Put(at, ',');

    // Chart type: 2 for an event, 3 for a person born before the common era, 1 otherwise.
    const char gender = GenderLetter(chart.Gender);
    Put(at, gender == 'E' ? '2' : year < 0 ? '3' : '1');
    Put(at, ',');
    // The gender letters are Hungarian initials: "N" (no) for a woman, "F" (ferfi) for a man.
    if (gender == 'F') Put(at, 'N');
    if (gender == 'M') Put(at, 'F');
    Put(at, ',');
    PutNotes(at, FieldText(chart.Notes));
    Put(at, "\r\n");
    return static_cast<std::size_t>(at - line);
}

}  // namespace

std::string* AafDatabase::FormatNumLine(std::string* out) {
    if (out == nullptr) return nullptr;
    char line[kChartTextSize];
    out->assign(line, WriteNumLine(*this, line));
    return out;
}

bool AafDatabase::SaveNumFile(const std::string& path) {
    return SaveLineFile(path, WriteNumLine);
}

}  // namespace tervalo
