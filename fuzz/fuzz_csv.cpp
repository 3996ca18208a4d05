// Fuzzes the CSV reader, formats each chart it gives in every target, and checks that the CSV
// writer's line of a chart reads back to a chart the writer gives the same line for. A line whose
// bytes happen to be UTF-8 as well, or to begin with a byte-order mark, is read as UTF-8: those
// are left out of the check.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/CodePage.h"
#include "formats/AafDatabase.h"
#include "formats/CsvReader.h"

namespace {

// Formats of every target for a chart as the reader gave it; the chart's CSV line.
std::string FormAll(const tervalo::AafRecord& chart) {
    static tervalo::AafDatabase database;
    tervalo::CopyCommonFields(chart, database);
    char record[tervalo::kFormatRecordSize];
    database.FormatRecord(record);
    std::string text;
    database.FormatNumLine(&text);
    database.FormatHorText(&text);
    database.FormatSzkText(&text);
    database.FormatCsvLine(&text);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    int checked = 0;
    tervalo::ParseCsvCharts(text, [&](const tervalo::AafRecord& chart) {
        const std::string line = FormAll(chart);
        std::string converted = line;
        std::size_t length = converted.size();
        if (tervalo::ConvertUtf8ToWindows1250(converted.data(), length).Converted ||
            line.starts_with("\xEF\xBB\xBF"))
            return ++checked < 1000;
        std::string again;
        std::size_t charts = 0;
        const tervalo::ChartFileRead read =
            tervalo::ParseCsvCharts(line, [&](const tervalo::AafRecord& reread) {
                again = FormAll(reread);
                return ++charts < 2;
            });
        if (charts != 1 || again != line || !read.SkippedLines.empty()) __builtin_trap();
        return ++checked < 1000;
    });
    return 0;
}
