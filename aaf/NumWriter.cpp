// NUM output: one numerology line of date, name, chart type, gender letter and notes per chart.
#include "aaf/AafDatabase.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "aaf/TextScan.h"

namespace tervalo {

namespace {

// Numerology programs read a vertical tab as the line break inside the notes field.
constexpr char kNotesLineBreak = '\v';

void AppendTwoDigits(std::string& out, std::int32_t value) {
    if (value >= 0 && value <= 9) {
        out.push_back('0');
        out.push_back(static_cast<char>('0' + value));
        return;
    }
    // Days and months beyond two digits, which no reader gives, go out in full.
    char digits[16];
    const std::to_chars_result result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, static_cast<std::size_t>(result.ptr - digits));
}

// A line break inside a name would start a new chart line; it stands as a space instead.
void AppendName(std::string& out, std::string_view name) {
    for (std::size_t from = 0; from < name.size();) {
        const std::size_t lineEnd = FindFirstOf<'\r', '\n'>(name, from);
        out.append(name.substr(from, lineEnd - from));
        if (lineEnd < name.size()) out.push_back(' ');
        from = lineEnd + 1;
    }
}

// The notes are the last field: every line break, CR LF or a lone CR or LF, becomes one
// vertical tab, and commas become semicolons so that the notes stay one field.
void AppendNotes(std::string& out, std::string_view notes) {
    for (std::size_t from = 0; from < notes.size();) {
        const std::size_t special = FindFirstOf<'\r', '\n', ','>(notes, from);
        out.append(notes.substr(from, special - from));
        if (special == notes.size()) break;
        from = special + 1;
        if (notes[special] == ',') {
            out.push_back(';');
            continue;
        }
        out.push_back(kNotesLineBreak);
        if (notes[special] == '\r' && from < notes.size() && notes[from] == '\n') ++from;
    }
}

void AppendNumLine(const AafRecord& chart, std::string& out) {
    // Readers bound the year to four digits; a larger value set directly is held there too.
    const std::int32_t year = chart.Year == 0 ? 1 : std::clamp(chart.Year, kMinYear, kMaxYear);
    const std::int32_t yearDigits = year < 0 ? -year : year;
    out.push_back(static_cast<char>('0' + yearDigits / 1000));
    out.push_back(static_cast<char>('0' + yearDigits / 100 % 10));
    out.push_back(static_cast<char>('0' + yearDigits / 10 % 10));
    out.push_back(static_cast<char>('0' + yearDigits % 10));
    out.push_back('.');
    AppendTwoDigits(out, chart.Month == 0 ? 1 : chart.Month);
    out.push_back('.');
    AppendTwoDigits(out, chart.Day == 0 ? 1 : chart.Day);
    out.push_back(',');

    // Given names first: AAF may keep them behind spaces and asterisks, which are not a name.
    const std::string_view firstName = FieldText(chart.FirstName);
    if (!firstName.empty()) {
        const std::size_t nameStart = std::min(firstName.find_first_not_of(" *"), firstName.size());
        AppendName(out, firstName.substr(nameStart));
        out.push_back(' ');
    }
    AppendName(out, FieldText(chart.LastName));
    out.push_back(',');

    // Chart type: 2 for an event, 3 for a person born before the common era, 1 otherwise.
    const char gender = GenderLetter(chart.Gender);
    out.push_back(gender == 'E' ? '2' : year < 0 ? '3' : '1');
    out.push_back(',');
    // The gender letters are Hungarian initials: "N" (no) for a woman, "F" (ferfi) for a man.
    if (gender == 'F') out.push_back('N');
    if (gender == 'M') out.push_back('F');
    out.push_back(',');
    AppendNotes(out, FieldText(chart.Notes));
    out.append("\r\n");
}

}  // namespace

std::string* AafDatabase::FormatNumLine(std::string* out) {
    if (out == nullptr) return nullptr;
    out->clear();
    AppendNumLine(*this, *out);
    return out;
}

bool AafDatabase::SaveNumFile(const std::string& path) {
    return SaveRecordLines(path, AppendNumLine);
}

}  // namespace tervalo
