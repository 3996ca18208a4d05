// Converting an AAF text a stretch at a time on two threads: each parses and writes every
// other stretch, and the caller takes the texts in order.
#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

#include "core/StretchWalk.h"
#include "formats/AafDatabase.h"

namespace tervalo {

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

}  // namespace tervalo
