// Walking an AAF text record by record, parsing ahead on a second thread, or parsing and
// writing every other stretch of it there.
#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

#include "core/SlotRing.h"
#include "core/StretchWalk.h"
#include "formats/AafDatabase.h"

namespace tervalo {

namespace {

// Below this much text a walk is over before a second thread would have started.
constexpr std::size_t kSharedWalkText = 256 * 1024;
// Records are handed over this many at a time, so that the handing costs little per record,
// while a few batches stay small enough to be parsed and read again from the cache.
constexpr std::size_t kBatchRecords = 64;
constexpr std::size_t kBatchesAhead = 4;

struct RecordBatch {
    std::array<AafRecord, kBatchRecords> Records;
    std::array<std::size_t, kBatchRecords> Cursors{};
    std::size_t Count = 0;
    bool Last = false;  // the text has no record behind this batch
};

}  // namespace

bool AafDatabase::ConvertRecords(ChartTextWriter form,
                                 const std::function<bool(std::string_view text)>& take,
                                 WalkedText walked) {
    if (CursorOffset == kNoCursor) return true;
    TextRelease<AafDatabase> release(*this, Buffer, walked);
    const std::string_view text = Buffer.View();
    TakenRecord last{CursorOffset, Gregorian};
    const bool completed = ConvertStretches(
        SplitIntoStretches(text, CursorOffset, Gregorian, kStretchText),
        [text](std::size_t cursor, AafRecord& record) {
            return NextCursor(text, cursor, ParseRecordAt(text, cursor, record));
        },
        form, take, [&release](std::size_t passed) { release.Passed(passed); }, last);
    // The database ends on the record taken last, parsed as a plain walk parses it.
    Gregorian = last.GregorianBefore;
    CursorOffset = last.Cursor;
    ParseRecord();
    return completed;
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
