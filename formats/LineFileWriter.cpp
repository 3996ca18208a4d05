// Writing one line per record in large blocks, for the CSV and NUM outputs.
#include <cstdio>
#include <string>
#include <string_view>

#include "core/Platform.h"
#include "core/StretchWalk.h"
#include "formats/AafDatabase.h"

namespace tervalo {

namespace {

// Each stretch's lines are written with one call, so that writing costs less than forming them.
bool WriteBlock(std::FILE* file, std::string_view block) {
    return std::fwrite(block.data(), 1, block.size(), file) == block.size();
}

}  // namespace

bool AafDatabase::SaveLineFile(const std::string& path, ChartTextWriter formLine) {
    if (!HasCurrentRecord() || path.empty()) return false;
    FirstRecord();
    if (!HasCurrentRecord()) return false;
    std::FILE* file = OpenFile(path, "wb");
    if (file == nullptr) return false;
    // The blocks are large already; a stdio buffer would only copy them once more.
    std::setvbuf(file, nullptr, _IONBF, 0);

    // The lines are formed on two threads, a stretch of the text each in turn, as a run's walk
    // forms records, and written here in order.
    const std::string_view text = Buffer.View();
    bool written = true;
    TakenRecord last{CursorOffset, Gregorian};
    try {
        ConvertStretches(
            SplitIntoStretches(text, CursorOffset, Gregorian, kStretchText),
            [text](std::size_t cursor, AafRecord& record) {
                return NextCursor(text, cursor, ParseRecordAt(text, cursor, record));
            },
            formLine,
            [&](std::string_view lines, const TakenRecord&) {
                written = WriteBlock(file, lines);
                return written;
            },
            [](std::size_t) {}, last);
    } catch (...) {
        std::fclose(file);
        throw;
    }
    // The database ends on the record formed last, as a plain walk leaves it.
    Gregorian = last.GregorianBefore;
    CursorOffset = last.Cursor;
    ParseRecord();
    // Whatever was written before a failure stays in the file.
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

}  // namespace tervalo
