// The bounds the readers of other programs' files share, each noted in the chart's corrections.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

#include "core/ChartRecord.h"

namespace tervalo {

// A value read, as a correction holds it: beyond 32 bits it saturates, and it never reads as
// kValueMissing, the lowest 32-bit value.
constexpr std::int32_t CorrectionValue(std::int64_t value) {
    constexpr std::int64_t kLowest = kValueMissing + std::int64_t{1};
    constexpr std::int64_t kHighest = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(value, kLowest, kHighest));
}

// The year within the four digits every format holds; a year beyond them is noted.
inline std::int32_t BoundedYear(std::int64_t year, ChartRecord& chart) {
    const auto kept = static_cast<std::int32_t>(std::clamp<std::int64_t>(year, kMinYear, kMaxYear));
    if (kept != year) chart.Corrections.Add(ChartField::Year, CorrectionValue(year), kept);
    return kept;
}

// A text of `length` characters cut to what its field holds is noted once per field: the family
// and the given name are one name to the user, and the longer of the two is what they read.
inline void NoteTextCut(ChartField field, std::size_t length, std::size_t kept,
                        ChartRecord& chart) {
    if (length <= kept) return;
    const std::int32_t read = CorrectionValue(static_cast<std::int64_t>(length));
    ReadCorrections& corrections = chart.Corrections;
    for (std::uint8_t i = 0; i < corrections.Count; ++i) {
        ReadCorrection& noted = corrections.Items[i];
        if (noted.Field != field) continue;
        noted.Read = std::max(noted.Read, read);
        return;
    }
    corrections.Add(field, read, static_cast<std::int32_t>(kept));
}

// SetFieldText for record texts, noting a text cut at the field's 255 characters.
inline void SetNotedFieldText(char (&target)[kTextFieldSize], std::string_view text,
                              ChartField field, ChartRecord& chart) {
    NoteTextCut(field, text.size(), kMaxTextLength, chart);
    SetFieldText(target, text);
}

// Notes that had `length` bytes as CR LF lines, of which the record kept what it holds.
inline void NoteNotesCut(std::size_t length, AafRecord& chart) {
    if (length <= kMaxNotesLength) return;
    NoteTextCut(ChartField::Notes, length, FieldText(chart.Notes).size(), chart);
}

}  // namespace tervalo
