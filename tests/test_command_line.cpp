// The argument text: the path it names, and that path's folder and name.
#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace {

TEST(CommandLine, FirstPath) {
    const struct {
        const char* text;
        const char* path;
    } cases[] = {
        {"", ""},
        {"   ", ""},
        {"C:\\tex\\a.dds", "C:\\tex\\a.dds"},
        {"\"C:\\tex\\a.dds\"", "C:\\tex\\a.dds"},
        {"\"C:\\my tex\\a b.dds\"", "C:\\my tex\\a b.dds"},
        {"  \"C:\\t\\a.dds\"  ", "C:\\t\\a.dds"},
        {"a.dds b.dds", "a.dds"},                               // the first of two paths
        {"\"C:\\x y\\a.dds\" \"C:\\b.dds\"", "C:\\x y\\a.dds"}, // the first of two quoted
        {"\"C:\\x y\\a.dds", "C:\\x y\\a.dds"},                 // a quote left open
        {"C:\\tex\\a.dds\"", "C:\\tex\\a.dds"},                 // a stray closing quote
        {"\"\"", ""},
        {"C:\\\"x y\"\\a.dds", "C:\\x y\\a.dds"}, // quotes inside a path group its blanks
    };
    for (const auto& c : cases) EXPECT_EQ(FirstPathOf(c.text), c.path) << c.text;
    EXPECT_EQ(FirstPathOf(nullptr), "");
}

TEST(CommandLine, ArgumentsOfTheWholeLine) {
    const struct {
        const char *line, *arguments;
    } cases[] = {
        {"\"c:\\a b\\brixa.exe\" \"c:\\t\\x.dds\"", "\"c:\\t\\x.dds\""},
        {"brixa.exe  x.dds y", "x.dds y"},
        {"\"c:\\brixa.exe\"", ""},
        {"\"c:\\open", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ArgumentsOf(c.line), c.arguments) << c.line;
}

TEST(CommandLine, FolderAndName) {
    const struct {
        const char* path;
        const char* folder;
        const char* name;
    } cases[] = {
        {"C:\\tex\\a.dds", "C:\\tex\\", "a.dds"},
        {"a.dds", "", "a.dds"},
        {"C:\\a.dds", "C:\\", "a.dds"},
        {"\\\\server\\share\\t\\b.DDS", "\\\\server\\share\\t\\", "b.DDS"},
        {"C:\\tex\\", "C:\\tex\\", ""},
    };
    for (const auto& c : cases) {
        const FolderAndName split = SplitFolderAndName(c.path);
        EXPECT_EQ(split.folder, c.folder) << c.path;
        EXPECT_EQ(split.name, c.name) << c.path;
    }
}

} // namespace
