// Test helpers: bytes compared, temporary folders, files, samples, the standard chart, run objects.
#include "TestSupport.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#ifdef _WIN32
#include <process.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "core/Platform.h"
#include "formats/CountryCodeTable.h"

namespace tervalo::test {

namespace {

// Commands go to the system's shell: cmd.exe takes UTF-16 and double quotes, sh takes UTF-8 and
// single quotes.
#ifdef _WIN32

int ProcessId() {
    return _getpid();
}

std::FILE* OpenCommand(const std::string& command) {
    // cmd.exe /c drops the first and the last quote of a line that starts with one; the outer
    // pair keeps the quotes of a quoted program path. Text mode gives the output's line ends
    // as LF, as on Linux.
    std::string line = "\"";
    line.append(command).push_back('"');
    return _wpopen(PathFromUtf8(line).c_str(), L"rt");
}

int CloseCommand(std::FILE* pipe) {
    return _pclose(pipe);
}

#else

int ProcessId() {
    return static_cast<int>(::getpid());
}

std::FILE* OpenCommand(const std::string& command) {
    return popen(command.c_str(), "r");
}

int CloseCommand(std::FILE* pipe) {
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif

}  // namespace

std::string Printable(std::string_view bytes) {
    std::string shown;
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r') {
            shown += "\\r";
        } else if (c == '\n') {
            shown += "\\n";
        } else if (c == '\\') {
            shown += "\\\\";
        } else if (byte < 0x20 || byte >= 0x7F) {
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 15];
        } else {
            shown += c;
        }
    }
    return shown;
}

::testing::AssertionResult BytesEqual(std::string_view actual, std::string_view expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    const std::size_t from = at > 24 ? at - 24 : 0;
    std::ostringstream message;
    message << "bytes differ at offset " << at << " (actual " << actual.size()
            << " bytes, expected " << expected.size() << ")\n"
            << "  actual:   ..." << Printable(actual.substr(from, 64)) << "\n"
            << "  expected: ..." << Printable(expected.substr(from, 64)) << "\n";
    if (at < actual.size() && at < expected.size()) {
        message << "  byte " << at << ": actual 0x" << std::hex
                << int(static_cast<unsigned char>(actual[at])) << ", expected 0x"
                << int(static_cast<unsigned char>(expected[at]));
    }
    return ::testing::AssertionFailure() << message.str();
}

TempDir::TempDir() {
    static std::atomic<unsigned> sequence{0};
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        Root = base / ("tervalo-test-" + std::to_string(ProcessId()) + "-" +
                       std::to_string(sequence++) + "-" + std::to_string(random() % 100000));
        if (std::filesystem::create_directory(Root)) break;
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(Root, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(Root, ignored);
}

std::string TempDir::File(std::string_view name) const {
    return Utf8FromPath(Root / PathFromUtf8(name));
}

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) ADD_FAILURE() << "could not write " << path;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "could not read " << path;
        return {};
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> NamesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(Utf8FromPath(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

CommandResult RunCommand(const std::string& command) {
    CommandResult result;
    std::FILE* pipe = OpenCommand(command);
    if (pipe == nullptr) return result;
    char chunk[4096];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        result.Output.append(chunk, got);
    result.ExitCode = CloseCommand(pipe);
    return result;
}

#ifdef _WIN32

std::string ShellQuoted(std::string_view text) {
    // A Windows name holds no double quote.
    std::string quoted = "\"";
    quoted.append(text).push_back('"');
    return quoted;
}

bool PythonHasModule(const char*) {
    // The machine's Python is a Linux program, out of reach of a Windows test under Wine.
    return false;
}

#else

std::string ShellQuoted(std::string_view text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

bool PythonHasModule(const char* module) {
    return RunCommand(std::string("python3 -c 'import ") + module + "' 2>/dev/null").ExitCode == 0;
}

#endif

std::vector<std::vector<std::string>> ReadCsvWithPython(const std::string& path) {
    // Each field comes back as hex, so that every byte survives the pipe unchanged.
    const CommandResult read = RunCommand(
        "python3 -c \"import csv, sys\n"
        "with open(sys.argv[1], newline='', encoding='latin-1') as f:\n"
        "    for row in csv.reader(f):\n"
        "        print(*[field.encode('latin-1').hex() for field in row], sep=':')\" " +
        ShellQuoted(path));
    std::vector<std::vector<std::string>> rows;
    if (read.ExitCode != 0) return rows;
    const std::string& output = read.Output;
    for (std::size_t from = 0; from < output.size();) {
        const std::size_t lineEnd = output.find('\n', from);
        const std::string rowText = output.substr(from, lineEnd - from);
        from = lineEnd == std::string::npos ? output.size() : lineEnd + 1;
        std::vector<std::string>& row = rows.emplace_back();
        for (std::size_t at = 0;;) {
            const std::size_t colon = rowText.find(':', at);
            const std::string hex = rowText.substr(at, colon - at);
            std::string& field = row.emplace_back();
            for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
                field.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
            if (colon == std::string::npos) break;
            at = colon + 1;
        }
    }
    return rows;
}

std::string MixedAafText(std::size_t size, unsigned seed) {
    const std::vector<std::string> shapes = {
        "#A93:Kiss,Anna,F,01.02.1950g,10:20,Pecs,H\r\n#B93:*,46N05,18E14,1he00,0\r\n\r\n",
        // A bound without its colon is no record of its own, but ends the one before.
        "#A93:Nagy,Bela,M,03.04.1960g,11:30,Gyor,H\r\n#A93Nagy\r\n\r\n",
        // The location line stands behind a record that follows at once.
        "#A93:Toth,,*,,,Szeged,H\r\n#A93:Szabo,Eva,F,5.6.1970,12h,Eger,H\r\n"
        "#B93:*,47N54,20E22,1he00,1\r\n\r\n",
        "#A93:Long,Notes,M,07.08.1980g,13:40,Wien,Austria\r\n#B93:*,48N12,16E22,1he00,0\r\n#" +
            std::string(5000, 'n') + "\r\n\r\n",
        "#A93:#A93:Twice,,,,\r\n\r\n",
        "#A93:Bare\r\n",
        // A Julian date: the records without a date behind it keep its calendar.
        "#A93:Caesar,Julius,M,15.03.1500j,12:00,Roma,I\r\n#B93:*,41N54,12E29,1he00,0\r\n\r\n",
    };
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < size)
        text += shapes[random() % shapes.size()];
    return text;
}

std::string AafChart(std::string_view lastName, int day) {
    return "#A93:" + std::string(lastName) + ",Janos,M," + (day < 10 ? "0" : "") +
           std::to_string(day) + ".03.1950g,14:30,Budapest,H\r\n#B93:*,47N30,19E05,1he00,0\r\n\r\n";
}

std::string AafCharts(std::string_view prefix, int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += AafChart(std::string(prefix) + std::to_string(i), 1 + i % 28);
    return text;
}

void SetKovacs(AafDatabase& chart) {
    chart.ClearRecord();
    SetFieldText(chart.LastName, "Kovacs");
    SetFieldText(chart.FirstName, "Janos");
    chart.Gender = 'M';
    chart.Year = 1975;
    chart.Month = 3;
    chart.Day = 7;
    chart.Time = 14.5;
    chart.TimeZone = -1;
    SetFieldText(chart.Place, "Budapest");
    SetFieldText(chart.Country, "H");
    chart.Latitude = 47.5;
    chart.Longitude = 19.0833333;
}

AafRecord CleanKovacs() {
    AafRecord chart;
    SetFieldText(chart.LastName,
                 "Kov\xE1"
                 "cs");
    SetFieldText(chart.FirstName, "J\xE1nos");
    SetFieldText(chart.Place, "Budapest");
    SetFieldText(chart.Country, "Magyarorsz\xE1g");
    chart.Year = 1950;
    chart.Month = 3;
    chart.Day = 15;
    chart.Time = 14.5;
    chart.Latitude = 47.5;
    chart.Longitude = 19.25;
    chart.TimeZone = -1;
    chart.Gender = 'M';
    return chart;
}

RunObjects::RunObjects() {
    OutputAaf.AddCountries(CountryCodeRows());
}

RunReport RunObjects::Convert(std::vector<std::string> entries, int target, bool combined,
                              const std::string& programFolder, ProgressSink& sink,
                              RunEffects& effects) {
    RunRequest request;
    request.Entries = std::move(entries);
    request.TargetIndex = target;
    request.ModeIndex = combined ? 1 : 0;
    request.ExecutablePath = programFolder + "/tervalo";
    request.WriteReport = WriteReport;
    return ConversionRun(request, Abort, sink, effects, Databases, [] { return kFixedNow; });
}

std::filesystem::path SamplesDir() {
    std::filesystem::path dir = TERVALO_SAMPLES_DIR;
    std::error_code error;
    if (!std::filesystem::is_directory(dir, error)) return {};
    return std::filesystem::weakly_canonical(dir, error);
}

}  // namespace tervalo::test
