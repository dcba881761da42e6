// The status bar: the facts of the surface on show in six parts, and the view part (texel
// readout, exposure) while it has something to show.
#include "view/Window.h"

#include <commctrl.h>

#include <array>
#include <string>

#include "decode/Compose.h"
#include "decode/TexelValue.h"
#include "view/Layout.h"
#include "view/Placement.h"
#include "view/Settings.h"
#include "view/StatusText.h"
#include "view/View.h"

namespace {
// The view part's text as last set, so that a cursor move repaints it only on a change.
std::string g_viewText;
bool g_bViewPartShown = false;

// A part's text as the bar holds it ("\x01", which no text has, when it is too long to ask).
std::string PartText(int part) {
    char shown[kTextBufferSize] = "";
    if (LOWORD(SendMessageA(g_hStatusBar, SB_GETTEXTLENGTHA, part, 0)) >= sizeof shown)
        return "\x01";
    SendMessageA(g_hStatusBar, SB_GETTEXTA, part, LPARAM(shown));
    return shown;
}

// Whether the bar shows these texts already (the next file of a folder often has the same
// size and format): then it is not drawn again, which costs milliseconds under Wine.
bool Showing(const std::array<std::string, kStatusParts>& parts) {
    for (int part = 0; part < kStatusParts; ++part)
        if (parts[part] != PartText(part)) return false;
    return true;
}

// The texts of every part, the view part's too, and where the parts end.
struct BarState {
    std::array<std::string, kStatusParts + 1> texts;
    std::array<int, kStatusParts + 1> edges = {};
    LRESULT count = 0;
};
BarState StateOfBar() {
    BarState state;
    for (int part = 0; part <= kStatusParts; ++part) state.texts[part] = PartText(part);
    state.count =
        SendMessageA(g_hStatusBar, SB_GETPARTS, state.edges.size(), LPARAM(state.edges.data()));
    return state;
}

bool ExposureShown() {
    return g_Texture.m_pRawData && ExposureApplies(g_Texture.m_nFormat) && g_Settings.exposure != 0;
}

// The style bit, not IsWindowVisible: the bar counts as shown before its window is.
bool StatusBarShown() {
    return (GetWindowLongA(g_hStatusBar, GWL_STYLE) & WS_VISIBLE) != 0;
}
} // namespace

// Off while a cube is shown as a cross: the record holds one face, not the picture.
bool CursorOnPicture() {
    if (g_bLevelsShown) return CursorOnLevel();
    return !g_bCrossShown && g_CursorPixel.x >= 0 && g_CursorPixel.y >= 0 &&
           g_CursorPixel.x < g_Texture.m_nWidth && g_CursorPixel.y < g_Texture.m_nHeight;
}

void FillStatusBar() {
    StatusFacts facts = StatusFactsOf(g_Texture);
    facts.allSides = AllSidesShown();
    const auto parts = FormatStatusTexts(facts);
    if (ViewPartWanted() == g_bViewPartShown && Showing(parts)) {
        UpdateViewPart();
        ShowStatusBar();
        return;
    }
    // The bar repaints itself at each text it is given: it is drawn once, with all of them. A
    // hidden bar draws nothing until it shows (and redraw on would show it).
    const bool hidden = !StatusBarShown();
    BarState before;
    if (!hidden) {
        before = StateOfBar();
        SendMessageA(g_hStatusBar, WM_SETREDRAW, FALSE, 0);
    }
    for (int part : {2, 3, 4, 5, 0, 1})
        SendMessageA(g_hStatusBar, SB_SETTEXTA, part, LPARAM(parts[part].c_str()));
    // The view part comes and goes with the exposure of a float surface.
    SetStatusParts();
    UpdateViewPart();
    if (hidden) {
        ShowStatusBar();
        UpdateWindow(g_hStatusBar);
        return;
    }
    SendMessageA(g_hStatusBar, WM_SETREDRAW, TRUE, 0);
    // Only the parts whose texts changed are drawn again, where no part moved: under Wine the
    // whole bar costs about 5 ms, a part 1 (a mip step changes two).
    const BarState after = StateOfBar();
    if (after.count != before.count || after.edges != before.edges) {
        RedrawWindow(g_hStatusBar, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        return;
    }
    for (int part = 0; part <= kStatusParts; ++part) {
        RECT r;
        if (after.texts[part] != before.texts[part] &&
            SendMessageA(g_hStatusBar, SB_GETRECT, part, LPARAM(&r)))
            InvalidateRect(g_hStatusBar, &r, TRUE);
    }
    UpdateWindow(g_hStatusBar);
}

void ShowStatusBar() {
    if (!StatusBarShown()) ShowWindow(g_hStatusBar, SW_SHOWNA);
}

void ShowViewPart() {
    SetStatusParts();
    UpdateViewPart();
}

// Six parts, measured in the status bar's own font and the display's resolution, and the
// view part while it has something to show. Then made to fit the texts on show.
void SetStatusParts() {
    HDC dc = GetDC(g_hStatusBar);
    HGDIOBJ old = SelectObject(dc, HFONT(SendMessageA(g_hStatusBar, WM_GETFONT, 0, 0)));
    static const char kFirst[] = " Type: DDS";
    SIZE text = {0, 0};
    GetTextExtentPoint32A(dc, kFirst, sizeof kFirst - 1, &text);
    int borders[3] = {0, 0, 0}; // the part's frame and the room beside its text
    SendMessageA(g_hStatusBar, SB_GETBORDERS, 0, LPARAM(borders));
    const int32_t frame = 2 * borders[2] + 6;
    int32_t need[kStatusParts + 1] = {};
    for (int part = 0; part < kStatusParts; ++part) {
        char shown[kTextBufferSize] = "";
        if (LOWORD(SendMessageA(g_hStatusBar, SB_GETTEXTLENGTHA, part, 0)) >= sizeof shown)
            continue;
        SendMessageA(g_hStatusBar, SB_GETTEXTA, part, LPARAM(shown));
        SIZE size = {0, 0};
        if (shown[0] && GetTextExtentPoint32A(dc, shown, lstrlenA(shown), &size))
            need[part] = size.cx + frame;
    }
    const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    SelectObject(dc, old);
    ReleaseDC(g_hStatusBar, dc);
    if (ViewPartWanted() != g_bViewPartShown) {
        g_bViewPartShown = !g_bViewPartShown;
        PlaceWindow(); // wider or back
    }
    RECT bar = {};
    GetClientRect(g_hStatusBar, &bar);
    const StatusEdges edges =
        FitStatusParts(StatusPartEdges(dpi, text.cx + frame, g_bViewPartShown), need,
                       bar.right - GetSystemMetrics(SM_CXVSCROLL)); // the size grip
    SendMessageA(g_hStatusBar, SB_SETPARTS, edges.count, LPARAM(edges.right));
    g_viewText = "\x01"; // not a text the part can have: set again
}

bool ViewPartWanted() {
    return g_Settings.texelReadout || ExposureShown() || Comparing();
}

void UpdateViewPart() {
    if (!g_bViewPartShown) return;
    const std::string texel = g_Settings.texelReadout && CursorOnPicture()
                                  ? WithLevel(g_nCursorLevel, TexelValuesUnderCursor())
                                  : std::string();
    const std::string text =
        CompareViewText() + FormatViewText(ExposureShown(), g_Settings.exposure, texel);
    if (text == g_viewText) return;
    g_viewText = text;
    SendMessageA(g_hStatusBar, SB_SETTEXTA, kStatusParts, LPARAM(text.c_str()));
}
