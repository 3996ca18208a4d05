// What the readers of single-chart files share: the whole small file, the name and the notes as
// the chart writers join them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "core/ChartRecord.h"
#include "core/Platform.h"
#include "core/TextBlock.h"
#include "formats/ChartSource.h"
#include "formats/ReadBounds.h"

namespace tervalo {

// A chart file is a few hundred bytes; notes make it a few kilobytes at most.
constexpr std::int64_t kLargestChartFile = std::int64_t{1} << 20;

// The whole file, when it opens, reads and holds no more than kLargestChartFile bytes.
inline bool ReadChartFile(const std::string& path, std::string& bytes) {
    std::FILE* file = OpenFile(path, "rb");
    if (file == nullptr) return false;
    const std::int64_t size = FileSize(file);
    bool whole = size >= 0 && size <= kLargestChartFile;
    if (whole) {
        bytes.resize(static_cast<std::size_t>(size));
        whole = ReadFileStart(file, bytes.data(), bytes.size()) == bytes.size();
    }
    std::fclose(file);
    return whole;
}

// The whole file parsed by `parse`; a file that can't be read whole is of no kind.
inline bool ReadAndParseChartFile(const std::string& path, AafRecord& chart, ChartFileRead& read,
                                  bool (*parse)(std::string_view, AafRecord&, ChartFileRead&)) {
    std::string bytes;
    if (!ReadChartFile(path, bytes)) {
        read = ChartFileRead{};
        return false;
    }
    return parse(bytes, chart, read);
}

// "Family Given": the first space parts the names, as the HOR and SZK targets join them. Spaces
// before the family name are not part of it: AAF files often carry one there (" Berliner, Emil"),
// and the HOR target writes it as it stands.
inline void SplitNameAtSpace(std::string_view name, ChartRecord& chart) {
    name.remove_prefix(std::min(name.find_first_not_of(' '), name.size()));
    const std::size_t space = name.find(' ');
    SetNotedFieldText(chart.LastName, name.substr(0, space), ChartField::Name, chart);
    SetNotedFieldText(chart.FirstName,
                      space == std::string_view::npos ? std::string_view{} : name.substr(space + 1),
                      ChartField::Name, chart);
}

// Every line break, CR LF, a lone CR or a lone LF, becomes CR LF. The notes end with their
// last text: the writers add no line for a closing line break, so a round trip adds none. Gives
// the length the notes have so, before the record's field cuts them.
inline std::size_t SetNotesLines(std::string_view notes, AafRecord& chart) {
    std::size_t length = 0;
    std::size_t whole = 0;     // the length uncut
    std::size_t lastText = 0;  // ... up to the last byte of text
    for (std::size_t at = 0; at < notes.size(); ++at) {
        const char c = notes[at];
        if (c != '\r' && c != '\n') {
            if (length < kMaxNotesLength) chart.Notes[length++] = c;
            lastText = ++whole;
            continue;
        }
        if (c == '\r' && at + 1 < notes.size() && notes[at + 1] == '\n') ++at;
        whole += 2;
        if (length < kMaxNotesLength) chart.Notes[length++] = '\r';
        if (length < kMaxNotesLength) chart.Notes[length++] = '\n';
    }
    while (length > 0 && (chart.Notes[length - 1] == '\r' || chart.Notes[length - 1] == '\n'))
        --length;
    chart.Notes[length] = '\0';
    return lastText;
}

}  // namespace tervalo
