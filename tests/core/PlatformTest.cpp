// The functions that differ between Linux and Windows, as the rest of the program relies on them.
#include "core/Platform.h"

#include <cstdio>
#include <filesystem>
#include <string>

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

}  // namespace
}  // namespace tervalo
