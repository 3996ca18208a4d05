// The paths a run holds taken: exact normal paths, other spellings of the same file, and
// tables of many names.
#include "run/TakenPaths.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "TestSupport.h"
#include "core/Platform.h"

namespace tervalo {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFile;

bool IsTaken(TakenPaths& taken, const std::string& path) {
    return taken.Contains(path, NormalPath(path));
}

TEST(TakenPaths, FindsTheSamePathAndTheSameFileUnderAnotherName) {
    TempDir dir;
    fs::create_directories(dir.Path() / "real");
    fs::create_directories(dir.Path() / "other");
    WriteFile(dir.Path() / "real" / "Kiss Anna.hor", "chart");
    WriteFile(PathFromUtf8(dir.File("real/árpád.aaf")), "chart");
    WriteFile(dir.Path() / "other" / "Kiss Anna.hor", "another chart");
    std::error_code error;
    fs::create_directory_symlink("real", dir.Path() / "link", error);
    if (error) GTEST_SKIP() << "no link could be made here: " << error.message();
    fs::create_hard_link(PathFromUtf8(dir.File("real/árpád.aaf")),
                         PathFromUtf8(dir.File("other/ÁRPÁD.aaf")));

    TakenPaths taken;
    taken.Add(NormalPath(dir.File("real/Kiss Anna.hor")));
    taken.Add(NormalPath(dir.File("real/./árpád.aaf")));
    taken.Add(NormalPath(dir.File("gone/x.aaf")));

    struct Case {
        std::string path;
        bool expected;
    };
    const Case cases[] = {
        {dir.File("real/Kiss Anna.hor"), true},
        {dir.File("other/../real/Kiss Anna.hor"), true},  // spelled another way
        {dir.File("link/Kiss Anna.hor"), true},           // through a link to its folder
        {dir.File("other/Kiss Anna.hor"), false},         // another file of that name
        {dir.File("other/ÁRPÁD.aaf"), true},  // a hard link, named as a case-blind disk would
        {dir.File("real/Kiss Béla.hor"), false},
        {dir.File("gone/x.aaf"), true},  // taken, though it is not there
        {dir.File("gone/X.aaf"), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsTaken(taken, c.path), c.expected) << c.path;
}

TEST(TakenPaths, ManyNamesInManyFoldersAreEachFoundOnce) {
    TakenPaths taken;
    EXPECT_FALSE(IsTaken(taken, "/d/empty.aaf"));
    const std::size_t folder = taken.AddFolder("/d/out/fam/");
    taken.Reserve(100);  // less than comes: the table grows on by itself
    for (int i = 0; i < 5000; ++i)
        taken.Add(folder, "Chart " + std::to_string(i) + ".hor");
    for (int i = 0; i < 300; ++i)
        taken.Add(NormalPath("/d/in/" + std::to_string(i) + "/Chart 7.hor"));
    for (int i = 0; i < 5000; ++i) {
        const std::string name = "Chart " + std::to_string(i) + ".hor";
        ASSERT_TRUE(taken.Contains("/d/out/fam/", "/d/out/fam/", name)) << name;
        ASSERT_FALSE(taken.Contains("/d/out/fam/", "/d/out/fam/",
                                    "Chart " + std::to_string(i) + " (2).hor"));
        // The same name in a folder nobody wrote to is asked of the file system: not there.
        ASSERT_FALSE(taken.Contains("/d/out/other/", "/d/out/other/", name));
    }
    EXPECT_TRUE(IsTaken(taken, "/d/in/299/Chart 7.hor"));
    EXPECT_FALSE(IsTaken(taken, "/d/in/300/Chart 7.hor"));
}

}  // namespace
}  // namespace tervalo
