// Writing one line per record in large blocks, for the CSV and NUM outputs.
#include <cstdio>
#include <string>
#include <vector>

#include "aaf/AafDatabase.h"
#include "aaf/Platform.h"
#include "aaf/SlotRing.h"

namespace tervalo {

namespace {

// The records are formed into lines a stretch of about this much AAF text at a time, and each
// stretch's lines are written with one call, so that writing costs less than forming the lines.
constexpr std::size_t kStretchText = 256 * 1024;
// Room for the longest line of either output (four texts quoted with every byte doubled, or
// two names and full notes), beyond a stretch's lines.
constexpr std::size_t kLongestLine = 4 * (2 * kMaxTextLength + 2) + kNotesFieldSize + 256;
// How many stretches the second thread may have formed before they are written.
constexpr std::size_t kStretchesAhead = 4;

bool WriteBlock(std::FILE* file, const std::string& block) {
    return std::fwrite(block.data(), 1, block.size(), file) == block.size();
}

}  // namespace

bool AafDatabase::SaveRecordLines(const std::string& path, LineFormatter appendLine) {
    if (!HasCurrentRecord() || path.empty()) return false;
    FirstRecord();
    if (!HasCurrentRecord()) return false;
    std::FILE* file = OpenFile(path, "wb");
    if (file == nullptr) return false;
    // The blocks are large already; a stdio buffer would only copy them once more.
    std::setvbuf(file, nullptr, _IONBF, 0);

    const std::string_view text = Buffer.View();
    const std::vector<StretchStart> stretches =
        SplitIntoStretches(text, CursorOffset, Gregorian, kStretchText);

    // Forms a stretch's lines into `block`; `record` holds its last record afterwards.
    const auto formStretch = [text, appendLine, &stretches](std::size_t index, AafRecord& record,
                                                            std::string& block) -> std::size_t {
        block.clear();
        const std::size_t end =
            index + 1 < stretches.size() ? stretches[index + 1].First : kNoCursor;
        std::size_t cursor = stretches[index].First;
        record.Gregorian = stretches[index].Gregorian;
        for (;;) {
            const std::size_t bound = ParseRecordAt(text, cursor, record);
            appendLine(record, block);
            const std::size_t next = NextCursor(text, cursor, bound);
            if (next == kNoCursor || next >= end) return cursor;
            cursor = next;
        }
    };

    // With a second core, a second thread forms every other stretch, counted back from the
    // last, which this thread forms so that the database ends on its last record as a plain
    // walk would. This thread forms the rest and writes every block in order.
    const std::size_t count = stretches.size();
    const auto formedByHelper = [count](std::size_t index) { return (count - 1 - index) % 2 == 1; };
    SlotRing<std::string, kStretchesAhead> formed;
    const bool shared = count > 1 && formed.Start([&](auto& ring) {
        AafRecord record;
        for (std::size_t index = 0; index < count; ++index) {
            if (!formedByHelper(index)) continue;
            std::string* block = ring.WaitToFill();
            if (block == nullptr) return;
            formStretch(index, record, *block);
            ring.Fill();
        }
    });

    std::string ownBlock;
    ownBlock.reserve(kStretchText + kLongestLine);
    bool written = true;
    try {
        for (std::size_t index = 0; written && index < count; ++index) {
            if (!shared || !formedByHelper(index)) {
                CursorOffset = formStretch(index, *this, ownBlock);
                ParsedAt = kNoCursor;
                written = WriteBlock(file, ownBlock);
                continue;
            }
            written = WriteBlock(file, formed.WaitToTake());
            formed.Take();
        }
    } catch (...) {
        std::fclose(file);  // the ring stops and joins the second thread as it goes
        throw;
    }
    // Whatever was written before a failure stays in the file.
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

}  // namespace tervalo
