// The two-thread stretch walk: a database's text parsed and its records written in a target's
// format on two threads, a stretch of the text at a time, with the texts taken in order on this
// thread. The run's walk of every database kind, and of the CSV and NUM writers.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "core/ChartRecord.h"
#include "core/SlotRing.h"
#include "core/TextBuffer.h"
#include "core/TextScan.h"

namespace tervalo {

// The cursor of a database that has no current record.
constexpr std::size_t kNoCursor = static_cast<std::size_t>(-1);

// Room a ChartTextWriter may fill for one chart: the longest AAF record, QCK line or CSV or NUM
// line is shorter.
constexpr std::size_t kChartTextSize = 6144;

// Writes a chart as a target's text into `out` (kChartTextSize bytes) and gives its length.
// It may change the record as writing does (a zero Day becomes 1), and runs on either of two
// threads, so it reads and changes nothing but the record and `out`.
using ChartTextWriter = std::size_t (*)(AafRecord& record, char* out);

// Where a stretch of a text starts: a record's cursor, and the calendar in force before that
// record (a record without a date keeps it).
struct StretchStart {
    std::size_t First = 0;
    bool Gregorian = true;
};

// What a walk leaves of a database's text: all of it, or nothing. A run reads each file once,
// so it lets the memory of what it has walked go as the walk goes on, where the output's
// growing text can take it: the two texts then hardly ever need memory at the same time.
enum class WalkedText { Kept, Released };

// Stretches of about this much text are parsed and written at a time; a few of them stay small
// enough to be read again from the cache, and the handing over happens a few hundred times for
// a large file, not once per record.
constexpr std::size_t kStretchText = 128 * 1024;

// A walk that lets its text go does so in steps of this much: each step is a system call.
constexpr std::size_t kReleasedAtOnce = std::size_t{2} << 20;

// What a walk that lets its text go does as it goes: the text behind both threads goes a large
// page or so at a time, and however the walk ends, the database ends empty, as Reset leaves it.
template <typename Database>
class TextRelease {
public:
    TextRelease(Database& database, TextBuffer& buffer, WalkedText walked)
        : Owner(database), Text(buffer), Releases(walked == WalkedText::Released) {}
    TextRelease(const TextRelease&) = delete;
    TextRelease& operator=(const TextRelease&) = delete;
    ~TextRelease() {
        if (Releases) Owner.Reset();
    }
    // Neither thread reads the text before `cursor` again.
    void Passed(std::size_t cursor) {
        if (!Releases || cursor - Released < kReleasedAtOnce) return;
        Released = cursor;
        Text.Discard(0, Released);
    }

private:
    Database& Owner;
    TextBuffer& Text;
    const bool Releases;
    std::size_t Released = 0;
};

// Which charts of a walk the caller wants to hear of as they were read (a reader bounded a
// value, a target cannot hold one): `Marks` runs on the thread that reads the chart, before the
// chart is written, and sees nothing but the chart, `Context` and `text`. A chart it gives a
// value other than 0 is handed to the taker with that value (what the check found, so the
// taker need not look again), what `Marks` appended to `text` of it (work done on the reading
// threads rather than the taker's), the line its record begins on in `Text`, and a copy of the
// chart unless the value has kMarkedTextOnly.
struct ChartInspection {
    std::uint32_t (*Marks)(const AafRecord& chart, const void* context,
                           std::string& text) = nullptr;
    const void* Context = nullptr;
    std::string_view Text;
};

constexpr std::uint32_t kMarkedTextOnly = std::uint32_t{1} << 31;

// A marked chart as the taker gets it.
struct MarkedChart {
    const AafRecord* Chart;  // null when marked kMarkedTextOnly
    std::uint64_t Line;      // from 1
    std::uint32_t Marks;
    std::string_view Text;
};

// A record as a walk took it: where it stands, and the calendar in force before it.
struct TakenRecord {
    std::size_t Cursor = 0;
    bool GregorianBefore = true;
};

namespace stretch_walk {

// Stretches formed and not yet taken, at most: enough that neither thread waits for long.
constexpr std::size_t kStretchSlots = 4;

constexpr std::size_t kUnmarked = static_cast<std::size_t>(-1);

// One record of a written stretch.
struct WrittenRecord {
    TakenRecord Taken;
    std::size_t End = 0;             // of its text among the stretch's bytes
    std::size_t Marked = kUnmarked;  // its copy among the stretch's marked charts
    std::uint64_t Line = 0;          // line feeds before it within the stretch, when marked
    std::uint32_t Marks = 0;
    std::size_t TextBegin = 0;  // what the inspection wrote of it, among the stretch's
    std::size_t TextEnd = 0;
};

// The texts of a stretch's records, one behind the other, and copies of the marked charts as
// read; the copies' room is kept from stretch to stretch.
struct WrittenStretch {
    std::vector<char> Bytes;
    std::size_t Used = 0;
    std::vector<WrittenRecord> Records;
    std::vector<AafRecord> Marked;
    std::size_t MarkedCount = 0;
    std::string MarkedText;
    std::uint64_t LineFeeds = 0;  // in the stretch's text, when charts are inspected
};

// A chart as read, copied up to the end of its texts.
inline void CopyChart(const AafRecord& from, AafRecord& to) {
    CopyCommonFields(from, to);
    to.Corrections = from.Corrections;
    to.SourceLine = from.SourceLine;
    // Notes run to a few dozen bytes of their 4 KB: the library's search and copy take them.
    const void* end = std::memchr(from.Notes, '\0', kNotesFieldSize - 1);
    const std::size_t length =
        end == nullptr ? kNotesFieldSize - 1
                       : static_cast<std::size_t>(static_cast<const char*>(end) - from.Notes);
    std::memcpy(to.Notes, from.Notes, length);
    to.Notes[length] = '\0';
}

}  // namespace stretch_walk

// Parses each stretch's records with `parse(cursor, record)`, which fills the record and gives
// the next record's cursor (kNoCursor after the last), writes each with `writeText`, and hands the
// texts to `take` in order, one record at a time, or a stretch's texts at once to a `take` that
// also accepts the stretch's last record. A second thread forms stretches ahead, and this one
// forms the next stretch not yet claimed whenever the one it is to take is not ready: a taker
// that does much with each record leaves more of the forming to the second thread.
// After each stretch has been taken, `passed(next)` hears the first cursor of the next one:
// neither thread reads the text before it again. Gives false when `take` stopped the walk;
// `last` is then the record taken last either way.
// With an inspection, a taker of single records may take a second argument, the marked chart
// or null.
template <typename Parse, typename Take, typename Passed>
bool ConvertStretches(const std::vector<StretchStart>& stretches, Parse parse,
                      ChartTextWriter writeText, Take&& take, Passed passed, TakenRecord& last,
                      const ChartInspection* inspection = nullptr) {
    using stretch_walk::WrittenStretch;
    const std::size_t count = stretches.size();
    const auto writeStretch = [&stretches, &parse, writeText, inspection](
                                  std::size_t index, AafRecord& record, WrittenStretch& stretch) {
        const std::size_t end =
            index + 1 < stretches.size() ? stretches[index + 1].First : kNoCursor;
        stretch.Used = 0;
        stretch.Records.clear();
        stretch.MarkedCount = 0;
        stretch.MarkedText.clear();
        stretch.LineFeeds = 0;
        std::size_t counted = stretches[index].First;  // line feeds are counted up to here
        record.Gregorian = stretches[index].Gregorian;
        for (std::size_t cursor = stretches[index].First; cursor != kNoCursor && cursor < end;) {
            if (stretch.Bytes.size() - stretch.Used < kChartTextSize) {
                stretch.Bytes.resize(std::max(2 * stretch.Bytes.size(), kStretchText) +
                                     kChartTextSize);
            }
            const TakenRecord taken{cursor, record.Gregorian};
            cursor = parse(cursor, record);
            stretch_walk::WrittenRecord written{taken, 0};
            written.TextBegin = stretch.MarkedText.size();
            const std::uint32_t marks =
                inspection != nullptr
                    ? inspection->Marks(record, inspection->Context, stretch.MarkedText)
                    : 0;
            if (marks != 0) {
                const char* text = inspection->Text.data();
                const std::size_t at = std::min(taken.Cursor, inspection->Text.size());
                stretch.LineFeeds += CountLineFeeds(text + std::min(counted, at), text + at);
                counted = at;
                if ((marks & kMarkedTextOnly) == 0) {
                    if (stretch.Marked.size() == stretch.MarkedCount) stretch.Marked.emplace_back();
                    stretch_walk::CopyChart(record, stretch.Marked[stretch.MarkedCount]);
                    written.Marked = stretch.MarkedCount++;
                }
                written.Line = stretch.LineFeeds;
                written.Marks = marks;
            }
            written.TextEnd = stretch.MarkedText.size();
            stretch.Used += writeText(record, stretch.Bytes.data() + stretch.Used);
            written.End = stretch.Used;
            stretch.Records.push_back(written);
        }
        if (inspection != nullptr) {
            const std::size_t stop = std::min(end, inspection->Text.size());
            if (counted < stop) {
                stretch.LineFeeds += CountLineFeeds(inspection->Text.data() + counted,
                                                    inspection->Text.data() + stop);
            }
        }
    };

    // Each stretch is formed by whichever thread is free for it; this thread takes them in order.
    SlotRing<WrittenStretch, stretch_walk::kStretchSlots> written(count);
    if (count > 1) {
        written.Start([&writeStretch, record = std::make_shared<AafRecord>()](
                          std::size_t index, WrittenStretch& stretch) {
            writeStretch(index, *record, stretch);
        });
    }
    AafRecord ownRecord;
    const auto writeOwn = [&writeStretch, &ownRecord](std::size_t index, WrittenStretch& stretch) {
        writeStretch(index, ownRecord, stretch);
    };
    const typename decltype(written)::Work ownWork = writeOwn;

    // Line feeds before the stretch in hand: the text may hold lines before the first record.
    std::uint64_t linesBefore = 0;
    if (inspection != nullptr && count > 0) {
        const std::string_view text = inspection->Text;
        linesBefore =
            CountLineFeeds(text.data(), text.data() + std::min(stretches[0].First, text.size()));
    }
    for (std::size_t index = 0; index < count; ++index) {
        const WrittenStretch& stretch = written.Take(ownWork);
        if constexpr (std::is_invocable_r_v<bool, Take&, std::string_view, const TakenRecord&>) {
            // A taker that needs no record on its own gets the stretch's texts at once.
            if (!stretch.Records.empty()) {
                last = stretch.Records.back().Taken;
                if (!take(std::string_view(stretch.Bytes.data(), stretch.Used), last)) return false;
            }
        } else if constexpr (std::is_invocable_r_v<bool, Take&, std::string_view,
                                                   const MarkedChart*>) {
            std::size_t from = 0;
            for (const stretch_walk::WrittenRecord& record : stretch.Records) {
                last = record.Taken;
                const std::string_view text(stretch.Bytes.data() + from, record.End - from);
                from = record.End;
                if (record.Marks == 0) {
                    if (!take(text, nullptr)) return false;
                    continue;
                }
                const MarkedChart marked{
                    record.Marked == stretch_walk::kUnmarked ? nullptr
                                                             : &stretch.Marked[record.Marked],
                    linesBefore + record.Line + 1, record.Marks,
                    std::string_view(stretch.MarkedText)
                        .substr(record.TextBegin, record.TextEnd - record.TextBegin)};
                if (!take(text, &marked)) return false;
            }
            linesBefore += stretch.LineFeeds;
        } else {
            std::size_t from = 0;
            for (const stretch_walk::WrittenRecord& record : stretch.Records) {
                last = record.Taken;
                if (!take(std::string_view(stretch.Bytes.data() + from, record.End - from))) {
                    return false;
                }
                from = record.End;
            }
        }
        written.Release();
        if (index + 1 < count) passed(stretches[index + 1].First);
    }
    return true;
}

}  // namespace tervalo
