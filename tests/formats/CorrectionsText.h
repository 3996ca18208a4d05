// A chart's read corrections as one line of text, for the readers' tests to compare and print.
#pragma once

#include <string>

#include "core/ChartRecord.h"

namespace tervalo::test {

// "Year 12000>9999, Time none>12": each correction's field, the value read and the value kept.
inline std::string CorrectionsText(const ChartRecord& chart) {
    static constexpr const char* kFieldNames[] = {
        "Day",      "Month", "Year", "Time",  "Latitude", "Longitude", "Zone",
        "Daylight", "Notes", "Name", "Place", "Gender",   "None"};
    const auto number = [](std::int32_t value) {
        return value == kValueMissing ? std::string("none") : std::to_string(value);
    };
    std::string text;
    for (std::uint8_t i = 0; i < chart.Corrections.Count; ++i) {
        const ReadCorrection& item = chart.Corrections.Items[i];
        if (!text.empty()) text += ", ";
        text += kFieldNames[static_cast<int>(item.Field)];
        text += ' ' + number(item.Read) + '>' + number(item.Kept);
    }
    return text;
}

}  // namespace tervalo::test
