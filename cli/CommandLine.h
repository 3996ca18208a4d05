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
    std::string Error;  // empty when the arguments are usable
};

CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The folder with exactly one path separator at its end.
std::string OutputPrefixOfFolder(const std::string& folder);

extern const char* const kUsage;

}  // namespace tervalo
