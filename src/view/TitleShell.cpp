// The title bar and the background colour dialog.
#include "view/Window.h"

#include <commdlg.h>

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
    const ShownImage image = Shown();
    f.imageWidth = image.width;
    f.imageHeight = image.height;
    f.deleted = g_bShownFileDeleted;
    SetWindowTextW(g_hWndMain, Wide(FormatTitle(f)).c_str());
}

void ChooseBackgroundColour() {
    static COLORREF customColours[16] = {};
    CHOOSECOLORA cc = {};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = g_hWndMain;
    const ViewerSettings::Colour& c = g_Settings.backgroundColor;
    cc.rgbResult = RGB(c.red, c.green, c.blue);
    cc.lpCustColors = customColours;
    cc.Flags = CC_RGBINIT | CC_FULLOPEN | CC_SOLIDCOLOR | CC_ANYCOLOR;
    {
        const ModalLoop modal;
        if (!ChooseColorA(&cc)) return;
    }
    g_Settings.backgroundColor = {GetRValue(cc.rgbResult), GetGValue(cc.rgbResult),
                                  GetBValue(cc.rgbResult)};
    Recompose(ComposeModeOfSettings(), GetRValue(cc.rgbResult), GetGValue(cc.rgbResult),
              GetBValue(cc.rgbResult));
}
