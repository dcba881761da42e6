// The background colour dialog: the colour the picture is blended over.
#include "view/Window.h"

#include <commdlg.h>

#include "view/Settings.h"
#include "view/View.h"

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
