// Argument parsing of tervalo-convert.
#include "cli/CommandLine.h"

#include <array>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "core/Platform.h"

namespace tervalo {

namespace {

// Target names in the order of the window's target list.
constexpr std::array<std::string_view, 6> kTargetNames = {"aaf", "qck", "num", "csv", "hor", "szk"};

}  // namespace

const char* const kUsage =
    "usage: tervalo-convert --target aaf|qck|num|csv|hor|szk [--combined] [--output-dir DIR]\n"
    "                       [--report FILE | --no-report] [--skip-duplicates] FILE...\n"
    "       tervalo-convert -h|--help|--version\n"
    "\n"
    "Converts chart files to one target format: AAF (.aaf), QCK (.qck), Placidus and\n"
    "Morinus (.hor), Regiomontanus (.szk), CSV (.csv), Solar Fire (.sfcht) and\n"
    "Astro-Databank XML (.xml). One output per input file, or with --combined all charts\n"
    "into one output named \"egybe\" and a clock number. Placidus, Morinus and\n"
    "Regiomontanus charts go into one \"placidus\", \"morinus\" and \"regiomontanus\"\n"
    "output each.\n"
    "Outputs are written into DIR (default: the current folder), which is created with any\n"
    "missing parents.\n"
    "What happened to single charts (values bounded or replaced, values the target cannot\n"
    "hold, likely duplicates) goes into a tab-separated report, \"jelentes\" and a clock\n"
    "number with .txt, beside the outputs; standard error names it and counts the findings.\n"
    "\n"
    "  --report FILE      write the report to FILE instead\n"
    "  --no-report        write no report; the counts are still shown\n"
    "  --skip-duplicates  with --combined, keep the first of two likely duplicates and pass\n"
    "                     over the other; without --combined it changes nothing\n"
    "  -h, --help         show this text\n"
    "  --version          show the program's version\n"
    "\n"
    "Exit status: 0 success, 1 something was passed over or not written, 2 usage error or an\n"
    "output folder that can't be made, 3 stopped by Ctrl-C.\n";

const char* const kVersionLine = "tervalo-convert " TERVALO_VERSION "\n";

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            line.Files.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            line.Help = true;
        } else if (argument == "--version") {
            line.Version = true;
        } else if (argument == "--combined") {
            line.Combined = true;
        } else if (argument == "--no-report") {
            line.WriteReport = false;
        } else if (argument == "--skip-duplicates") {
            line.SkipDuplicates = true;
        } else if (argument == "--target" || argument == "--output-dir" || argument == "--report") {
            if (i + 1 == arguments.size()) {
                line.Error = argument + " needs a value";
                return line;
            }
            const std::string& value = arguments[++i];
            if (argument == "--output-dir") {
                line.OutputDir = value;
                continue;
            }
            if (argument == "--report") {
                if (value.empty()) {
                    line.Error = "--report is empty";
                    return line;
                }
                line.ReportPath = value;
                continue;
            }
            line.TargetIndex = -1;
            for (std::size_t t = 0; t < kTargetNames.size(); ++t) {
                if (value == kTargetNames[t]) line.TargetIndex = static_cast<int>(t);
            }
            if (line.TargetIndex < 0) {
                line.Error = "unknown target: " + value;
                return line;
            }
        } else {
            line.Error = "unknown option: " + argument;
            return line;
        }
    }
    if (line.Help || line.Version) return line;
    if (line.TargetIndex < 0) {
        line.Error = "--target is required";
    } else if (line.Files.empty()) {
        line.Error = "no input files";
    } else if (line.OutputDir.empty()) {
        line.Error = "--output-dir is empty";
    } else if (!line.WriteReport && !line.ReportPath.empty()) {
        line.Error = "--report and --no-report exclude each other";
    }
    return line;
}

std::string FindingsSummary(const RunReport& report) {
    if (report.Tally.Total() == 0) return {};
    std::string summary;
    if (report.ReportWritten) {
        summary = "tervalo-convert: report: " + report.ReportFile + "\n";
    } else if (!report.ReportFile.empty()) {
        summary = "tervalo-convert: report not written: " + report.ReportFile + "\n";
    }
    summary += "tervalo-convert: findings: " + FindingCounts(report.Tally) + "\n";
    return summary;
}

std::string OutputPrefixOfFolder(const std::string& folder) {
    std::string prefix = folder;
    while (prefix.size() > 1 && IsPathSeparator(prefix.back()))
        prefix.pop_back();
    return WithTrailingSeparator(prefix);
}

std::string PrepareOutputFolder(const std::string& folder) {
    const std::filesystem::path path = PathFromUtf8(folder);
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return {};
    // A name that is there already, as a file or a link to nowhere, is not for us to replace.
    if (std::filesystem::exists(std::filesystem::symlink_status(path, error))) {
        return "not a folder: " + folder;
    }
    std::filesystem::create_directories(path, error);
    if (error) return "cannot create folder " + folder + ": " + error.message();
    return {};
}

}  // namespace tervalo
