// Where the window's outputs go when the program's folder takes no new file, and what the run
// then says.
#include "run/OutputFolder.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "core/Platform.h"
#include "run/ConversionRun.h"

namespace tervalo {
namespace {

namespace fs = std::filesystem;

TEST(OutputFolder, DocumentsTakeTheOutputsOnlyWhenTheProgramsFolderTakesNoFile) {
    test::TempDir dir;
    fs::create_directory(dir.Path() / "prog");
    test::WriteFile(dir.Path() / "not-a-folder", "x");
    const fs::path documents = dir.Path() / "Dokumentumok";
    const std::string fallback = Utf8FromPath(documents / "Tervalo");
    const struct {
        std::string Program;
        fs::path Documents;
        std::string Expected;
    } cases[] = {
        {dir.File("prog/tervalo"), documents, ""},
        {dir.File("missing/tervalo"), documents, fallback},
        {dir.File("missing/tervalo"), documents, fallback},  // the folder made before is taken
        {dir.File("missing/tervalo"), dir.Path() / "not-a-folder", ""},
        {dir.File("missing/tervalo"), fs::path(), ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FallbackOutputFolder(c.Program, c.Documents), c.Expected) << c.Program;
    }
    // Nothing was made where nothing was needed: only the case that fell back made its folder.
    EXPECT_EQ(test::NamesIn(dir.Path()),
              (std::vector<std::string>{"Dokumentumok", "not-a-folder", "prog"}));
    EXPECT_TRUE(test::NamesIn(dir.Path() / "prog").empty());
}

TEST(OutputFolder, TheRunWritesIntoTheFolderGivenAndSaysWhere) {
    test::TempDir dir;
    const std::string input = dir.File("kovacs.aaf");
    test::WriteFile(PathFromUtf8(input), test::AafChart());
    fs::create_directory(dir.Path() / "Tervalo");
    test::RunObjects run;
    RunRequest request;
    request.Entries = {input};
    request.TargetIndex = static_cast<int>(Target::Qck);
    request.ExecutablePath = dir.File("missing/tervalo");
    request.OutputFolder = dir.File("Tervalo");
    const RunReport report = ConversionRun(request, run.Abort, run.Quiet, run.Quiet, run.Databases,
                                           [] { return test::kFixedNow; });
    EXPECT_EQ(test::NamesIn(dir.Path() / "Tervalo"), std::vector<std::string>{"kovacs.qck"});
    EXPECT_EQ(run.Quiet.Message,
              std::string(kSuccessMessage) + "\nA kimeneti fájlok helye: " + dir.File("Tervalo"));
    EXPECT_TRUE(report.Items.empty());
}

}  // namespace
}  // namespace tervalo
