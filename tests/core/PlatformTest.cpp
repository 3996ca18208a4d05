// The functions that differ between Linux and Windows, as the rest of the program relies on them.
#include "core/Platform.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace tervalo {
namespace {

TEST(Platform, PathsKeepEveryLetterBetweenUtf8AndTheFileSystem) {
    test::TempDir dir;
    const char* const names[] = {"Kovács Ödön.aaf", "Dvořák.qck", "Horoszkópok", "ŐőŰű.csv"};
    for (const char* name : names) {
        const std::string path = dir.File(name);
        std::FILE* file = OpenFile(path, "wb");
        ASSERT_NE(file, nullptr) << name;
        std::fputs("x", file);
        std::fclose(file);
        EXPECT_EQ(Utf8FromPath(PathFromUtf8(path).filename()), name);
        bool listed = false;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
            listed = listed || Utf8FromPath(entry.path().filename()) == name;
        EXPECT_TRUE(listed) << name;
        EXPECT_TRUE(RemoveFile(path)) << name;
    }
}

TEST(Platform, AFileIsNoTerminal) {
    test::TempDir dir;
    std::FILE* file = OpenFile(dir.File("out.txt"), "wb");
    ASSERT_NE(file, nullptr);
    EXPECT_FALSE(IsTerminal(file));
    std::fclose(file);
}

TEST(Platform, DocumentsFolderFromUserDirsTakesTheLineAsTheShellWould) {
    const std::filesystem::path home = PathFromUtf8("/home/kata");
    const struct {
        const char* UserDirs;
        const char* Expected;  // empty: the file names none, and the caller falls back
    } cases[] = {
        {"XDG_DOCUMENTS_DIR=\"$HOME/Dokumentumok\"\n", "/home/kata/Dokumentumok"},
        {"# comment\nXDG_DESKTOP_DIR=\"$HOME/Asztal\"\r\n  XDG_DOCUMENTS_DIR=\"/srv/iratok\"\r\n",
         "/srv/iratok"},
        {"XDG_DOCUMENTS_DIR=\"$HOME/Kata \\\"saját\\\" iratai\"",
         "/home/kata/Kata \"saját\" iratai"},
        {"XDG_DOCUMENTS_DIR=\"$HOME\"\n", "/home/kata"},
        {"XDG_DOCUMENTS_DIR=\"$HOME/\"\n", "/home/kata"},
        {"XDG_DOCUMENTS_DIR=\"/a\"\nXDG_DOCUMENTS_DIR=\"/b\"\n", "/b"},   // the later wins
        {"XDG_DOCUMENTS_DIR=\"/a\"\nXDG_DOCUMENTS_DIR=\"rel\"\n", "/a"},  // invalid ignored
        {"XDG_DOCUMENTS_DIR=\"Dokumentumok\"\n", ""},                     // relative
        {"XDG_DOCUMENTS_DIR=\"$HOMEDIR/x\"\n", ""},                       // not $HOME
        {"XDG_DOCUMENTS_DIR=$HOME/Dokumentumok\n", ""},                   // unquoted
        {"XDG_DOCUMENTS_DIR=\"$HOME/Dokumentumok\n", ""},                 // unclosed
        {"# XDG_DOCUMENTS_DIR=\"/x\"\nXDG_MUSIC_DIR=\"/y\"\n", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DocumentsFolderFromUserDirs(c.UserDirs, home), PathFromUtf8(c.Expected))
            << c.UserDirs;
    }
}

#ifndef _WIN32
// Sets an environment variable for the test's scope and restores it after.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : Name(name) {
        const char* old = std::getenv(name);
        HadOld = old != nullptr;
        if (HadOld) Old = old;
        Set(value);
    }
    ~ScopedVariable() { Set(HadOld ? Old.c_str() : nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    void Set(const char* value) {
        if (value != nullptr) {
            setenv(Name, value, 1);
        } else {
            unsetenv(Name);
        }
    }

    const char* Name;
    std::string Old;
    bool HadOld = false;
};
#endif

TEST(Platform, DocumentsFolderFollowsTheUsersConfigurationAndFallsBack) {
#ifdef _WIN32
    // Windows names the folder itself: whatever it names must be there.
    EXPECT_TRUE(std::filesystem::is_directory(DocumentsFolder()))
        << Utf8FromPath(DocumentsFolder());
#else
    test::TempDir dir;
    const std::string home = dir.File("home");
    const std::string config = dir.File("config");
    std::filesystem::create_directories(PathFromUtf8(home + "/.config"));
    std::filesystem::create_directories(PathFromUtf8(config));
    test::WriteFile(PathFromUtf8(home + "/.config/user-dirs.dirs"),
                    "XDG_DOCUMENTS_DIR=\"$HOME/Dokumentumok\"\n");
    test::WriteFile(PathFromUtf8(config + "/user-dirs.dirs"),
                    "XDG_DOCUMENTS_DIR=\"/srv/iratok\"\n");
    const struct {
        const char* ConfigHome;
        std::string Expected;
    } cases[] = {
        {nullptr, home + "/Dokumentumok"},
        {config.c_str(), "/srv/iratok"},
        {"config", home + "/Dokumentumok"},  // relative: ignored
        {"/nowhere", home + "/Documents"},   // no file: the usual folder
    };
    ScopedVariable homeVariable("HOME", home.c_str());
    for (const auto& c : cases) {
        ScopedVariable configVariable("XDG_CONFIG_HOME", c.ConfigHome);
        EXPECT_EQ(DocumentsFolder(), PathFromUtf8(c.Expected))
            << (c.ConfigHome != nullptr ? c.ConfigHome : "unset");
    }
#endif
}

TEST(Platform, FolderTakesNewFileOnlyWhereOneCanBeMadeAndLeavesNone) {
    test::TempDir dir;
    test::WriteFile(dir.Path() / "file", "x");
    const struct {
        std::filesystem::path Folder;
        bool Expected;
    } cases[] = {
        {dir.Path(), true},
        {dir.Path() / "missing", false},
        {dir.Path() / "file", false},
        // Read-only to every user, root too (on Windows a path with no such folder).
        {"/proc", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FolderTakesNewFile(c.Folder), c.Expected) << Utf8FromPath(c.Folder);
    EXPECT_EQ(test::NamesIn(dir.Path()), std::vector<std::string>{"file"});
}

}  // namespace
}  // namespace tervalo
