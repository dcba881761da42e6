#include "view/Title.h"

#include <cstdio>

#include "view/StatusText.h"

namespace {
std::string Compose(const TitleFacts& f, const std::string& name, bool showPos) {
    char text[kTextBufferSize * 2];
    int n = 0;
    const char* gone = f.deleted ? " (deleted)" : "";
    if (f.listIndex >= 0)
        n = std::snprintf(text, sizeof text, "Brixa - [%s%s - %i/%i] Zoom:%d%%", name.c_str(), gone,
                          f.listIndex + 1, f.listCount, f.zoomPercent);
    else
        n = std::snprintf(text, sizeof text, "Brixa - [%s%s] Zoom:%d%%", name.c_str(), gone,
                          f.zoomPercent);
    if (showPos && n >= 0 && size_t(n) < sizeof text)
        n += std::snprintf(text + n, sizeof text - n, " Pos:%dx%d", f.pixelX, f.pixelY);
    if (showPos && f.level >= 0 && n >= 0 && size_t(n) < sizeof text)
        std::snprintf(text + n, sizeof text - n, " MipMap:%d", f.level + 1);
    return text;
}
} // namespace

std::string FormatTitle(const TitleFacts& f) {
    if (f.fileName.empty()) return "Brixa";
    const bool showPos =
        f.pixelX >= 0 && f.pixelY >= 0 && f.pixelX < f.imageWidth && f.pixelY < f.imageHeight;
    const size_t rest = Compose(f, std::string(), showPos).size();
    const size_t room = kTextBufferSize - 1 > rest ? kTextBufferSize - 1 - rest : 0;
    return Compose(f, f.fileName.substr(0, room), showPos);
}
