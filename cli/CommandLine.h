// Argument parsing of tervalo-convert.
#pragma once

#include <string>
#include <vector>

namespace tervalo {

struct CommandLine {
    int TargetIndex = -1;
    bool Combined = false;
    std::string OutputDir = ".";
    std::vector<std::string> Files;
    bool Help = false;
    bool Version = false;
    std::string Error;  // empty when the arguments are usable
};

CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The folder with exactly one path separator at its end.
std::string OutputPrefixOfFolder(const std::string& folder);

// Makes the output folder and any missing parents, as mkdir -p does. Empty when the folder is
// there; otherwise why it is not: "not a folder: DIR", or the system's reason.
std::string PrepareOutputFolder(const std::string& folder);

extern const char* const kUsage;
extern const char* const kVersionLine;

}  // namespace tervalo
