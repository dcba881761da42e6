// The main window's title: file, place in the folder, zoom and the pixel under the cursor.
#pragma once

#include <cstdint>
#include <string>

struct TitleFacts {
    std::string fileName;   // empty before any file
    int32_t listIndex = -1; // place in the folder's list, from 0; negative when not known
    int32_t listCount = 0;
    int32_t zoomPercent = 100;
    int32_t pixelX = -1, pixelY = -1; // the image pixel under the cursor
    int32_t imageWidth = 0, imageHeight = 0;
    int32_t level = -1;   // all levels on show: the level under the cursor, from 0
    bool deleted = false; // the file on show has gone from the disk; its picture stays
};

// The title text; it fits the 260-byte text buffer, the file name being cut when it must.
std::string FormatTitle(const TitleFacts& facts);
