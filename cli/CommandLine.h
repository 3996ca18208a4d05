// Argument parsing of tervalo-convert.
#pragma once

#include <string>
#include <vector>

#include "run/ConversionRun.h"

namespace tervalo {

struct CommandLine {
    int TargetIndex = -1;
    bool Combined = false;
    std::string OutputDir = ".";
    std::vector<std::string> Files;
    std::string ReportPath;  // empty: "jelentes" and a clock number beside the outputs
    bool WriteReport = true;
    bool SkipDuplicates = false;
    bool Help = false;
    bool Version = false;
    std::string Error;  // empty when the arguments are usable
};

CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// What standard error says after a run with findings: where the report was written (or that it
// could not be), and a count per kind; empty when the run found nothing.
std::string FindingsSummary(const RunReport& report);

// The folder with exactly one path separator at its end.
std::string OutputPrefixOfFolder(const std::string& folder);

// Makes the output folder and any missing parents, as mkdir -p does. Empty when the folder is
// there; otherwise why it is not: "not a folder: DIR", or the system's reason.
std::string PrepareOutputFolder(const std::string& folder);

extern const char* const kUsage;
extern const char* const kVersionLine;

}  // namespace tervalo
