// Compare: a second texture (B) beside the one on show (A), its surface the one A shows. Both
// pictures are composed once; Space swaps which one Shown() gives, D shows |A - B|. B's
// images exist only while compare is on.
#include "view/Window.h"

#include <commdlg.h>

#include <memory>
#include <string>

#include "../../res/resource.h"
#include "dds/ImageBuffer.h"
#include "decode/Difference.h"
#include "view/Reload.h"
#include "view/Settings.h"
#include "view/View.h"

namespace {
struct CompareRecord {
    CFileEx reader; // B's own: A's reader is A's record's
    CDdsTexture texture{reader};
    std::string path, name; // B's full path and its name as shown
    std::string shownPath;  // A's file it was chosen for: another A ends compare
    bool showB = false;
    DiffStats stats;
    bool withAlpha = false;
    // The |A - B| picture while D is on; its storage is kept for the next D (the first touch of
    // fresh pages costs far more than the picture) until compare ends.
    ImageBuffer differenceStore;
    uint32_t* difference = nullptr;
    ReloadWatch watch;
};
std::unique_ptr<CompareRecord> g_compare;

void UpdateCompareMenu() {
    const HMENU menu = GetMenu(g_hWndMain);
    const UINT grey = MF_BYCOMMAND | (g_compare ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(menu, IDM_END_COMPARE, grey);
    EnableMenuItem(menu, IDM_FLIP_COMPARE, grey);
    WatchShownFile(); // how live reload looks depends on whether B is there
}

// B's surface at A's selection into `r`; an empty text when it is there and of A's size, else
// what the user is told.
std::string LoadSecond(CompareRecord& r) {
    CDdsTexture& b = r.texture;
    const bool loaded = b.Load(r.path.c_str(), g_nLevel, g_nFaceOrLayer, g_hWndMain,
                               g_Settings.dxt5AsNormalMap, ReportProgress);
    if (!loaded) return kRefusedText;
    if (b.m_LastError.kind != LoadError::kNone) return b.m_LastError.text;
    if (!b.m_pRawData || b.m_nWidth <= 0 || b.m_nHeight <= 0) return "Nothing to show in it.";
    if (b.m_nWidth != g_Texture.m_nWidth || b.m_nHeight != g_Texture.m_nHeight)
        return SizeMismatchText(g_szShownFileName, g_Texture.m_nWidth, g_Texture.m_nHeight, r.name,
                                b.m_nWidth, b.m_nHeight);
    return "";
}

void SayCannotCompare(const std::string& name, const std::string& why) {
    MessageBoxW(g_hWndMain, Wide("Cannot compare with " + name + ":\n" + why).c_str(), L"Compare",
                MB_ICONWARNING);
}

// The difference picture while D is on.
void MakeDifference(CompareRecord& r) {
    const CDdsTexture& b = r.texture;
    r.difference = nullptr;
    if (!g_Settings.difference || !g_Texture.m_pDisplayImage || !b.m_pDisplayImage) return;
    const size_t pixels = size_t(b.m_nWidth) * size_t(b.m_nHeight);
    r.difference = static_cast<uint32_t*>(r.differenceStore.Acquire(pixels * 4, false));
    if (!r.difference) return; // no difference picture: the pictures themselves stay on show
    DifferenceRow(r.difference, g_Texture.m_pDisplayImage, b.m_pDisplayImage, pixels,
                  LargestColourDifference(r.stats));
}

// The figures of both pictures as composed, and the difference picture.
void MeasureDifference(CompareRecord& r) {
    const CDdsTexture& b = r.texture;
    r.stats = DiffStats();
    r.withAlpha = g_Texture.m_bHasAlpha || b.m_bHasAlpha;
    if (g_Texture.m_pDisplayImage && b.m_pDisplayImage)
        AddDifferences(r.stats, g_Texture.m_pDisplayImage, b.m_pDisplayImage,
                       size_t(b.m_nWidth) * size_t(b.m_nHeight));
    MakeDifference(r);
}

void RefreshView() {
    ShowViewPart();
    RepaintNow();
    UpdateTitle();
}
} // namespace

bool Comparing() {
    return g_compare != nullptr;
}

void ComposeSecond(int32_t mode, uint32_t background) {
    if (!g_compare) return;
    CDdsTexture& b = g_compare->texture;
    b.m_nChannel = g_Texture.m_nChannel;
    b.m_nExposure = g_Texture.m_nExposure;
    b.m_bExact = g_Texture.m_bExact;
    const uint8_t red = uint8_t(background >> 16), green = uint8_t(background >> 8),
                  blue = uint8_t(background);
    // Runs to its end: a half-made B is never shown.
    b.DecodeAndCompose(mode, red, green, blue);
    MeasureDifference(*g_compare);
}

const uint32_t* ComparedPixels() {
    if (!g_compare || !g_Texture.m_pDisplayImage || !g_compare->texture.m_pDisplayImage)
        return nullptr;
    if (g_Settings.difference && g_compare->difference) return g_compare->difference;
    return g_compare->showB ? g_compare->texture.m_pDisplayImage : nullptr;
}

const CDdsTexture& ShownTexture() {
    const uint32_t* compared = ComparedPixels();
    return compared && compared == g_compare->texture.m_pDisplayImage ? g_compare->texture
                                                                      : g_Texture;
}

void EndCompare() {
    if (!g_compare) return;
    g_compare.reset(); // B's images go back to the system
    UpdateCompareMenu();
    PlaceWindow(); // narrower again
    if (CrossWanted() || LevelsWanted())
        LoadAndShow(g_sShownPath.c_str()); // the cross or chain the options ask for comes back
    else
        RefreshView();
}

bool SyncSecond(const char* fileName) {
    if (!g_compare) return true;
    if (lstrcmpiW(Wide(FullPathOf(fileName)).c_str(), Wide(g_compare->shownPath).c_str()) != 0) {
        g_compare.reset(); // another file on show: compare ends
        UpdateCompareMenu();
        return true;
    }
    const std::string why = LoadSecond(*g_compare);
    if (g_nLoadState == kLoadCancelRequested) {
        g_compare->texture.FreeBuffers(); // read again by the load that follows
        return false;
    }
    if (why.empty()) return true;
    const std::string name = g_compare->name;
    g_compare.reset();
    UpdateCompareMenu();
    SayCannotCompare(name, why);
    return true;
}

bool CompareWith(const std::string& path) {
    if (!g_Texture.m_pDisplayImage || g_sShownPath.empty()) return false;
    auto record = std::make_unique<CompareRecord>();
    record->path = FullPathOf(path);
    const size_t slash = record->path.find_last_of("\\/");
    record->name = slash == std::string::npos ? record->path : record->path.substr(slash + 1);
    record->shownPath = g_sShownPath;
    std::string why;
    const int result = RunOperation([&] {
        why = LoadSecond(*record);
        if (g_nLoadState == kLoadCancelRequested) return kLoadStopped;
        if (!why.empty()) SayCannotCompare(record->name, why);
        return why.empty() ? kLoadShown : kLoadFailed;
    });
    if (result != kLoadShown) return false; // A stays as it was, and so does a compare on
    g_compare = std::move(record);
    const FileStamp now = StampOf(g_compare->path);
    g_compare->watch = {now, now, GetTickCount()};
    UpdateCompareMenu();
    PlaceWindow(); // wide enough for the figures
    if (g_bCrossShown || g_bLevelsShown)
        LoadAndShow(g_sShownPath.c_str()); // one surface of each: the cross or chain goes
    else
        Recompose(); // both pictures, composed once
    ShowViewPart();
    return true;
}

void ChooseCompareFile() {
    if (!g_Texture.m_pDisplayImage) return;
    std::wstring path;
    size_t offset = 0;
    // The current folder stays that of A.
    if (ChooseDdsFile(L"Compare with...", OFN_NOCHANGEDIR, path, offset))
        CompareWith(Utf8(path.c_str()));
}

void FlipCompare() {
    if (!g_compare) return;
    g_compare->showB = !g_compare->showB;
    RefreshView();
}

void ShowDifference() {
    if (!g_compare) return;
    MakeDifference(*g_compare);
    RefreshView();
}

std::string CompareViewText() {
    if (!g_compare) return "";
    const CompareRecord& r = *g_compare;
    const bool difference = r.difference && ComparedPixels() == r.difference;
    const std::string shown = difference
                                  ? "|A - B| " + FormatDifferenceScale(DifferenceScale(r.stats))
                              : r.showB ? "B: " + r.name
                                        : std::string("A: ") + g_szShownFileName;
    return " " + shown + "  " + FormatDifferenceFigures(r.stats, r.withAlpha);
}

void CompareReloadTick() {
    if (!g_compare || g_nModalLoops > 0) return;
    if (NextReloadAction(g_compare->watch, StampOf(g_compare->path), GetTickCount()) !=
        ReloadAction::kReload)
        return; // a B that has gone keeps its picture
    std::string why;
    const int result = RunOperation([&] {
        why = LoadSecond(*g_compare);
        return g_nLoadState == kLoadCancelRequested ? kLoadStopped
               : why.empty()                        ? kLoadShown
                                                    : kLoadFailed;
    });
    if (result == kLoadShown) {
        Recompose();
        ShowViewPart();
        return;
    }
    const std::string name = g_compare->name;
    EndCompare(); // B's surface is half-read or no longer fits: A alone
    if (result == kLoadFailed) SayCannotCompare(name, why);
}
