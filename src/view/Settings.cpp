#include "view/Settings.h"

#include <algorithm>
#include <cstring>

ViewerSettings g_Settings;

namespace {
// Flag bits in order, each with the store version that first had it.
struct FlagBit {
    bool ViewerSettings::*field;
    uint32_t sinceVersion;
};
constexpr FlagBit kFlagBits[] = {
    {&ViewerSettings::showAlpha, 0},     {&ViewerSettings::useAlpha, 0},
    {&ViewerSettings::clipToMonitor, 0}, {&ViewerSettings::centerOnMonitor, 1},
    {&ViewerSettings::filterShrink, 1},  {&ViewerSettings::filterEnlarge, 1},
    {&ViewerSettings::wrapAround, 1},    {&ViewerSettings::autoZoom, 1},
    {&ViewerSettings::alwaysOnTop, 1},   {&ViewerSettings::dxt5AsNormalMap, 2},
    {&ViewerSettings::gpuExact, 3},
};
} // namespace

uint32_t EncodeColor(const ViewerSettings& s) {
    return s.backgroundColor.red | uint32_t(s.backgroundColor.green) << 8 |
           uint32_t(s.backgroundColor.blue) << 16;
}

void DecodeColor(uint32_t value, ViewerSettings& s) {
    s.backgroundColor.red = uint8_t(value);
    s.backgroundColor.green = uint8_t(value >> 8);
    s.backgroundColor.blue = uint8_t(value >> 16);
}

uint32_t EncodeWindowPos(const ViewerSettings& s) {
    return uint16_t(s.windowPos.x) | uint32_t(uint16_t(s.windowPos.y)) << 16;
}

void DecodeWindowPos(uint32_t value, ViewerSettings& s) {
    s.windowPos.x = int16_t(uint16_t(value));
    s.windowPos.y = int16_t(uint16_t(value >> 16));
}

constexpr uint32_t kCheckerboardBit = 1u << 11, kTexelReadoutBit = 1u << 12;
constexpr uint32_t kLiveReloadBit = 1u << 22, kCubeCrossBit = 1u << 23;
constexpr uint32_t kTileViewBit = 1u << 24, kAllLevelsBit = 1u << 25, kDifferenceBit = 1u << 26;
constexpr uint32_t kAutoRangeBit = 1u << 27, kNonFiniteUnmarkedBit = 1u << 28;
constexpr uint32_t kSrgbCurveBit = 1u << 29;
constexpr int kChannelShift = 13, kExposureShift = 16;
constexpr uint32_t kChannelMask = 7, kExposureMask = 63;

uint32_t EncodeFlags(const ViewerSettings& s) {
    uint32_t flags = 0;
    for (size_t i = 0; i < sizeof kFlagBits / sizeof kFlagBits[0]; ++i)
        if (s.*kFlagBits[i].field) flags |= 1u << i;
    if (s.checkerboard) flags |= kCheckerboardBit;
    if (s.texelReadout) flags |= kTexelReadoutBit;
    if (s.liveReload) flags |= kLiveReloadBit;
    if (s.cubeCross) flags |= kCubeCrossBit;
    if (s.tileView) flags |= kTileViewBit;
    if (s.allLevels) flags |= kAllLevelsBit;
    if (s.difference) flags |= kDifferenceBit;
    if (s.autoRange) flags |= kAutoRangeBit;
    if (!s.markNonFinite) flags |= kNonFiniteUnmarkedBit;
    if (s.srgbCurve) flags |= kSrgbCurveBit;
    flags |= (uint32_t(s.channel) & kChannelMask) << kChannelShift;
    flags |= (uint32_t(s.exposure) & kExposureMask) << kExposureShift;
    return flags;
}

void DecodeFlags(uint32_t flags, uint32_t version, ViewerSettings& s) {
    for (size_t i = 0; i < sizeof kFlagBits / sizeof kFlagBits[0]; ++i)
        if (version >= kFlagBits[i].sinceVersion) s.*kFlagBits[i].field = (flags >> i) & 1;
    if (version < kExtrasVersion) return;
    s.checkerboard = flags & kCheckerboardBit;
    s.texelReadout = flags & kTexelReadoutBit;
    s.liveReload = flags & kLiveReloadBit;
    s.cubeCross = flags & kCubeCrossBit;
    const int32_t channel = int32_t(flags >> kChannelShift & kChannelMask);
    s.channel = channel <= 4 ? channel : 0;
    // Six bits of two's complement.
    const int32_t exposure = int32_t(flags >> kExposureShift & kExposureMask);
    s.exposure = std::max(-kMaxStoredExposure,
                          std::min(kMaxStoredExposure, exposure >= 32 ? exposure - 64 : exposure));
    if (version < kCompareVersion) return;
    s.tileView = flags & kTileViewBit;
    s.allLevels = flags & kAllLevelsBit;
    s.difference = flags & kDifferenceBit;
    s.autoRange = flags & kAutoRangeBit;
    s.markNonFinite = !(flags & kNonFiniteUnmarkedBit);
    s.srgbCurve = flags & kSrgbCurveBit;
}

bool ApplyStoredSettings(const StoredSettings& stored, ViewerSettings& s) {
    bool complete = true;
    uint32_t version = 0;
    if (stored.regVer)
        version = *stored.regVer;
    else
        complete = false;
    if (stored.backgroundColor)
        DecodeColor(*stored.backgroundColor, s);
    else
        complete = false;
    if (stored.windowPos)
        DecodeWindowPos(*stored.windowPos, s);
    else
        complete = false;
    if (stored.flags)
        DecodeFlags(*stored.flags, version, s);
    else
        complete = false;
    if (stored.lastPath && stored.lastPath->size() < sizeof s.lastPath)
        std::memcpy(s.lastPath, stored.lastPath->c_str(), stored.lastPath->size() + 1);
    else
        complete = false;
    if (version >= 1) {
        if (stored.mouseWheel)
            s.mouseWheelMode = *stored.mouseWheel < kMouseWheelModes ? *stored.mouseWheel : 0;
        else
            complete = false;
    }
    return complete;
}

std::array<SettingsValue, 6> SettingsValues(const ViewerSettings& s) {
    return {{
        {"RegVer", false, kSettingsVersion, {}},
        {"BackgroundColor", false, EncodeColor(s), {}},
        {"WindowPos", false, EncodeWindowPos(s), {}},
        {"Flags", false, EncodeFlags(s), {}},
        {"LastPath", true, 0, s.lastPath},
        {"MouseWheel", false, s.mouseWheelMode, {}},
    }};
}
