// Walking an AAF text record by record, parsing ahead on a second thread, or parsing and
// writing every other stretch of it there.
#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

#include "aaf/AafDatabase.h"
#include "aaf/SlotRing.h"

namespace tervalo {

namespace {

// Below this much text a walk is over before a second thread would have started.
constexpr std::size_t kSharedWalkText = 256 * 1024;
// Records are handed over this many at a time, so that the handing costs little per record,
// while a few batches stay small enough to be parsed and read again from the cache.
constexpr std::size_t kBatchRecords = 64;
constexpr std::size_t kBatchesAhead = 4;

// Stretches of about this much text are parsed and written at a time; a few of them stay small
// enough to be read again from the cache, and the handing over happens a few hundred times
// for a large file, not once per record.
constexpr std::size_t kFormStretchText = 128 * 1024;
constexpr std::size_t kFormedAhead = 3;
// A walk that lets its text go does so in steps of this much.
constexpr std::size_t kReleasedAtOnce = 2 << 20;

struct RecordBatch {
    std::array<AafRecord, kBatchRecords> Records;
    std::array<std::size_t, kBatchRecords> Cursors{};
    std::size_t Count = 0;
    bool Last = false;  // the text has no record behind this batch
};

// One record of a written stretch.
struct FormedRecord {
    std::size_t Cursor = 0;
    std::size_t End = 0;          // of its text among the stretch's bytes
    bool GregorianBefore = true;  // the calendar in force before it
};

// The texts of a stretch's records, one behind the other.
struct FormedStretch {
    std::vector<char> Bytes;
    std::size_t Used = 0;
    std::vector<FormedRecord> Records;
};

}  // namespace

bool AafDatabase::FormRecords(RecordForm form,
                              const std::function<bool(std::string_view text)>& take,
                              WalkedText walked) {
    if (CursorOffset == kNoCursor) return true;
    // However the walk ends, a text that was let go in part is let go whole.
    struct ReleaseGuard {
        AafDatabase& Database;
        bool Releases;
        ~ReleaseGuard() {
            if (Releases) Database.Reset();
        }
    } release{*this, walked == WalkedText::Released};
    const std::string_view text = Buffer.View();
    const std::vector<Stretch> stretches =
        SplitIntoStretches(text, CursorOffset, Gregorian, kFormStretchText);
    const std::size_t count = stretches.size();

    const auto formStretch = [text, form, &stretches](std::size_t index, AafRecord& record,
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
            const bool gregorianBefore = record.Gregorian;
            const std::size_t bound = ParseRecordAt(text, cursor, record);
            stretch.Used += form(record, stretch.Bytes.data() + stretch.Used);
            stretch.Records.push_back({cursor, stretch.Used, gregorianBefore});
            cursor = NextCursor(text, cursor, bound);
        }
    };

    // The second thread forms every other stretch, from the second on.
    SlotRing<FormedStretch, kFormedAhead> formed;
    const bool shared = count > 1 && formed.Start([&](auto& ring) {
        AafRecord record;
        for (std::size_t index = 1; index < count; index += 2) {
            FormedStretch* stretch = ring.WaitToFill();
            if (stretch == nullptr) return;
            formStretch(index, record, *stretch);
            ring.Fill();
        }
    });

    // The database ends on the record taken last, parsed as a plain walk parses it.
    const auto endOn = [this](const FormedRecord& record) {
        Gregorian = record.GregorianBefore;
        CursorOffset = record.Cursor;
        ParseRecord();
    };
    FormedStretch own;
    AafRecord ownRecord;
    FormedRecord last;
    std::size_t released = 0;
    for (std::size_t index = 0; index < count; ++index) {
        const bool helped = shared && index % 2 == 1;
        if (!helped) formStretch(index, ownRecord, own);
        const FormedStretch& stretch = helped ? formed.WaitToTake() : own;
        std::size_t from = 0;
        for (const FormedRecord& record : stretch.Records) {
            last = record;
            if (!take(std::string_view(stretch.Bytes.data() + from, record.End - from))) {
                endOn(last);
                return false;
            }
            from = record.End;
        }
        if (helped) formed.Take();
        // Both threads are done with the text before the next stretch. It goes a few
        // megabytes at a time: each time is a system call.
        if (release.Releases && index + 1 < count &&
            stretches[index + 1].First - released >= kReleasedAtOnce) {
            released = stretches[index + 1].First;
            Buffer.Discard(0, released);
        }
    }
    endOn(last);
    return true;
}

bool AafDatabase::WalkRecords(const std::function<bool(const AafRecord&)>& visit) {
    if (CursorOffset == kNoCursor) return true;
    const std::string_view text = Buffer.View();
    SlotRing<RecordBatch, kBatchesAhead> parsed;
    const bool shared =
        text.size() - std::min(CursorOffset, text.size()) > kSharedWalkText &&
        parsed.Start([text, cursor = CursorOffset, gregorian = Gregorian](auto& ring) mutable {
            for (;;) {
                RecordBatch* batch = ring.WaitToFill();
                if (batch == nullptr) return;
                batch->Count = 0;
                batch->Last = false;
                while (batch->Count < kBatchRecords && !batch->Last) {
                    // A record without a date keeps the calendar of the one
                    // before it, not of the one this slot held last.
                    AafRecord& record = batch->Records[batch->Count];
                    record.Gregorian = gregorian;
                    const std::size_t bound = ParseRecordAt(text, cursor, record);
                    gregorian = record.Gregorian;
                    batch->Cursors[batch->Count++] = cursor;
                    cursor = NextCursor(text, cursor, bound);
                    batch->Last = cursor == kNoCursor;
                }
                const bool last = batch->Last;
                ring.Fill();
                if (last) return;
            }
        });
    if (!shared) return VisitEachRecord(*this, visit);

    // The database takes on the record visited last, so that it ends as a plain walk does.
    const auto endOn = [this](const RecordBatch& batch, std::size_t index) {
        static_cast<AafRecord&>(*this) = batch.Records[index];
        CursorOffset = batch.Cursors[index];
        ParsedAt = kNoCursor;
    };
    for (;;) {
        const RecordBatch& batch = parsed.WaitToTake();
        for (std::size_t index = 0; index < batch.Count; ++index) {
            if (!visit(batch.Records[index])) {
                endOn(batch, index);
                return false;
            }
        }
        if (batch.Last) {
            endOn(batch, batch.Count - 1);
            return true;
        }
        parsed.Take();
    }
}

}  // namespace tervalo
