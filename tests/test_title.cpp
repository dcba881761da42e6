// The title text.
#include <gtest/gtest.h>

#include "view/StatusText.h"
#include "view/Title.h"

namespace {

TitleFacts Facts(const char* name, int index, int count, int percent, int x, int y, int w = 64,
                 int h = 32) {
    TitleFacts f;
    f.fileName = name;
    f.listIndex = index;
    f.listCount = count;
    f.zoomPercent = percent;
    f.pixelX = x;
    f.pixelY = y;
    f.imageWidth = w;
    f.imageHeight = h;
    return f;
}

TEST(Title, Formats) {
    const struct {
        TitleFacts facts;
        const char* title;
    } cases[] = {
        {Facts("", -1, 0, 100, -1, 0), "Brixa"},
        {Facts("a.dds", -1, 0, 100, -1, 0), "Brixa - [a.dds] Zoom:100%"},
        {Facts("a.dds", 1, 14, 75, -1, 0), "Brixa - [a.dds - 2/14] Zoom:75%"},
        {Facts("a.dds", -1, 0, 100, 10, 20), "Brixa - [a.dds] Zoom:100% Pos:10x20"},
        {Facts("a.dds", 0, 3, 200, 10, 20), "Brixa - [a.dds - 1/3] Zoom:200% Pos:10x20"},
        {Facts("a.dds", -1, 0, 100, 0, 0), "Brixa - [a.dds] Zoom:100% Pos:0x0"},
        {Facts("a.dds", -1, 0, 100, 63, 31), "Brixa - [a.dds] Zoom:100% Pos:63x31"},
        // Outside the picture: no position.
        {Facts("a.dds", -1, 0, 100, 64, 0), "Brixa - [a.dds] Zoom:100%"},
        {Facts("a.dds", -1, 0, 100, 0, 32), "Brixa - [a.dds] Zoom:100%"},
        {Facts("a.dds", -1, 0, 100, 5, -1), "Brixa - [a.dds] Zoom:100%"},
        {Facts("a.dds", -1, 0, 0, -1, 0), "Brixa - [a.dds] Zoom:0%"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatTitle(c.facts), c.title);
    TitleFacts gone = Facts("a.dds", 0, 3, 100, 1, 2);
    gone.deleted = true;
    EXPECT_EQ(FormatTitle(gone), "Brixa - [a.dds (deleted) - 1/3] Zoom:100% Pos:1x2");
    gone.listIndex = -1;
    EXPECT_EQ(FormatTitle(gone), "Brixa - [a.dds (deleted)] Zoom:100% Pos:1x2");
}

TEST(Title, LongNamesAreCutToFitTheTextBuffer) {
    const std::string name(300, 'n');
    for (int index : {-1, 4}) {
        const std::string title = FormatTitle(Facts(name.c_str(), index, 9, 100, 1, 2));
        EXPECT_EQ(title.size(), kTextBufferSize - 1);
        const std::string tail = index < 0 ? "] Zoom:100% Pos:1x2" : " - 5/9] Zoom:100% Pos:1x2";
        EXPECT_EQ(title.substr(title.size() - tail.size()), tail);
        EXPECT_EQ(title.substr(0, 10), "Brixa - [n");
    }
    // A name that just fits is kept whole.
    const std::string fits(kTextBufferSize - 1 - std::string("Brixa - [] Zoom:100%").size(), 'f');
    EXPECT_EQ(FormatTitle(Facts(fits.c_str(), -1, 0, 100, -1, 0)),
              "Brixa - [" + fits + "] Zoom:100%");
}

} // namespace
