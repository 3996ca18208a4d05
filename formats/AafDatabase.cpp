// AafDatabase: the country list, loading and saving the text, and the cursor's moves over it.
#include "formats/AafDatabase.h"

#include "formats/AafText.h"

namespace tervalo {

namespace {

// A load that leaves the last line unterminated appends this, so that a record cut short at
// the end of the file still finds the commas its fields end with.
constexpr std::string_view kUnterminatedFill = ",,,,,,";

char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringAsciiCase(std::string_view left, std::string_view right) {
    if (left.size() != right.size()) return false;
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (FoldAscii(left[i]) != FoldAscii(right[i])) return false;
    }
    return true;
}

}  // namespace

AafDatabase::AafDatabase() {
    ClearRecord();
}

void AafDatabase::AddCountries(const std::vector<std::string_view>& rows) {
    Countries.reserve(Countries.size() + rows.size());
    for (std::string_view row : rows)
        Countries.emplace_back(row);
}

std::string_view AafDatabase::LookupCountryCode(std::string_view name) const {
    for (const std::string& row : Countries) {
        const std::string_view text = row;
        const std::size_t equals = text.find('=');
        if (equals == kNpos) continue;
        if (EqualIgnoringAsciiCase(text.substr(0, equals), name)) return text.substr(equals + 1);
    }
    return {};
}

void AafDatabase::Reset() {
    Buffer.Clear();
    CursorOffset = kNoCursor;
    ParsedAt = kNoCursor;
}

void AafDatabase::ClearRecord() {
    static_cast<ChartRecord&>(*this) = ChartRecord{};
    Notes[0] = '\0';
}

bool AafDatabase::LoadFromFile(const std::string& path) {
    ParsedAt = kNoCursor;  // a new text, even where a failed load left the old one
    LoadError = path.empty() ? LoadFailure::NoPath : Buffer.LoadFile(path);
    if (LoadError == LoadFailure::ShortOrTiny) CursorOffset = kNoCursor;  // the text is emptied
    if (LoadError != LoadFailure::None) return false;
    CursorOffset = kNoCursor;
    const std::string_view text = Buffer.View();
    if (!text.empty() && text.back() == '\n') {
        Buffer.CutTrailingEmptyLines();
    } else if (!text.empty()) {
        const std::size_t hash = text.rfind('#');
        if (hash != kNpos && text.substr(hash).size() >= 5 && text.substr(hash + 2, 3) == "93:")
            Buffer.AppendUnchecked(kUnterminatedFill);
    }
    const std::size_t first = FirstRecordCursor(Buffer.View());
    if (first == kNoCursor) {
        Buffer.Clear();
        LoadError = LoadFailure::NoRecord;
        return false;
    }
    CursorOffset = first;
    LoadError = LoadFailure::None;
    return true;
}

bool AafDatabase::SaveToFile(const std::string& path) {
    if (Buffer.Length() < 5 || path.empty()) return false;
    // A saved file ends with its last line; the blank line between records comes back on the
    // next append.
    Buffer.CutTrailingEmptyLines();
    return Buffer.SaveFile(path);
}

void AafDatabase::FirstRecord() {
    if (CursorOffset == kNoCursor) return;
    CursorOffset = FirstRecordCursor(Buffer.View());
}

bool AafDatabase::NextRecord() {
    if (CursorOffset == kNoCursor) return false;
    const std::size_t bound = ParsedAt == CursorOffset ? ParsedNextMarker : kNpos;
    const std::size_t next = NextCursor(Buffer.View(), CursorOffset, bound);
    if (next == kNoCursor) return false;
    CursorOffset = next;
    return true;
}

std::size_t AafDatabase::NextCursor(std::string_view text, std::size_t cursor, std::size_t bound) {
    if (cursor >= text.size()) return kNoCursor;
    // Text only ever grows at its end or is replaced whole (which forgets the parse), so a
    // marker found while parsing at this cursor still stands where it was.
    const bool parsedHere =
        bound != kNpos && text.substr(bound, kRecordMarker.size()) == kRecordMarker;
    const std::size_t next = parsedHere ? bound : text.find(kRecordMarker, cursor);
    return next == kNpos ? kNoCursor : next + kRecordMarker.size();
}

}  // namespace tervalo
