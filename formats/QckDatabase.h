// QckDatabase: a whole QCK chart database (one fixed-column line per chart) in one text buffer,
// its cursor and the current chart record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "core/ChartRecord.h"
#include "core/StretchWalk.h"
#include "core/TextBuffer.h"

namespace tervalo {

constexpr std::size_t kQckLineLength = 101;  // every written line, before its CR LF
// FormatRecord's buffer: 75 columns, 21 of Place, the comma, 255 of Country and the line end.
constexpr std::size_t kQckFormatSize = 2048;
constexpr std::int64_t kQckAppendReserve = 4096;

class QckDatabase : public ChartRecord {
public:
    QckDatabase();  // throws the integer 1 when the first buffer can't be allocated
    QckDatabase(const QckDatabase&) = delete;
    QckDatabase& operator=(const QckDatabase&) = delete;

    static constexpr char MonthNames[12][4] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                               "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

    void Reset();
    void ClearRecord();

    bool LoadFromFile(const std::string& path);
    LoadFailure LastLoadFailure() const { return LoadError; }
    // What the last load did to a text written in UTF-8.
    const Utf8Conversion& LastConversion() const { return Buffer.LastConversion(); }
    bool NextRecord();
    void ParseRecord();
    // As AafDatabase::ConvertRecords: each record, parsed into a chart with empty notes, written
    // with `form` and handed to `take` in order; a large text on two threads.
    bool ConvertRecords(ChartTextWriter form,
                        const std::function<bool(std::string_view text)>& take,
                        WalkedText walked = WalkedText::Kept);
    // The same, and the charts that `inspection` marks are handed to `take` as they were read,
    // with the line their record begins on; the others come with null.
    bool ConvertRecords(
        ChartTextWriter form, const ChartInspection& inspection,
        const std::function<bool(std::string_view text, const MarkedChart* marked)>& take,
        WalkedText walked = WalkedText::Kept);
    // Writes the record as one 101-column line, CR LF and NUL into `out` (kQckFormatSize
    // bytes); null without a buffer.
    char* FormatRecord(char* out);
    // FormatRecord for any chart: the line with its CR LF and NUL; gives the line's length
    // with its CR LF.
    static std::size_t FormatLine(ChartRecord& record, char* out);
    bool AppendRecord();
    // Appends a line as FormatLine wrote it (CR LF included), as AppendRecord would.
    bool AppendFormatted(std::string_view line);
    bool SaveToFile(const std::string& path);

    std::string_view Text() const { return Buffer.View(); }
    std::size_t Cursor() const { return CursorOffset; }
    bool HasCurrentRecord() const { return CursorOffset != kNoCursor; }
    std::int32_t Capacity() const { return Buffer.Capacity(); }

private:
    template <typename Take>
    bool ConvertRecordsWith(ChartTextWriter form, const Take& take, WalkedText walked,
                            const ChartInspection* inspection);
    // Parses the line at `cursor` of `text` into `record`, and gives where the line ends (its
    // first byte of code 10 or less, or the text's end). Reads nothing but `text`.
    static std::size_t ParseLineAt(std::string_view text, std::size_t cursor, ChartRecord& record);

    TextBuffer Buffer;
    std::size_t CursorOffset = kNoCursor;
    LoadFailure LoadError = LoadFailure::None;
};

}  // namespace tervalo
