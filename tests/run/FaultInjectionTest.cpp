// Damaged, missing, odd and huge inputs and unwritable outputs, through whole runs: no crash,
// no input changed, nothing written outside the output folder, and the report says what
// happened.
#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "formats/AafDatabase.h"
#include "formats/QckDatabase.h"
#include "run/ConversionRun.h"

namespace tervalo {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

const std::string kChart = test::AafChart();

// Every regular file under a folder with its bytes, to see what a run changed.
std::map<std::string, std::string> Snapshot(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        if (item.is_regular_file() && item.file_size() < (1u << 20)) {
            files[item.path().string()] = ReadFile(item.path());
        }
    }
    return files;
}

class FaultInjectionTest : public ::testing::Test, protected test::RunObjects {
protected:
    FaultInjectionTest() {
        fs::create_directory(Dir.Path() / "in");
        fs::create_directory(Dir.Path() / "prog");
    }

    std::vector<ReportKind> KindsFor(const RunReport& report, const std::string& path) {
        std::vector<ReportKind> kinds;
        for (const ReportItem& item : report.Items) {
            if (item.Path == path) kinds.push_back(item.Kind);
        }
        return kinds;
    }

    TempDir Dir;
};

TEST_F(FaultInjectionTest, BadInputsArePassedOverAndNamedForEveryTarget) {
    const std::string in = (Dir.Path() / "in").string();
    WriteFile(in + "/good.aaf", kChart);
    WriteFile(in + "/empty.aaf", "");
    WriteFile(in + "/fifteen.qck", "123456789012345");
    WriteFile(in + "/junk.aaf", std::string("\x00\xFF\x01#A9\r\n\x7F", 10) + std::string(40, 'x'));
    WriteFile(in + "/short.hor", "PLACIDUS v4.0 Horoscope File");
    fs::create_directory(in + "/folder.aaf");
    fs::create_directory(in + "/folder.hor");
    const std::vector<std::string> bad = {
        in + "/empty.aaf",  in + "/fifteen.qck", in + "/junk.aaf",    in + "/short.hor",
        in + "/folder.aaf", in + "/folder.hor",  in + "/vanished.aaf"};  // listed, then gone
    std::vector<std::string> entries = bad;
    entries.push_back(in + "/good.aaf");
    std::sort(entries.begin(), entries.end());
    const auto inputsBefore = Snapshot(Dir.Path() / "in");

    for (int target = 0; target < kTargetCount; ++target) {
        for (const bool combined : {false, true}) {
            SCOPED_TRACE("target " + std::to_string(target) + (combined ? " combined" : ""));
            const RunReport report =
                Convert(entries, target, combined, (Dir.Path() / "prog").string());
            EXPECT_EQ(report.Ending, RunEnding::Completed);
            for (const std::string& path : bad) {
                EXPECT_EQ(KindsFor(report, path), std::vector<ReportKind>{ReportKind::SkippedFile})
                    << path;
            }
            EXPECT_EQ(report.Items.size(), bad.size());
            EXPECT_EQ(report.WrittenOutputs.size(), 1u);
            EXPECT_EQ(Snapshot(Dir.Path() / "in"), inputsBefore);
            fs::remove_all(Dir.Path() / "prog");
            fs::create_directory(Dir.Path() / "prog");
        }
    }
}

TEST_F(FaultInjectionTest, HugeSparseFileIsRefusedWithoutReadingIt) {
    const fs::path huge = Dir.Path() / "in" / "huge.aaf";
    WriteFile(huge, kChart);
    std::error_code error;
    fs::resize_file(huge, (std::uintmax_t{2} << 30) + 10, error);  // sparse: no disk used
    if (error) GTEST_SKIP() << "cannot make a sparse file here: " << error.message();
    const RunReport report = Convert({huge.string()}, 0, false, (Dir.Path() / "prog").string());
    EXPECT_EQ(KindsFor(report, huge.string()), std::vector<ReportKind>{ReportKind::SkippedFile});
    EXPECT_TRUE(fs::is_empty(Dir.Path() / "prog"));
}

TEST_F(FaultInjectionTest, OutputFolderThatCannotHoldFilesIsReportedForEveryTarget) {
    const std::string good = (Dir.Path() / "in" / "good.aaf").string();
    WriteFile(good, kChart);
    // A file where the program's folder should be: nothing can be created inside it.
    const std::string notAFolder = (Dir.Path() / "plain-file").string();
    WriteFile(notAFolder, "x");
    for (int target = 0; target < kTargetCount; ++target) {
        SCOPED_TRACE("target " + std::to_string(target));
        const RunReport report = Convert({good}, target, false, notAFolder);
        ASSERT_EQ(report.Items.size(), 1u);
        EXPECT_EQ(report.Items[0].Kind, ReportKind::NotWritten);
        EXPECT_NE(Quiet.Message.find("Az átalakítás részben sikerült!\nNem sikerült írni: "),
                  std::string::npos);
    }
    EXPECT_EQ(ReadFile(notAFolder), "x");
}

TEST_F(FaultInjectionTest, WriteThatFailsPartWayIsReported) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    const std::string good = (Dir.Path() / "in" / "family.aaf").string();
    WriteFile(good, kChart);
    // The single-file targets write family.EXT; a link sends that write into a full device.
    const std::pair<int, const char*> targets[] = {
        {0, ".aaf"}, {1, ".qck"}, {2, ".num"}, {3, ".csv"}};
    for (const auto& [target, extension] : targets) {
        SCOPED_TRACE(extension);
        const fs::path output = Dir.Path() / "prog" / (std::string("family") + extension);
        fs::create_symlink("/dev/full", output);
        const RunReport report = Convert({good}, target, false, (Dir.Path() / "prog").string());
        ASSERT_EQ(report.Items.size(), 1u);
        EXPECT_EQ(report.Items[0].Kind, ReportKind::NotWritten);
        EXPECT_EQ(report.Items[0].Path, output.string());
    }
}

TEST_F(FaultInjectionTest, OutputPathThatIsAFolderIsReportedAndLeftAlone) {
    const std::string good = (Dir.Path() / "in" / "family.aaf").string();
    WriteFile(good, kChart);
    const fs::path blocking = Dir.Path() / "prog" / "family.csv";
    fs::create_directory(blocking);
    WriteFile(blocking / "keep.txt", "mine");
    const RunReport report = Convert({good}, 3, false, (Dir.Path() / "prog").string());
    ASSERT_EQ(report.Items.size(), 1u);
    EXPECT_EQ(report.Items[0].Kind, ReportKind::NotWritten);
    EXPECT_EQ(ReadFile(blocking / "keep.txt"), "mine");
}

}  // namespace
}  // namespace tervalo
