// The viewer's options, their defaults and how they are encoded in the settings store.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

constexpr size_t kPathBufferSize = 260;

struct ViewerSettings {
    bool showAlpha = false;
    bool useAlpha = true;
    bool clipToMonitor = true;
    bool centerOnMonitor = true;
    bool filterShrink = true;
    bool filterEnlarge = false;
    bool wrapAround = true;
    bool autoZoom = true;
    bool alwaysOnTop = false;
    bool dxt5AsNormalMap = false;
    // Channels widened as Direct3D does, instead of the viewer's own shift-only look.
    bool gpuExact = false;
    struct Colour {
        uint8_t red = 255, green = 0, blue = 255;
    } backgroundColor;
    struct Position {
        int16_t x = 50, y = 50; // the outer top-left corner, in screen pixels
    } windowPos;
    char lastPath[kPathBufferSize] =
        {};                      // the current file's folder (UTF-8), ending with a backslash
    uint32_t mouseWheelMode = 0; // 0 cycle files; 1..4 zoom by 5, 10, 25, 50 %
    // The view options, all off by default.
    bool checkerboard = false; // blend over a grey checkerboard instead of the colour
    bool texelReadout = false; // the values of the texel under the cursor in the status bar
    int32_t channel = 0;       // 0 all; 1, 2, 3, 4 red, green, blue, alpha alone as grey
    int32_t exposure = 0;      // stops, for float, half and BC6H surfaces
    bool liveReload = false;   // the file on show read again when it changes on disk
    bool cubeCross = false;    // a full cube map's six faces unfolded as a cross
    bool tileView = false;     // the picture repeated 3 x 3, so that seams show
    bool allLevels = false;    // the whole mipmap chain side by side, level 0 first
    bool difference = false;   // while comparing: |A - B| per channel instead of A or B
    bool autoRange = false;    // float data: the finite minimum..maximum mapped to 0..1
    bool markNonFinite = true; // with auto range: NaN magenta, +Inf white, -Inf and negatives cyan
    bool srgbCurve = false;    // float data: the sRGB transfer curve before the byte conversion
};

// The program's one settings record.
extern ViewerSettings g_Settings;

constexpr uint32_t kSettingsVersion = 4;
// Flags of version 3: bit 11 checkerboard, bit 12 texel values, bits 13-15 the channel on show
// (0..4), bits 16-21 the exposure in stops (two's complement, kept within kMaxStoredExposure),
// bit 22 live reload, bit 23 cube maps as a cross.
// Flags of version 4: bit 24 tile view, bit 25 all levels, bit 26 difference, bit 27 auto range,
// bit 28 NaN and Inf left unmarked (set when markNonFinite is off, so that older stores read as
// on), bit 29 the sRGB curve.
// Older programs read only the bits they know.
constexpr uint32_t kExtrasVersion = 3;
constexpr uint32_t kCompareVersion = 4;
constexpr int32_t kMaxStoredExposure = 16;
constexpr uint32_t kMouseWheelModes = 5;

// The four numeric encodings of the store.
uint32_t EncodeColor(const ViewerSettings& s);
void DecodeColor(uint32_t value, ViewerSettings& s);
uint32_t EncodeWindowPos(const ViewerSettings& s);
void DecodeWindowPos(uint32_t value, ViewerSettings& s);
uint32_t EncodeFlags(const ViewerSettings& s);
// Only the bits that the store's version knows are taken; the others keep their values.
void DecodeFlags(uint32_t flags, uint32_t version, ViewerSettings& s);

// The six values as read from the store; an empty one was missing or could not be read.
struct StoredSettings {
    std::optional<uint32_t> regVer;
    std::optional<uint32_t> backgroundColor;
    std::optional<uint32_t> windowPos;
    std::optional<uint32_t> flags;
    std::optional<std::string> lastPath;
    std::optional<uint32_t> mouseWheel;
};

// Takes what was read into the record; returns false when the set was incomplete (then the
// whole set is written back at once). A LastPath too long for the buffer counts as missing
// and leaves lastPath as it was; a MouseWheel beyond the five modes reads as 0.
bool ApplyStoredSettings(const StoredSettings& stored, ViewerSettings& s);

// One value as written, in the order of writing.
struct SettingsValue {
    const char* name;
    bool isText; // REG_SZ (with its terminating zero) instead of REG_DWORD
    uint32_t number;
    std::string text;
};
std::array<SettingsValue, 6> SettingsValues(const ViewerSettings& s);
