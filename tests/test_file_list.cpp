// The folder's file list: its order, its pool, the steps through it and the association text.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/AssociationCommand.h"
#include "view/FileList.h"

namespace {

int Sign(int v) {
    return (v > 0) - (v < 0);
}

TEST(FileList, NameOrder) {
    const struct {
        const char *a, *b;
        int order;
    } cases[] = {
        {"_z.dds", "A.dds", -1}, // the six characters between Z and a come before all letters
        {"[.dds", "a.dds", -1},
        {"`.dds", "A.dds", -1},
        {"A.dds", "b.dds", -1},
        {"b.dds", "c.DDS", -1},
        {"B.DDS", "a.dds", 1},
        {"abc.dds", "ABC.DDS", 0}, // equal but for case
        {"ab", "ab.dds", -1},      // a prefix first
        {"ab.dds", "ab", 1},
        {"", "a", -1},
        {"Z", "z", 0},
        {"@", "`", -1},               // @ is not a letter: not mapped
        {"\xC4.dds", "\xE4.dds", -1}, // bytes beyond ASCII keep their case
        {"\xE4.dds", "z.dds", 1},     // and compare unsigned
        {"1.dds", "A.dds", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Sign(CompareNames(c.a, c.b)), c.order) << c.a << " vs " << c.b;
}

TEST(FileList, SortedAfterFinish) {
    FileList list;
    for (const char* name : {"b.dds", "A.dds", "c.DDS", "_z.dds"}) list.AddFound(name, 0x20);
    list.Finish();
    const std::vector<std::string> expected = {"_z.dds", "A.dds", "b.dds", "c.DDS"};
    ASSERT_EQ(list.Count(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(list.At(i), expected[size_t(i)]);
    EXPECT_EQ(list.Find("C.dds"), 3);
    EXPECT_EQ(list.Find("_Z.DDS"), 0);
    EXPECT_EQ(list.Find("d.dds"), -1);
}

TEST(FileList, FoldersAreSkipped) {
    FileList list;
    list.AddFound("x.dds", FileList::kDirectoryAttribute);
    list.AddFound("y.dds", FileList::kDirectoryAttribute | 0x01);
    list.Finish();
    EXPECT_EQ(list.Count(), 0);
    list.AddFound("a.dds", 0x01);
    list.Finish();
    EXPECT_EQ(list.Count(), 1);
}

TEST(FileList, PoolGrowsInStepsAndKeepsItsNames) {
    FileList list;
    EXPECT_EQ(list.PoolCapacity(), 0u);
    // 5000 names of 12 bytes with the zero: 60000 bytes, two steps; moved once on the way.
    for (int i = 0; i < 5000; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "f%06d.dds", 4999 - i);
        list.AddFound(name, 0);
    }
    list.Finish();
    EXPECT_EQ(list.PoolCapacity(), 2 * FileList::kPoolStep);
    EXPECT_EQ(list.PoolGrowths(), 2u);
    ASSERT_EQ(list.Count(), 5000);
    EXPECT_STREQ(list.At(0), "f000000.dds");
    EXPECT_STREQ(list.At(4999), "f004999.dds");
    // A rebuild reuses the pool.
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    list.AddFound("a.dds", 0);
    list.Finish();
    EXPECT_EQ(list.PoolCapacity(), 2 * FileList::kPoolStep);
    EXPECT_EQ(list.PoolGrowths(), 2u);
    EXPECT_STREQ(list.At(0), "a.dds");
    // A pool filled to the byte does not grow; one byte more does.
    FileList exact;
    const std::string quarter(FileList::kPoolStep / 4 - 1, 'q');
    for (int i = 0; i < 4; ++i) exact.AddFound(quarter.c_str(), 0);
    EXPECT_EQ(exact.PoolCapacity(), FileList::kPoolStep);
    EXPECT_EQ(exact.PoolGrowths(), 1u);
    exact.AddFound("", 0);
    EXPECT_EQ(exact.PoolCapacity(), 2 * FileList::kPoolStep);
    exact.Finish();
    EXPECT_EQ(exact.Count(), 5);
    EXPECT_STREQ(exact.At(0), "");
    // A name longer than one step still fits.
    FileList one;
    one.AddFound(std::string(40000, 'n').c_str(), 0);
    one.Finish();
    EXPECT_EQ(one.PoolCapacity(), 2 * FileList::kPoolStep);
    EXPECT_EQ(std::string(one.At(0)).size(), 40000u);
}

TEST(FileList, StepsFromEveryPosition) {
    constexpr int32_t n = 3;
    const int32_t steps[] = {-1, +1, kStepFirst, kStepLast};
    for (bool wrap : {false, true}) {
        for (int32_t i = 0; i < n; ++i) {
            for (int32_t step : steps) {
                const StepDecision d = StepFrom(i, n, step, wrap);
                int32_t expected = 0;
                bool open = true;
                if (step == kStepFirst) {
                    expected = 0;
                } else if (step == kStepLast) {
                    expected = n - 1;
                } else if (i + step >= n) {
                    open = wrap, expected = wrap ? 0 : i;
                } else if (i + step < 0) {
                    open = wrap, expected = wrap ? n - 1 : i;
                } else {
                    expected = i + step;
                }
                EXPECT_EQ(d.open, open) << i << " " << step << " " << wrap;
                EXPECT_EQ(d.index, expected) << i << " " << step << " " << wrap;
            }
        }
    }
    // One file: a step with wrap-around opens it again; without, nothing.
    EXPECT_TRUE(StepFrom(0, 1, +1, true).open);
    EXPECT_EQ(StepFrom(0, 1, -1, true).index, 0);
    EXPECT_FALSE(StepFrom(0, 1, +1, false).open);
}

FileList Three() {
    FileList list;
    for (const char* name : {"c.dds", "a.dds", "B.dds"}) list.AddFound(name, 0);
    list.Finish();
    return list;
}

TEST(FileList, RebuildRules) {
    const FileList three = Three();
    FileList none;
    none.AddFound("x.dds", FileList::kDirectoryAttribute);
    none.Finish();
    const struct {
        const char* what;
        const FileList* list;
        const char* current;
        int32_t step;
        bool wrap;
        StepDecision decision;
    } cases[] = {
        {"found, next", &three, "b.dds", +1, false, {true, 2}},
        {"found, back", &three, "B.DDS", -1, false, {true, 0}},
        {"found last, no wrap", &three, "c.dds", +1, false, {false, 2}},
        {"found last, wrap", &three, "c.dds", +1, true, {true, 0}},
        {"found first, back, wrap", &three, "a.dds", -1, true, {true, 2}},
        {"found, last", &three, "a.dds", kStepLast, false, {true, 2}},
        {"missing, next", &three, "gone.dds", +1, false, {true, 0}},
        {"missing, end", &three, "gone.dds", kStepLast, false, {true, 0}},
        {"missing, back", &three, "gone.dds", -1, true, {true, 0}},
        {"nothing opened, next", &three, "", +1, false, {true, 0}},
        {"nothing opened, back", &three, nullptr, -1, true, {true, 0}},
        {"nothing opened, end", &three, "", kStepLast, false, {true, 2}},
        {"nothing opened, home", &three, "", kStepFirst, false, {true, 0}},
        {"only folders", &none, "a.dds", +1, true, {false, -1}},
        {"only folders, nothing opened", &none, "", kStepLast, true, {false, -1}},
    };
    for (const auto& c : cases) {
        const StepDecision d = StepAfterRebuild(*c.list, c.current, c.step, c.wrap);
        EXPECT_EQ(d.open, c.decision.open) << c.what;
        EXPECT_EQ(d.index, c.decision.index) << c.what;
    }
}

TEST(FileList, ExtensionAndSearchPattern) {
    const struct {
        const char* path;
        bool dds;
    } cases[] = {{"a.dds", true},          {"A.DdS", true},      {"a.ddsx", false},
                 {"a.txt", false},         {"a.dds.txt", false}, {"a", false},
                 {"a.dd", false},          {"d.dds\\b", false},  {"c:\\x.dds\\b", false},
                 {"c:\\x.y\\b.dds", true}, {".dds", true},       {"x.ddsold", false}};
    for (const auto& c : cases) EXPECT_EQ(HasDdsExtension(c.path), c.dds) << c.path;
    EXPECT_EQ(FolderSearchPattern("c:\\t\\", 260), "c:\\t\\*.DDS");
    EXPECT_EQ(FolderSearchPattern(std::string(254, 'f'), 260), std::string(254, 'f') + "*.DDS");
    EXPECT_EQ(FolderSearchPattern(std::string(255, 'f'), 260), "");
}

TEST(FileList, AssociationCommand) {
    const struct {
        const char* path;
        const char* command;
    } cases[] = {
        {"c:\\program files\\brixa\\brixa.exe", "\"c:\\program files\\brixa\\brixa.exe\" \"%1\""},
        {"c:\\b\\brixa.exe", "\"c:\\b\\brixa.exe\" \"%1\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AssociationCommand(c.path), c.command);
        EXPECT_EQ(AssociationPath(c.command), c.path);
    }
}

} // namespace
