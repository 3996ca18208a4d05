// AafDatabase: loading, walking, parsing, formatting, appending and saving AAF text.
#include "aaf/AafDatabase.h"

namespace tervalo {

AafDatabase::AafDatabase() { ClearRecord(); }

void AafDatabase::AddCountries(const std::vector<std::string_view>& rows) {
    for (std::string_view row : rows) Countries.emplace_back(row);
}
std::string_view AafDatabase::LookupCountryCode(std::string_view) const { return {}; }
void AafDatabase::Reset() {
    Buffer.Clear();
    CursorOffset = kNoCursor;
}
void AafDatabase::ClearRecord() {
    static_cast<ChartRecord&>(*this) = ChartRecord{};
    Notes[0] = '\0';
}
bool AafDatabase::LoadFromFile(const std::string&) { return false; }
bool AafDatabase::SaveToFile(const std::string&) { return false; }
void AafDatabase::FirstRecord() {}
bool AafDatabase::NextRecord() { return false; }
void AafDatabase::ParseRecord() {}
char* AafDatabase::FormatRecord(char* out) { return out; }
bool AafDatabase::AppendRecord() { return false; }

}  // namespace tervalo
