// QckDatabase: loading and saving the text, and the cursor's moves over it.
#include "formats/QckDatabase.h"

#include "formats/QckColumns.h"

namespace tervalo {

QckDatabase::QckDatabase() {
    ClearRecord();
}

void QckDatabase::Reset() {
    Buffer.Clear();
    CursorOffset = kNoCursor;
}

void QckDatabase::ClearRecord() {
    static_cast<ChartRecord&>(*this) = ChartRecord{};
    Gender = 'M';  // QCK has no gender column; its charts default to male, unlike AAF's '*'
}

bool QckDatabase::LoadFromFile(const std::string& path) {
    LoadError = path.empty() ? LoadFailure::NoPath : Buffer.LoadFile(path);
    if (LoadError == LoadFailure::ShortOrTiny) CursorOffset = kNoCursor;  // the text is emptied
    if (LoadError != LoadFailure::None) return false;
    const std::size_t length = Buffer.Length();
    if (length > 0 && Buffer.Data()[length - 1] == '\n') Buffer.CutTrailingEmptyLines();
    CursorOffset = 0;
    LoadError = LoadFailure::None;
    return true;
}

bool QckDatabase::NextRecord() {
    const std::size_t length = Buffer.Length();
    if (CursorOffset == kNoCursor || CursorOffset >= length) return false;
    const std::size_t end = FindLineEnd(Buffer.Data(), CursorOffset, length);
    if (end >= length || end + 1 >= length) return false;
    CursorOffset = end + 1;
    return true;
}

bool QckDatabase::SaveToFile(const std::string& path) {
    if (Buffer.Length() < 5 || path.empty()) return false;
    Buffer.CutTrailingEmptyLines();
    return Buffer.SaveFile(path);
}

}  // namespace tervalo
