// AafDatabase: a whole AAF chart database in one text buffer, its cursor, the current chart
// record, the country list, and the writers of the AAF, NUM, CSV, HOR and SZK outputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ChartRecord.h"
#include "core/StretchWalk.h"
#include "core/TextBuffer.h"

namespace tervalo {

// FormatRecord's buffer: the longest record (four full texts, full notes, numbers) is shorter.
constexpr std::size_t kFormatRecordSize = kChartTextSize;
// AppendRecord grows the buffer when fewer than this many bytes would remain free.
constexpr std::int64_t kAafAppendReserve = 8192;

// Paths of per-chart files that a HOR or SZK writer could not write.
using WriteFailures = std::vector<std::string>;

// What a run knows about the file names of one chart folder beyond a single save: the names a
// chart's file must not take (an input of the run, or a file the run already wrote there), and
// each name it has written.
class ChartFileClaims {
public:
    virtual ~ChartFileClaims() = default;
    virtual bool IsTaken(std::string_view fileName) = 0;
    virtual void Written(std::string_view fileName) = 0;
};

class AafDatabase : public AafRecord {
public:
    AafDatabase();  // throws the integer 1 when the first buffer can't be allocated
    AafDatabase(const AafDatabase&) = delete;
    AafDatabase& operator=(const AafDatabase&) = delete;

    // Country list (only the output object gets it).
    std::vector<std::string> Countries;
    void AddCountries(const std::vector<std::string_view>& rows);
    // The code of the first row whose name equals `name` without regard to case; empty if none.
    std::string_view LookupCountryCode(std::string_view name) const;

    void Reset();
    void ClearRecord();

    bool LoadFromFile(const std::string& path);
    LoadFailure LastLoadFailure() const { return LoadError; }
    // What the last load did to a text written in UTF-8.
    const Utf8Conversion& LastConversion() const { return Buffer.LastConversion(); }
    bool SaveToFile(const std::string& path);

    void FirstRecord();
    bool NextRecord();
    void ParseRecord();
    // Parses the records from the current one to the last, writes each with `form`, and hands
    // each text to `take`, on this thread and in the records' order; stops when `take` gives
    // false, and then gives false. A large text is parsed and written on two threads, a
    // stretch each in turn, so neither `form` nor `take` may change this database. It ends on
    // the record taken last, as parsed, as a walk with NextRecord leaves it; with the text
    // Released it ends as Reset leaves it, with the fields of that record.
    bool ConvertRecords(ChartTextWriter form,
                        const std::function<bool(std::string_view text)>& take,
                        WalkedText walked = WalkedText::Kept);
    // The same, and the charts that `inspection` marks are handed to `take` as they were read,
    // with the line their record begins on; the others come with null.
    bool ConvertRecords(
        ChartTextWriter form, const ChartInspection& inspection,
        const std::function<bool(std::string_view text, const MarkedChart* marked)>& take,
        WalkedText walked = WalkedText::Kept);
    // Writes the record as AAF text into `out` (kFormatRecordSize bytes); null without a buffer.
    char* FormatRecord(char* out);
    // FormatRecord for any chart, as a ChartTextWriter.
    static std::size_t FormatRecordText(AafRecord& record, char* out);
    bool AppendRecord();
    // Appends a record's text as FormatRecordText wrote it, as AppendRecord would.
    bool AppendFormatted(std::string_view record);

    // NUM and CSV: one line per chart. The Format functions replace the string's content with
    // the current record's line (CR LF included) and return it; null when given none.
    std::string* FormatNumLine(std::string* out);
    bool SaveNumFile(const std::string& path);
    std::string* FormatCsvLine(std::string* out);
    bool SaveCsvFile(const std::string& path);

    // HOR and SZK: one file per chart in a folder. Charts whose file could not be written are
    // listed in `failures` when given; they don't change the result. A name that `claims`
    // holds taken goes on to the next free " (N)", like a second chart of the same name.
    std::string* FormatHorText(std::string* out);
    bool SaveHorFiles(const std::string& folder, WriteFailures* failures = nullptr,
                      ChartFileClaims* claims = nullptr);
    std::string* FormatSzkText(std::string* out);
    bool SaveSzkFiles(const std::string& folder, WriteFailures* failures = nullptr,
                      ChartFileClaims* claims = nullptr);

    // Read access to the text, for the writers, the run and the tests.
    std::string_view Text() const { return Buffer.View(); }
    std::size_t Cursor() const { return CursorOffset; }
    bool HasCurrentRecord() const { return CursorOffset != kNoCursor; }
    std::int32_t Capacity() const { return Buffer.Capacity(); }

    // February has 29 days in every year: the table only bounds the day when parsing.
    static constexpr std::int32_t DaysInMonth[13] = {0,  31, 29, 31, 30, 31, 30,
                                                     31, 31, 30, 31, 30, 31};

private:
    template <typename Take>
    bool ConvertRecordsWith(ChartTextWriter form, const Take& take, WalkedText walked,
                            const ChartInspection* inspection);
    // Writes one line per record, formed by formLine, in large blocks; false when the file
    // can't be created or a write falls short (what was written stays).
    bool SaveLineFile(const std::string& path, ChartTextWriter formLine);

    // Parses the record at `cursor` of `text` into `record`, and gives where the next record's
    // bound ("#A93") stands, npos when none follows. Reads nothing but `text`, so that several
    // threads can parse one text at once.
    static std::size_t ParseRecordAt(std::string_view text, std::size_t cursor, AafRecord& record);
    // The cursor of the record after the one at `cursor`, or kNoCursor. `bound` is what
    // ParseRecordAt gave for that cursor, or npos when it was not parsed.
    static std::size_t NextCursor(std::string_view text, std::size_t cursor, std::size_t bound);
    // Stretches of about `stretchText` bytes of text each, from `first` on, where the calendar
    // `gregorian` is in force. Each starts at a record, so that walking each one visits exactly
    // the records a walk of the whole text visits, in the same order and with the same fields.
    static std::vector<StretchStart> SplitIntoStretches(std::string_view text, std::size_t first,
                                                        bool gregorian, std::size_t stretchText);

    TextBuffer Buffer;
    std::size_t CursorOffset = kNoCursor;
    LoadFailure LoadError = LoadFailure::None;
    // Where ParseRecord found the next record's marker for the cursor it parsed at, so that
    // NextRecord need not search the same bytes again.
    std::size_t ParsedAt = kNoCursor;
    std::size_t ParsedNextMarker = kNoCursor;
};

}  // namespace tervalo
