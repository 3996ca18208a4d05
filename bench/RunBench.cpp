// tervalo-bench: times whole conversions by tervalo-convert against `cp` of the same input,
// with each child's peak memory, at two sizes so that growth can be read off.
//
//   tervalo-bench [--charts N[,N...]] [--repeat R] [--only NAME] [WORK_FOLDER]
//
// Every figure is the best of R runs (default 3); `cp` is measured in the same run as the floor.
#include <spawn.h>
#include <sys/resource.h>
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
    double PeakMiB = 0;
    int ExitCode = -1;
};

// Runs a command (no shell) and reports its wall time and the child's peak resident memory.
Measurement RunOnce(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& argument : command)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", 1, 0);  // O_WRONLY
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 1, 0);
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
    measurement.PeakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    measurement.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    posix_spawn_file_actions_destroy(&actions);
    return measurement;
}

Measurement Best(const std::vector<std::string>& command, int repeat, const fs::path& clean) {
    Measurement best;
    best.Seconds = 1e9;
    for (int i = 0; i < repeat; ++i) {
        std::error_code ignored;
        fs::remove_all(clean, ignored);
        fs::create_directories(clean, ignored);
        const Measurement run = RunOnce(command);
        if (run.Seconds < best.Seconds) best = run;
    }
    return best;
}

struct Scenario {
    const char* Name;
    const char* InputKind;  // generator format
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
};

}  // namespace

int main(int argc, char* argv[]) {
    std::vector<long> sizes = {100000, 1000000};
    int repeat = 3;
    std::string only;
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
        } else {
            work = argument;
        }
    }
    const fs::path tools = fs::canonical("/proc/self/exe").parent_path();
    const std::string convert = (tools.parent_path() / "tervalo-convert").string();
    const std::string generate = (tools / "tervalo-generate").string();
    fs::create_directories(work);

    std::printf("%-20s %9s %8s %8s %7s %9s %9s %10s\n", "scenario", "charts", "input MB", "time s",
                "cp s", "x cp", "peak MiB", "limit MiB");
    for (const long charts : sizes) {
        for (const Scenario& scenario : kScenarios) {
            if (!only.empty() && only != scenario.Name) continue;
            if (!scenario.Large && charts != sizes.front()) continue;
            const std::string extension =
                std::string(scenario.InputKind) == "qck" ? ".qck" : ".aaf";
            const fs::path input =
                work / (std::string(scenario.InputKind) + "-" + std::to_string(charts) + extension);
            if (!fs::exists(input)) {
                RunOnce({generate, scenario.InputKind, std::to_string(charts), input.string()});
            }
            const double inputMiB = static_cast<double>(fs::file_size(input)) / (1024.0 * 1024.0);
            const fs::path out = work / "out";
            const Measurement floor =
                Best({"/bin/cp", input.string(), (out / "copy").string()}, repeat, out);
            std::vector<std::string> command = {convert, "--target", scenario.Target,
                                                "--output-dir", out.string()};
            if (scenario.Combined) command.push_back("--combined");
            command.push_back(input.string());
            const Measurement run = Best(command, repeat, out);
            std::printf("%-20s %9ld %8.1f %8.3f %7.3f %9.1f %9.1f %10.1f%s\n", scenario.Name,
                        charts, inputMiB * 1.048576, run.Seconds, floor.Seconds,
                        run.Seconds / std::max(floor.Seconds, 1e-6), run.PeakMiB,
                        2.5 * inputMiB + 64.0, run.ExitCode == 0 ? "" : "  (failed)");
            if (!scenario.Large) {
                std::printf("%-20s %9s %.0f files per second\n", "", "",
                            static_cast<double>(charts) / run.Seconds);
            }
            std::fflush(stdout);
        }
    }
    std::error_code ignored;
    fs::remove_all(work / "out", ignored);
    return 0;
}
