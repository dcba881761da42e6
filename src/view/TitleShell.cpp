// The title bar: the file on show, its place in the list, the zoom and the pixel under the
// cursor.
#include "view/Window.h"

#include "view/Settings.h"
#include "view/FileList.h"
#include "view/Title.h"
#include "view/View.h"
#include "view/Zoom.h"

void UpdateTitle() {
    TitleFacts f;
    f.fileName = g_szShownFileName;
    f.listIndex = g_nShownIndex;
    f.listCount = g_FileList.Count();
    f.zoomPercent = ZoomPercent(g_fFitFactor, g_fZoomFactor);
    f.pixelX = g_CursorPixel.x;
    f.pixelY = g_CursorPixel.y;
    f.level = g_bLevelsShown ? g_nCursorLevel : -1;
    const ShownImage image = Shown();
    f.imageWidth = image.width;
    f.imageHeight = image.height;
    f.deleted = g_bShownFileDeleted;
    SetWindowTextW(g_hWndMain, Wide(FormatTitle(f)).c_str());
}
