// What the user sees: the load-and-show pipeline, painting, zoom, placement, title (Win32).
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <string>

#include "dds/DdsTexture.h"
#include "io/FileEx.h"

// The program's one file reader and texture record.
extern CFileEx g_Reader;
extern CDdsTexture g_Texture;

// The load state: idle, busy, or busy with a request waiting in the deferred message.
enum : int32_t { kLoadIdle = 0, kLoadBusy = 1, kLoadCancelRequested = 2 };
extern int32_t g_nLoadState;
extern MSG g_DeferredMessage; // message 0 when none
extern int32_t g_nProgressStage;
extern DWORD g_dwLoadStartTime;
extern bool g_bPaintingEnabled;
extern bool g_bPlacementPostponed; // a picture loaded while minimised, not placed yet

// The surface selection: mipmap level and face or layer, from 0.
extern int32_t g_nLevel;
extern int32_t g_nFaceOrLayer;
// The file shown, a name in the current directory (or a whole path).
extern char g_szCurrentFileName[MAX_PATH];
// The file on show and its place in the folder's list, for the title: a failed load leaves
// them as they were.
extern char g_szShownFileName[MAX_PATH];
extern int32_t g_nShownIndex;
// Its full path: what live reload looks at and reads again, whatever folder is current.
extern std::string g_sShownPath;
// Records the file just shown as the one on show (name, place, full path), watches it and
// titles the window after it. Only a load that completed comes here.
void RecordShown();

// Scale and panning.
extern float g_fZoomFactor;
extern float g_fFitFactor;
extern POINT g_PanOffset;
extern bool g_bPannable;
extern POINT g_DragAnchor; // x -1: no drag
extern RECT g_LastImageRect;
extern POINT g_CursorPixel; // x -1: the cursor is outside the image area

// The pipeline. LoadAndShow answers kLoadShown, kLoadFailed (the box has said why) or
// kLoadStopped (a request stopped it; what names the file on show is untouched).
constexpr int kLoadShown = 0, kLoadFailed = -2, kLoadStopped = 1;
int OpenByName();
int LoadAndShow(const char* fileName = nullptr); // null: g_szCurrentFileName
int ReportProgress(uint32_t done, uint32_t total, uintptr_t userValue);
// Composes again in this mode over this colour and paints; beforePaint runs once the
// composition is over (the alpha view's menu update). It runs to its end: a request that
// arrives meanwhile waits for it. Without a mode: the mode and colour the settings ask for.
void Recompose(int32_t mode, uint8_t red, uint8_t green, uint8_t blue,
               void (*beforePaint)() = nullptr);
void Recompose(void (*beforePaint)() = nullptr);
int32_t ComposeModeOfSettings();
// Modal loops (dialogs) run the window's messages: no load runs from the reload timer while one
// is open, so that its caller's pointers into the picture stay good.
extern int32_t g_nModalLoops;
struct ModalLoop {
    ModalLoop() { ++g_nModalLoops; }
    ~ModalLoop() { --g_nModalLoops; }
    ModalLoop(const ModalLoop&) = delete;
    ModalLoop& operator=(const ModalLoop&) = delete;
};
// Saves a request that must wait for the running work, and asks the work to stop.
void DeferMessage(UINT message, WPARAM wParam, LPARAM lParam);
void HandleDeferredMessage();
void FillStatusBar();
// Shows the status bar if it waits, hidden, for its first texts (at start, while the named
// file's picture is decoded: it is then drawn once, filled).
void ShowStatusBar();

// The picture painted, fitted, placed, saved and copied: the display image, or a full cube's
// six faces unfolded as a cross when that option is on (then the texel readout is off).
struct ShownImage {
    const uint32_t* pixels; // bottom-up rows
    int32_t width, height;
    int32_t tiles = 1; // the tile view paints it 3 x 3: fit, zoom, pan and placement count that
};
// pixels may be null (a load stopped or refused): nothing is read then, whatever the size says.
ShownImage Shown();
extern bool g_bCrossShown;

// Painting, zoom and panning.
void PaintImage(HDC dc);
void RepaintNow();
int32_t StatusBarHeight();
void ComputeFitFactor();
void SetZoomFactor(float zoom);
void TrackCursor();

// The folder's file list and the current file's place in it (-1: rebuild before the next step).
class FileList;
extern FileList g_FileList;
extern int32_t g_nCurrentIndex;
// step -1, +1, kStepFirst or kStepLast.
void StepFile(int32_t step);
void ShowOpenDialog();
// The open dialog for one DDS file, started in the stored folder; false when it was cancelled.
bool ChooseDdsFile(const wchar_t* title, DWORD flags, std::wstring& path, size_t& nameOffset);
void OpenDroppedFile(HDROP drop);

// The view options: channel on show, exposure, checkerboard, texel values, save and copy. Each
// command runs only while idle (the busy rule) and changes no more than the picture.
// Whether the display image was composed for the checkerboard (blended over black).
extern bool g_bCheckered;
// The one way the picture on show is made from the record: the view options (channel,
// exposure, checkerboard) put in force, the surface decoded from the raw bytes in memory and
// composed in this mode over this colour. False when `progress` stopped it.
bool ComposePicture(int32_t mode, uint8_t red, uint8_t green, uint8_t blue,
                    ProgressCallback progress);
// The cross: wanted for a full cube while the option is on; its six faces read at the load
// (kLoadShown, kLoadFailed, kLoadStopped, or -1 when its memory cannot be had: the box says
// so and one face is shown); given back when it goes. DropHalfMadeImages lets the record's
// images and the cross go, so that nothing half-made is painted.
bool CrossWanted();
int ReadCross(const char* fileName);
void ReleaseCross();
void DropHalfMadeImages();
// All mipmap levels side by side: wanted while the option is on for a surface with levels; read
// at the load after the selection (ReadCross's answers; -1: the box said the memory cannot be
// had, the selected level alone is shown), composed again from memory, given back when they
// go. Left and Right select a level from memory while they are on show (false: not on show).
bool LevelsWanted();
int ReadLevels(const char* fileName);
void ReleaseLevels();
bool ComposeLevels(int32_t mode, uint8_t red, uint8_t green, uint8_t blue,
                   ProgressCallback progress);
ShownImage LevelsShown();
bool SelectShownLevel(int32_t level);
bool AllSidesShown(); // the cross, or a cross per level: no face to step to
extern bool g_bLevelsShown;
// The view options put in force on the record; the colour a picture is composed over.
uint32_t ApplyViewOptions(int32_t mode, uint8_t red, uint8_t green, uint8_t blue);
// The cursor over the picture on show (a point of its drawn size, tiles included) as a texel:
// g_CursorPixel within its level or picture, g_nCursorLevel the level with all levels (-1 none).
extern int32_t g_nCursorLevel;
void MapCursorToTexel(POINT shown);
bool CursorOnLevel();
std::string TexelValuesUnderCursor(); // empty when the cursor is on no texel
void StepExposure(int32_t step);      // 0 resets; formats without float data ignore it
// The status bar (StatusBar.cpp): the view part is the texel readout's and exposure's.
void SetStatusParts();
void ShowViewPart();   // the parts and the view part's text, after an option changed
void UpdateViewPart(); // the view part, when its text has changed
bool ViewPartWanted();
bool CursorOnPicture();             // off while the cross is shown
void CopyToClipboard(bool picture); // texel values under the cursor, else the picture
void SavePictureAsPng();
// Live reload: the file on show is looked at once its folder has been quiet after a change (on
// a polling timer where no change notification is had) and read again once it has changed and
// settled; a file that has gone keeps its picture and the title says so.
extern bool g_bShownFileDeleted;
void WatchShownFile(); // starts or stops the watch as the option says; the file as it is now
struct FileStamp;
FileStamp StampOf(const std::string& path); // size and last write time; none when it has gone
void ReloadTick();
void FolderChanged(); // a change in the folder of the file on show: looked at once it is quiet

// Runs `steps` as a load runs (busy, the progress bar, a request waiting for it); their answer.
int RunOperation(const std::function<int()>& steps);

// Compare (Compare.cpp): a second texture B at A's level and face, composed with A's view
// options. Shown() gives B or the difference picture through ComparedPixels (null: A).
bool Comparing();
void ChooseCompareFile();                  // the open dialog, then CompareWith
bool CompareWith(const std::string& path); // false, with a box saying why, when B cannot be had
void EndCompare();
void FlipCompare();    // Space: A or B
void ShowDifference(); // after the difference option changed
// The load's step: B's surface for A's new selection; compare ends when `fileName` is another
// file than A's, or with a box when B no longer fits. False when a request stopped it.
bool SyncSecond(const char* fileName);
void ComposeSecond(int32_t mode, uint32_t background); // after A is composed
const uint32_t* ComparedPixels();
const CDdsTexture& ShownTexture(); // the record whose texels are on show: B's while flipped
std::string CompareViewText();     // the status's view part: what is on show and the figures
void CompareReloadTick();          // B follows live reload

// Placement, title, background colour.
void PlaceWindow();
// Once the window is restored: places and fits a picture that was loaded while it was
// minimised.
void PlacePostponedPicture();
void UpdateTitle();
void ChooseBackgroundColour();
