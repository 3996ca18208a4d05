// Per-chart output files of the HOR and SZK writers: folder, de-duplicated paths, whole writes.
#include "formats/ChartFileWriter.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <unordered_map>

#include "core/Platform.h"
#include "formats/FoldChartName.h"

namespace tervalo {

namespace {

constexpr std::string_view kNamelessBase = "Nevtelen";

bool EnsureFolder(const std::string& folder) {
    std::error_code error;
    const std::filesystem::path path = PathFromUtf8(folder);
    if (std::filesystem::is_directory(path, error)) return true;
    // One level only: a missing parent means the path is wrong, not that a tree is wanted.
    std::filesystem::create_directory(path, error);
    return !error && std::filesystem::is_directory(path, error);
}

// One open, one write, one close. A file that didn't get the whole text is deleted, so that no
// chart program finds half a chart.
bool WriteChartFile(const std::string& path, std::string_view text) {
    std::FILE* file = OpenFile(path, "wb");
    if (file == nullptr) return false;
    // The text goes out in one piece; a stdio buffer would only copy it once more.
    std::setvbuf(file, nullptr, _IONBF, 0);
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool closed = std::fclose(file) == 0;
    if (written && closed) return true;
    RemoveFile(path);
    return false;
}

// Gives each chart of one save its own path: a later chart whose name folds to the same base
// gets " (2)", " (3)" and so on, instead of replacing the earlier chart's file. Folded names
// hold no parentheses, so a numbered path never meets another chart's plain one. A path the
// run holds taken (one of its inputs, or a file it wrote) is passed over the same way.
class ChartPaths {
public:
    ChartPaths(const std::string& folder, std::string_view extension, ChartFileClaims* claims)
        : Folder(WithTrailingSeparator(folder)), Extension(extension), Claims(claims) {}

    const std::string& Next(std::string_view lastName, std::string_view firstName) {
        const auto entry =
            LastNumberOfBase.try_emplace(ChartFileBase(lastName, firstName), 0).first;
        std::uint64_t& number = entry->second;
        do {
            ++number;
            Path.assign(Folder);
            Path.append(entry->first);
            if (number > 1) {
                Path.append(" (");
                AppendDecimal(Path, static_cast<std::int64_t>(number));
                Path.push_back(')');
            }
            Path.append(Extension);
        } while (Claims != nullptr && Claims->IsTaken(FileName()));
        return Path;
    }

    // The last path's name inside the folder.
    std::string_view FileName() const { return std::string_view(Path).substr(Folder.size()); }

private:
    std::string Folder;
    std::string_view Extension;
    ChartFileClaims* Claims;
    std::string Path;
    std::unordered_map<std::string, std::uint64_t> LastNumberOfBase;
};

}  // namespace

void AppendDecimal(std::string& out, std::int64_t value) {
    char digits[24];
    const std::to_chars_result result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, static_cast<std::size_t>(result.ptr - digits));
}

std::string ChartFileBase(std::string_view lastName, std::string_view firstName) {
    std::string name;
    name.reserve(lastName.size() + 1 + firstName.size());
    name.append(lastName);
    name.push_back(' ');
    name.append(firstName);
    std::string base = FoldChartName(name);
    const std::size_t first = base.find_first_not_of(' ');
    if (first == std::string::npos) return std::string(kNamelessBase);
    base.erase(base.find_last_not_of(' ') + 1);
    base.erase(0, first);
    return base;
}

bool SaveChartFiles(AafDatabase& database, const std::string& folder, std::string_view extension,
                    ChartTextFormatter format, WriteFailures* failures, ChartFileClaims* claims) {
    if (!database.HasCurrentRecord() || folder.empty()) return false;
    if (!EnsureFolder(folder)) return false;
    database.FirstRecord();
    if (!database.HasCurrentRecord()) return true;

    ChartPaths paths(folder, extension, claims);
    // One text for all charts: it grows to the longest chart once and is reused after that.
    std::string text;
    do {
        database.ParseRecord();
        const std::string& path =
            paths.Next(FieldText(database.LastName), FieldText(database.FirstName));
        (database.*format)(&text);
        if (WriteChartFile(path, text)) {
            if (claims != nullptr) claims->Written(paths.FileName());
        } else if (failures != nullptr) {
            failures->push_back(path);
        }
    } while (database.NextRecord());
    return true;
}

}  // namespace tervalo
