// The list of input files: order, duplicates and the case rule, shared by both fronts.
#include "run/FileList.h"

#include <algorithm>
#include <string_view>

#include "core/CodePage.h"
#include "core/Platform.h"
#include "formats/FoldChartName.h"

namespace tervalo {

namespace {

// Accents that a decomposed name carries behind its letter.
constexpr char32_t kCombiningFirst = 0x0300;
constexpr char32_t kCombiningLast = 0x036F;

// The key a person reads a path by: every letter its lower-case base letter (Á and á as a, Ő as
// o, À as a), combining accents left out. Other characters, and bytes that are not UTF-8, keep
// their bytes.
std::string BaseLetterKey(std::string_view row) {
    std::string key;
    key.reserve(row.size());
    for (std::size_t at = 0; at < row.size();) {
        char32_t codePoint = 0;
        const std::size_t size = DecodeUtf8At(row, at, codePoint);
        if (size == 0) {
            key.push_back(row[at++]);
            continue;
        }
        if (codePoint >= kCombiningFirst && codePoint <= kCombiningLast) {
            at += size;
            continue;
        }
        const unsigned char byte = Windows1250ByteOf(codePoint);
        const unsigned char base = byte >= 'A' ? kTransliterationTable[byte] : byte;
        if (base >= 'a' && base <= 'z') {
            key.push_back(static_cast<char>(base));
        } else {
            key.append(row, at, size);
        }
        at += size;
    }
    return key;
}

// A row with the keys it is ordered by: base letters first, so that the list reads
// alphabetically; then letters lowered but keeping their accents; then the exact bytes, so
// that the order never depends on the order of adding.
struct OrderedRow {
    std::string BaseKey;
    std::string CaseBlindKey;
    std::string Row;

    bool operator<(const OrderedRow& other) const {
        if (BaseKey != other.BaseKey) return BaseKey < other.BaseKey;
        if (CaseBlindKey != other.CaseBlindKey) return CaseBlindKey < other.CaseBlindKey;
        return Row < other.Row;
    }
};

}  // namespace

PathCase NativePathCase() {
    return FileNamesIgnoreCase() ? PathCase::Lower : PathCase::Preserve;
}

void AddToFileList(std::vector<std::string>& list, const std::vector<std::string>& added,
                   PathCase pathCase) {
    // The keys are built once per row, not once per comparison: lists run to thousands.
    std::vector<OrderedRow> rows;
    rows.reserve(list.size() + added.size());
    const auto take = [&](const std::string& path) {
        OrderedRow row;
        row.Row = pathCase == PathCase::Lower ? LowerWindows1250Letters(path) : path;
        row.BaseKey = BaseLetterKey(row.Row);
        row.CaseBlindKey = pathCase == PathCase::Lower ? row.Row : LowerWindows1250Letters(row.Row);
        rows.push_back(std::move(row));
    };
    for (const std::string& path : list)
        take(path);
    for (const std::string& path : added)
        take(path);
    std::sort(rows.begin(), rows.end());
    list.clear();
    for (OrderedRow& row : rows) {
        if (list.empty() || list.back() != row.Row) list.push_back(std::move(row.Row));
    }
}

std::string PathExtension(const std::string& path) {
    const std::size_t nameStart = LastPathSeparator(path);
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (nameStart != std::string::npos && dot < nameStart)) return {};
    return path.substr(dot);
}

}  // namespace tervalo
