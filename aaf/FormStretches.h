// Parsing a database's text and writing its records in a target's format on two threads, a
// stretch of the text at a time, with the texts taken in order on this thread: the run's walk
// of both database kinds.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string_view>
#include <type_traits>
#include <vector>

#include "aaf/AafDatabase.h"
#include "aaf/SlotRing.h"
#include "aaf/TextBuffer.h"

namespace tervalo {

// Stretches of about this much text are parsed and written at a time; a few of them stay small
// enough to be read again from the cache, and the handing over happens a few hundred times for
// a large file, not once per record.
constexpr std::size_t kFormStretchText = 128 * 1024;

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

// A record as a walk took it: where it stands, and the calendar in force before it.
struct TakenRecord {
    std::size_t Cursor = 0;
    bool GregorianBefore = true;
};

namespace form_stretches {

constexpr std::size_t kFormedAhead = 3;

// One record of a written stretch.
struct FormedRecord {
    TakenRecord Taken;
    std::size_t End = 0;  // of its text among the stretch's bytes
};

// The texts of a stretch's records, one behind the other.
struct FormedStretch {
    std::vector<char> Bytes;
    std::size_t Used = 0;
    std::vector<FormedRecord> Records;
};

}  // namespace form_stretches

// Parses each stretch's records with `parse(cursor, record)`, which fills the record and gives
// the next record's cursor (kNoCursor after the last), writes each with `form`, and hands the
// texts to `take` in order, one record at a time, or a stretch's texts at once to a `take` that
// also accepts the stretch's last record; this thread forms every other stretch, a second thread
// the rest.
// After each stretch has been taken, `passed(next)` hears the first cursor of the next one:
// neither thread reads the text before it again. Gives false when `take` stopped the walk;
// `last` is then the record taken last either way.
template <typename Parse, typename Take, typename Passed>
bool FormStretches(const std::vector<StretchStart>& stretches, Parse parse, RecordForm form,
                   Take&& take, Passed passed, TakenRecord& last) {
    using form_stretches::FormedStretch;
    const std::size_t count = stretches.size();
    const auto formStretch = [&stretches, &parse, form](std::size_t index, AafRecord& record,
                                                        FormedStretch& stretch) {
        const std::size_t end =
            index + 1 < stretches.size() ? stretches[index + 1].First : kNoCursor;
        stretch.Used = 0;
        stretch.Records.clear();
        record.Gregorian = stretches[index].Gregorian;
        for (std::size_t cursor = stretches[index].First; cursor != kNoCursor && cursor < end;) {
            if (stretch.Bytes.size() - stretch.Used < kFormedRecordSize) {
                stretch.Bytes.resize(std::max(2 * stretch.Bytes.size(), kFormStretchText) +
                                     kFormedRecordSize);
            }
            const TakenRecord taken{cursor, record.Gregorian};
            cursor = parse(cursor, record);
            stretch.Used += form(record, stretch.Bytes.data() + stretch.Used);
            stretch.Records.push_back({taken, stretch.Used});
        }
    };

    // The second thread forms every other stretch, from the second on.
    SlotRing<FormedStretch, form_stretches::kFormedAhead> formed;
    const bool shared = count > 1 && formed.Start([&](auto& ring) {
        AafRecord record;
        for (std::size_t index = 1; index < count; index += 2) {
            FormedStretch* stretch = ring.WaitToFill();
            if (stretch == nullptr) return;
            formStretch(index, record, *stretch);
            ring.Fill();
        }
    });

    FormedStretch own;
    AafRecord ownRecord;
    for (std::size_t index = 0; index < count; ++index) {
        const bool helped = shared && index % 2 == 1;
        if (!helped) formStretch(index, ownRecord, own);
        const FormedStretch& stretch = helped ? formed.WaitToTake() : own;
        if constexpr (std::is_invocable_r_v<bool, Take&, std::string_view, const TakenRecord&>) {
            // A taker that needs no record on its own gets the stretch's texts at once.
            if (!stretch.Records.empty()) {
                last = stretch.Records.back().Taken;
                if (!take(std::string_view(stretch.Bytes.data(), stretch.Used), last)) return false;
            }
        } else {
            std::size_t from = 0;
            for (const form_stretches::FormedRecord& record : stretch.Records) {
                last = record.Taken;
                if (!take(std::string_view(stretch.Bytes.data() + from, record.End - from))) {
                    return false;
                }
                from = record.End;
            }
        }
        if (helped) formed.Take();
        if (index + 1 < count) passed(stretches[index + 1].First);
    }
    return true;
}

}  // namespace tervalo
