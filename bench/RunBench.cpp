// tervalo-bench: times whole conversions by tervalo-convert against `cp` of the same input,
// with each child's processor times, page faults and peak memory, at two sizes so that growth
// can be read off. Folders of HOR and SZK chart files and CSV files are made from the generated
// AAF of the same size by the first build's tervalo-convert, and the folders are read back file
// by file, each file an argument, beside `cp -r` of the folder.
//
//   tervalo-bench [--charts N[,N...]] [--repeat R] [--only NAME] [--convert [LABEL=]PATH]...
//                 [WORK_FOLDER]
//
// Every figure is the best of R runs (default 3); `cp` is measured in the same run as the floor.
// Several --convert builds (say, before and after a change) are run in turn, one run of each
// after the other, so that a busy machine weighs on all of them alike.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Measurement {
    double Seconds = 0;
    double UserSeconds = 0;
    double SystemSeconds = 0;
    long PageFaults = 0;
    double PeakMiB = 0;
    int ExitCode = -1;
};

double Seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// Runs a command (no shell), in `folder` when one is given, and reports its wall time and what
// the child alone used: processor time in user and system mode, page faults, peak resident
// memory.
Measurement RunOnce(const std::vector<std::string>& command, const fs::path& folder = {}) {
    std::vector<char*> argv;
    for (const std::string& argument : command)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", 1, 0);  // O_WRONLY
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 1, 0);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    Measurement measurement;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return measurement;
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    measurement.Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    measurement.UserSeconds = Seconds(usage.ru_utime);
    measurement.SystemSeconds = Seconds(usage.ru_stime);
    measurement.PageFaults = usage.ru_minflt + usage.ru_majflt;
    measurement.PeakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    measurement.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    posix_spawn_file_actions_destroy(&actions);
    return measurement;
}

void Clean(const fs::path& folder) {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    fs::create_directories(folder, ignored);
}

// The best (fastest) of `repeat` runs of each command, the commands taking turns; all of them
// run in `folder` when one is given.
std::vector<Measurement> BestInTurn(const std::vector<std::vector<std::string>>& commands,
                                    int repeat, const fs::path& clean, const fs::path& folder) {
    std::vector<Measurement> best(commands.size());
    for (Measurement& measurement : best)
        measurement.Seconds = 1e9;
    for (int i = 0; i < repeat; ++i) {
        for (std::size_t c = 0; c < commands.size(); ++c) {
            Clean(clean);
            const Measurement run = RunOnce(commands[c], folder);
            if (run.Seconds < best[c].Seconds) best[c] = run;
        }
    }
    return best;
}

// A build of tervalo-convert to measure, with the label its rows carry.
struct Build {
    std::string Label;
    std::string Path;
};

struct Scenario {
    const char* Name;
    const char* InputKind;  // generator format, or "hor", "szk", "csv" made from the AAF
    const char* Target;
    bool Combined;
    bool Large;  // also at the largest size (per-chart files are measured at the first only)
};

constexpr Scenario kScenarios[] = {
    {"aaf-to-aaf", "aaf", "aaf", false, true},
    {"aaf-to-aaf-combined", "aaf", "aaf", true, true},
    {"utf8-aaf-to-aaf", "aaf-utf8", "aaf", false, true},
    {"qck-to-qck", "qck", "qck", false, true},
    {"qck-to-aaf", "qck", "aaf", false, true},
    {"aaf-to-qck", "aaf", "qck", false, true},
    {"aaf-to-csv", "aaf", "csv", false, true},
    {"aaf-to-num", "aaf", "num", false, true},
    {"aaf-to-hor", "aaf", "hor", false, false},
    {"aaf-to-szk", "aaf", "szk", false, false},
    {"csv-to-aaf", "csv", "aaf", false, true},
    {"hor-files-to-aaf", "hor", "aaf", false, false},
    {"hor-files-to-aaf-comb", "hor", "aaf", true, false},
    {"szk-files-to-aaf", "szk", "aaf", false, false},
    {"szk-files-to-aaf-comb", "szk", "aaf", true, false},
};

// The generated AAF of `charts` charts, made once.
fs::path GeneratedInput(const fs::path& work, const std::string& generate, const std::string& kind,
                        long charts) {
    const fs::path input =
        work / (kind + "-" + std::to_string(charts) + (kind == "qck" ? ".qck" : ".aaf"));
    if (!fs::exists(input)) RunOnce({generate, kind, std::to_string(charts), input.string()});
    return input;
}

// The input of a scenario: a generated database, or what `convert` makes of the generated AAF
// (a CSV file, or a folder of chart files), made once.
fs::path ScenarioInput(const fs::path& work, const std::string& generate,
                       const std::string& convert, const std::string& kind, long charts) {
    if (kind != "hor" && kind != "szk" && kind != "csv")
        return GeneratedInput(work, generate, kind, charts);
    const fs::path aaf = GeneratedInput(work, generate, "aaf", charts);
    const fs::path folder = work / (kind + "-" + std::to_string(charts));
    // The converter names its output after the input: a CSV file, or a folder of chart files.
    const fs::path input = folder / aaf.stem().concat(kind == "csv" ? ".csv" : "");
    if (!fs::exists(input))
        RunOnce({convert, "--target", kind, "--output-dir", folder.string(), aaf.string()});
    return input;
}

// Bytes in a file, or in all files of a folder.
std::uintmax_t InputBytes(const fs::path& input) {
    if (!fs::is_directory(input)) return fs::file_size(input);
    std::uintmax_t bytes = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(input))
        bytes += entry.file_size();
    return bytes;
}

// A folder's files by name, as they are given to tervalo-convert run inside it: short names keep
// a hundred thousand of them within what one command line may hold.
std::vector<std::string> FileNamesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The arguments of a command may take a quarter of the stack limit, up to 6 MiB: a hundred
// thousand file names need more than the usual 8 MiB limit allows.
void AllowLongCommandLines() {
    rlimit stack{};
    if (getrlimit(RLIMIT_STACK, &stack) != 0) return;
    constexpr rlim_t kWanted = rlim_t{32} << 20;
    if (stack.rlim_cur != RLIM_INFINITY && stack.rlim_cur < kWanted) {
        stack.rlim_cur =
            stack.rlim_max == RLIM_INFINITY ? kWanted : std::min(kWanted, stack.rlim_max);
        setrlimit(RLIMIT_STACK, &stack);
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    std::vector<long> sizes = {100000, 1000000};
    int repeat = 3;
    std::string only;
    std::vector<Build> builds;
    fs::path work = fs::temp_directory_path() / "tervalo-bench";
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--charts" && i + 1 < argc) {
            sizes.clear();
            std::string list = argv[++i];
            for (std::size_t at = 0; at < list.size();) {
                const std::size_t comma = std::min(list.find(',', at), list.size());
                sizes.push_back(std::strtol(list.substr(at, comma - at).c_str(), nullptr, 10));
                at = comma + 1;
            }
        } else if (argument == "--repeat" && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else if (argument == "--only" && i + 1 < argc) {
            only = argv[++i];
        } else if (argument == "--convert" && i + 1 < argc) {
            const std::string given = argv[++i];
            const std::size_t equals = given.find('=');
            builds.push_back(equals == std::string::npos
                                 ? Build{"build" + std::to_string(builds.size() + 1), given}
                                 : Build{given.substr(0, equals), given.substr(equals + 1)});
        } else {
            work = argument;
        }
    }
    const fs::path tools = fs::canonical("/proc/self/exe").parent_path();
    if (builds.empty())
        builds.push_back({"this", (tools.parent_path() / "tervalo-convert").string()});
    const std::string generate = (tools / "tervalo-generate").string();
    work = fs::absolute(work);
    fs::create_directories(work);
    AllowLongCommandLines();

    std::printf("%-22s %-6s %8s %8s %7s %6s %6s %7s %6s %6s %8s %9s\n", "scenario", "build",
                "charts", "input MB", "time s", "user s", "sys s", "faults", "cp s", "x cp",
                "peak MiB", "limit MiB");
    for (const long charts : sizes) {
        for (const Scenario& scenario : kScenarios) {
            if (!only.empty() && only != scenario.Name) continue;
            if (!scenario.Large && charts != sizes.front()) continue;
            const fs::path input =
                ScenarioInput(work, generate, builds.front().Path, scenario.InputKind, charts);
            const bool folderInput = fs::is_directory(input);
            const double inputMiB = static_cast<double>(InputBytes(input)) / (1024.0 * 1024.0);
            const fs::path out = work / "out";
            // The floor first, then every build, each run in turn. A folder is copied whole, and
            // converted from inside it with each of its files named.
            std::vector<std::vector<std::string>> commands = {
                folderInput
                    ? std::vector<std::string>{"/bin/cp", "-r", input.string(),
                                               (out / "copy").string()}
                    : std::vector<std::string>{"/bin/cp", input.string(), (out / "copy").string()}};
            const std::vector<std::string> inputs =
                folderInput ? FileNamesIn(input) : std::vector<std::string>{input.string()};
            for (const Build& build : builds) {
                std::vector<std::string> command = {build.Path, "--target", scenario.Target,
                                                    "--output-dir", out.string()};
                if (scenario.Combined) command.push_back("--combined");
                command.push_back("--");
                command.insert(command.end(), inputs.begin(), inputs.end());
                commands.push_back(command);
            }
            const std::vector<Measurement> best =
                BestInTurn(commands, repeat, out, folderInput ? input : fs::path());
            const Measurement& floor = best.front();
            for (std::size_t b = 0; b < builds.size(); ++b) {
                const Measurement& run = best[b + 1];
                std::printf(
                    "%-22s %-6s %8ld %8.1f %7.3f %6.2f %6.2f %7ld %6.3f %6.1f %8.1f %9.1f%s\n",
                    scenario.Name, builds[b].Label.c_str(), charts, inputMiB * 1.048576,
                    run.Seconds, run.UserSeconds, run.SystemSeconds, run.PageFaults, floor.Seconds,
                    run.Seconds / std::max(floor.Seconds, 1e-6), run.PeakMiB, 2.5 * inputMiB + 64.0,
                    run.ExitCode == 0 ? "" : "  (failed)");
                if (!scenario.Large) {
                    std::printf("%-22s %-6s %8s %.0f files per second\n", "", "", "",
                                static_cast<double>(charts) / run.Seconds);
                }
            }
            std::fflush(stdout);
        }
    }
    std::error_code ignored;
    fs::remove_all(work / "out", ignored);
    return 0;
}
