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

void AppendReportLine(std::string& line, FindingKind kind, std::string_view file,
                      std::uint32_t chart, std::uint32_t lineNumber, std::string_view name,
                      ChartField field, std::string_view detail) {
    AppendCell(line, file);
    line.push_back('\t');
    AppendNumberCell(line, chart);
    line.push_back('\t');
    AppendNumberCell(line, lineNumber);
    line.push_back('\t');
    AppendCell(line, name);
    line.push_back('\t');
    line += FindingKindText(kind);
    line.push_back('\t');
    AppendFindingCell(line, field, detail);
}

void AppendReportLine(std::string& line, const Finding& finding) {
    AppendReportLine(line, finding.Kind, finding.File, finding.Chart, finding.Line, finding.Name,
                     finding.Field, finding.Detail);
}

// Lines are gathered into blocks of this size, which go out unbuffered.
constexpr std::size_t kBlockSize = 1 << 16;

}  // namespace

std::string_view FindingKindText(FindingKind kind) {
    return kFindingKindTexts[static_cast<std::size_t>(kind)];
}

std::string_view ChartFieldName(ChartField field) {
    return kChartFieldNames[static_cast<std::size_t>(field)];
}

std::string ReportName(const ChartRecord& chart) {
    std::string name;
    AppendReportName(name, chart);
    return name;
}

void AppendReportName(std::string& out, const ChartRecord& chart) {
    AppendReportName(out, FieldText(chart.LastName), FieldText(chart.FirstName));
}

void AppendReportName(std::string& out, std::string_view lastName, std::string_view firstName) {
    const std::size_t start = out.size();
    AppendUtf8FromWindows1250(out, lastName);
    const std::string_view given = GivenNames(firstName);
    if (!given.empty()) {
        if (out.size() != start) out.push_back(' ');
        AppendUtf8FromWindows1250(out, given);
    }
}

void AppendNameCell(std::string& out, const ChartRecord& chart) {
    // The name formed in place, then made a cell as AppendCell makes one.
    const std::size_t start = out.size();
    AppendReportName(out, chart);
    for (std::size_t at = start; at < out.size(); ++at) {
        if (out[at] == '\t' || out[at] == '\r' || out[at] == '\n') out[at] = ' ';
    }
    if (out.size() > start &&
        (out[start] == '=' || out[start] == '+' || out[start] == '-' || out[start] == '@'))
        out.insert(out.begin() + static_cast<std::ptrdiff_t>(start), '\'');
}

void AppendFindingCell(std::string& out, ChartField field, std::string_view detail) {
    const std::string_view fieldName = ChartFieldName(field);
    if (fieldName.empty()) {
        AppendCell(out, detail);
        return;
    }
    out += fieldName;
    if (!detail.empty()) {
        out += ": ";
        AppendCell(out, detail);
    }
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

std::uint64_t FindingTally::Total() const {
    std::uint64_t total = 0;
    for (const std::uint64_t count : Kinds)
        total += count;
    return total;
}

FindingLog::FindingLog(ReportPlace place) : Place(std::move(place)) {}

FindingLog::~FindingLog() {
    Close(false);
}

void FindingLog::Open() {
    Asked = true;
    Path = Place ? Place() : std::string();
    if (Path.empty()) return;
    File = OpenFile(Path, "wb");
    if (File == nullptr) {
        Failed = true;
        return;
    }
    std::setvbuf(File, nullptr, _IONBF, 0);
    Block.reserve(kBlockSize + 1024);
    Block += kByteOrderMark;
    Block += kHeader;
    Block += kLineEnd;
}

void FindingLog::Flush() {
    if (File != nullptr && !Failed)
        Failed = std::fwrite(Block.data(), 1, Block.size(), File) != Block.size();
    Block.clear();
}

void FindingLog::Close(bool keep) {
    if (File == nullptr) return;
    const bool closed = std::fclose(File) == 0;
    File = nullptr;
    Failed = Failed || !closed;
    if (!keep || Failed) RemoveFile(Path);
}

void FindingLog::Count(FindingKind kind, std::string_view file, std::uint32_t chart) {
    if (!Asked) Open();
    ++Counted.Kinds[static_cast<std::size_t>(kind)];
    // A chart's findings stand together, one after the other.
    if (chart != 0 && (chart != LastChart || file != LastFile)) {
        ++Counted.Charts;
        LastChart = chart;
        if (file != LastFile) {
            LastFile = file;
            FileCell.clear();
            AppendCell(FileCell, file);
        }
    }
}

void FindingLog::AppendLineStart(std::string_view file, std::uint32_t chart, std::uint32_t line) {
    if (file == LastFile) {
        Block += FileCell;
    } else {
        AppendCell(Block, file);
    }
    Block.push_back('\t');
    AppendNumberCell(Block, chart);
    Block.push_back('\t');
    AppendNumberCell(Block, line);
    Block.push_back('\t');
}

void FindingLog::Add(FindingKind kind, std::string_view file, std::uint32_t chart,
                     std::uint32_t line, std::string_view name, ChartField field,
                     std::string_view detail) {
    Count(kind, file, chart);
    if (KeptFindings.size() < kKeptFindings) {
        KeptFindings.push_back(
            {kind, std::string(file), chart, line, std::string(name), field, std::string(detail)});
    }
    if (File == nullptr) return;
    AppendLineStart(file, chart, line);
    AppendCell(Block, name);
    Block.push_back('\t');
    Block += FindingKindText(kind);
    Block.push_back('\t');
    AppendFindingCell(Block, field, detail);
    Block += kLineEnd;
    if (Block.size() >= kBlockSize) Flush();
}

void FindingLog::AddFormed(FindingKind kind, std::string_view file, std::uint32_t chart,
                           std::uint32_t line, std::string_view nameCell,
                           std::string_view findingCell) {
    Count(kind, file, chart);
    if (File == nullptr) return;
    const std::string_view kindText = FindingKindText(kind);
    if (file != LastFile) {  // a file-level finding: Count left the file's cell as it was
        AppendLineStart(file, chart, line);
        Block += nameCell;
        Block.push_back('\t');
        Block += kindText;
        Block.push_back('\t');
        Block += findingCell;
        Block += kLineEnd;
        if (Block.size() >= kBlockSize) Flush();
        return;
    }
    // The cells were formed already: the line's room is taken at once and they are copied in.
    constexpr std::size_t kNumbersAndSeparators = 2 * 10 + 5 + 2;
    const std::size_t start = Block.size();
    Block.resize(start + FileCell.size() + nameCell.size() + kindText.size() + findingCell.size() +
                 kNumbersAndSeparators);
    char* out = Block.data() + start;
    const auto put = [&out](std::string_view text) {
        std::memcpy(out, text.data(), text.size());
        out += text.size();
    };
    const auto putNumber = [&out](std::uint32_t number) {
        if (number != 0) out = std::to_chars(out, out + 10, number).ptr;
    };
    put(FileCell);  // Count made it when the file changed
    *out++ = '\t';
    putNumber(chart);
    *out++ = '\t';
    putNumber(line);
    *out++ = '\t';
    put(nameCell);
    *out++ = '\t';
    put(kindText);
    *out++ = '\t';
    put(findingCell);
    put(kLineEnd);
    Block.resize(static_cast<std::size_t>(out - Block.data()));
    if (Block.size() >= kBlockSize) Flush();
}

void FindingLog::Add(const Finding& finding) {
    Add(finding.Kind, finding.File, finding.Chart, finding.Line, finding.Name, finding.Field,
        finding.Detail);
}

bool FindingLog::Finish() {
    if (File == nullptr) return false;
    Flush();
    Close(true);
    return !Failed;
}

bool WriteReportFile(const std::string& utf8Path, const std::vector<Finding>& findings) {
    FindingLog log([&utf8Path] { return utf8Path; });
    for (const Finding& finding : findings)
        log.Add(finding);
    return log.Finish();
}

std::string FindingCounts(const FindingTally& tally) {
    std::string text;
    for (std::size_t kind = 0; kind < tally.Kinds.size(); ++kind) {
        if (tally.Kinds[kind] == 0) continue;
        if (!text.empty()) text += ", ";
        text += kFindingKindTexts[kind];
        text += ": ";
        text += std::to_string(tally.Kinds[kind]);
    }
    return text;
}

}  // namespace tervalo
