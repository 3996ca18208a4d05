// Findings of a run (what happened to each chart, and to each file) and the report file.
#include "run/ChartReport.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/ChartRecord.h"
#include "core/CodePage.h"
#include "core/Platform.h"

namespace tervalo {

namespace {

constexpr std::array<std::string_view, kFindingKindCount> kFindingKindTexts = {
    "javítva", "gyanús", "elveszett", "hasonló", "kihagyva", "nem írható"};

constexpr std::array<std::string_view, static_cast<std::size_t>(ChartField::None) + 1>
    kChartFieldNames = {
        "nap",     "hónap", "év",   "idő", "szélesség", "hosszúság", "időzóna", "nyári időszámítás",
        "jegyzet", "név",   "hely", "nem", ""};

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kHeader = "Fájl\tHoroszkóp\tSor\tNév\tMi történt\tRészlet";

// A value as one cell: tabs and line breaks would start another cell or row. A value that
// begins as a formula would (=, +, - or @) gets an apostrophe before it: Excel computes a
// formula it reads from a text file, and names and paths come from files of unknown origin.
void AppendCell(std::string& line, std::string_view value) {
    if (!value.empty() &&
        (value[0] == '=' || value[0] == '+' || value[0] == '-' || value[0] == '@'))
        line.push_back('\'');
    // Runs between the bytes replaced go in at once, and eight bytes with none below a carriage
    // return are passed over at once: a byte at a time costs more than the rest of the line.
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kHighs = 0x8080808080808080;
    std::size_t from = 0;
    std::size_t at = 0;
    while (at < value.size()) {
        if (value.size() - at >= 8) {
            std::uint64_t word;
            std::memcpy(&word, value.data() + at, 8);
            if (((word - kOnes * ('\r' + 1)) & ~word & kHighs) == 0) {
                at += 8;
                continue;
            }
        }
        const std::size_t stop = std::min(value.size(), at + 8);
        for (; at < stop; ++at) {
            const char c = value[at];
            if (c != '\t' && c != '\r' && c != '\n') continue;
            line.append(value.data() + from, at - from);
            line.push_back(' ');
            from = at + 1;
        }
    }
    line.append(value.data() + from, value.size() - from);
}

void AppendNumberCell(std::string& line, std::uint32_t number) {
    if (number == 0) return;
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, number);
    line.append(digits, result.ptr);
}

void AppendReportLine(std::string& line, const Finding& finding) {
    AppendCell(line, finding.File);
    line.push_back('\t');
    AppendNumberCell(line, finding.Chart);
    line.push_back('\t');
    AppendNumberCell(line, finding.Line);
    line.push_back('\t');
    AppendCell(line, finding.Name);
    line.push_back('\t');
    line += FindingKindText(finding.Kind);
    line.push_back('\t');
    const std::string_view field = ChartFieldName(finding.Field);
    if (field.empty()) {
        AppendCell(line, finding.Detail);
    } else {
        line += field;
        if (!finding.Detail.empty()) {
            line += ": ";
            AppendCell(line, finding.Detail);
        }
    }
}

}  // namespace

std::string_view FindingKindText(FindingKind kind) {
    return kFindingKindTexts[static_cast<std::size_t>(kind)];
}

std::string_view ChartFieldName(ChartField field) {
    return kChartFieldNames[static_cast<std::size_t>(field)];
}

std::string ReportName(const ChartRecord& chart) {
    std::string name = Utf8FromWindows1250(FieldText(chart.LastName));
    const std::string_view given = GivenNames(chart);
    if (!given.empty()) {
        if (!name.empty()) name.push_back(' ');
        name += Utf8FromWindows1250(given);
    }
    return name;
}

std::string EarlierChartDetail(std::string_view file, std::uint32_t chart) {
    std::string detail(file);
    detail += ", ";
    AppendNumberCell(detail, chart);
    detail += ". horoszkóp";
    return detail;
}

std::string ReportLine(const Finding& finding) {
    std::string line;
    line.reserve(finding.File.size() + finding.Name.size() + finding.Detail.size() + 48);
    AppendReportLine(line, finding);
    return line;
}

bool WriteReportFile(const std::string& utf8Path, const std::vector<Finding>& findings) {
    std::FILE* file = OpenFile(utf8Path, "wb");
    if (file == nullptr) return false;
    std::setvbuf(file, nullptr, _IONBF, 0);
    // Lines are gathered into blocks of their own, which go out unbuffered: a million findings
    // make some hundred megabytes.
    constexpr std::size_t kBlockSize = 1 << 16;
    std::string block;
    block.reserve(kBlockSize + 1024);
    bool written = true;
    const auto flush = [&] {
        written = written && std::fwrite(block.data(), 1, block.size(), file) == block.size();
        block.clear();
    };
    block += kByteOrderMark;
    block += kHeader;
    block += kLineEnd;
    for (const Finding& finding : findings) {
        AppendReportLine(block, finding);
        block += kLineEnd;
        if (block.size() >= kBlockSize) flush();
    }
    flush();
    const bool closed = std::fclose(file) == 0;
    if (!(written && closed)) RemoveFile(utf8Path);
    return written && closed;
}

std::string FindingCounts(const std::vector<Finding>& findings) {
    std::array<std::uint32_t, kFindingKindCount> counts{};
    for (const Finding& finding : findings)
        ++counts[static_cast<std::size_t>(finding.Kind)];
    std::string text;
    for (std::size_t kind = 0; kind < counts.size(); ++kind) {
        if (counts[kind] == 0) continue;
        if (!text.empty()) text += ", ";
        text += kFindingKindTexts[kind];
        text += ": ";
        AppendNumberCell(text, counts[kind]);
    }
    return text;
}

}  // namespace tervalo
