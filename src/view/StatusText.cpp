#include "view/StatusText.h"

#include <cstdio>

#include "dds/AlphaMode.h"
#include "dds/DdsTexture.h"

namespace {
template <class... Args> std::string Print(const char* format, Args... args) {
    char text[kTextBufferSize];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}
} // namespace

std::array<std::string, kStatusParts> FormatStatusTexts(const StatusFacts& f) {
    std::array<std::string, kStatusParts> parts;
    parts[0] = " Type: DDS";
    parts[1] = Print(" Format: %s", f.formatName.c_str());
    parts[2] = Print(" Size: %ix%i", f.width, f.height);
    if (f.cubeMap && f.allSides)
        parts[3] = " Side: all";
    else if (f.cubeMap)
        parts[3] = Print(" Side: %lli/%i", f.faceOrLayer + 1LL, f.surfaceCount);
    else if (f.volume)
        parts[3] = Print(" Layer: %lli/%i", f.faceOrLayer + 1LL, f.surfaceCount);
    else if (f.array)
        parts[3] = Print(" Array: %lli/%i", f.faceOrLayer + 1LL, f.surfaceCount);
    // Counted in 64 bits: a selection of INT32_MAX shows as 2147483648, never as a negative.
    const long long mips = f.mipMapCount > 1 ? (long long)f.mipMapCount : 1;
    parts[4] = Print(" MipMap: %lli/%lli", f.level + 1LL, mips);
    parts[5] = Print(" Mem: %.01fKB/%.01fKB", f.rawSize / 1024.0, f.fileDataSize / 1024.0);
    return parts;
}

std::string FormatViewText(bool exposureShown, int32_t exposure, const std::string& texel) {
    std::string text = exposureShown ? Print(" EV %+d", exposure) : "";
    if (!texel.empty()) text += Print(" %s", texel.c_str());
    return text;
}

StatusFacts StatusFactsOf(const CDdsTexture& t) {
    StatusFacts f;
    // The alpha mode the file gives, for a format that is shown.
    f.formatName = t.m_szFormatName;
    if (t.m_nFormat != TF_UNKNOWN)
        f.formatName += AlphaModeSuffix(AlphaModeOf(t.m_nFormat, t.m_bDx10, t.m_Dx10.miscFlags2));
    f.level = t.m_nLevel;
    f.faceOrLayer = t.m_nLayer;
    f.mipMapCount = t.m_Header.dwMipMapCount;
    f.fileDataSize = t.m_nFileDataSize;
    if (t.m_nFormat == TF_UNKNOWN) {
        f.width = int32_t(t.m_Header.dwWidth);
        f.height = int32_t(t.m_Header.dwHeight);
        return f;
    }
    f.width = t.m_nWidth;
    f.height = t.m_nHeight;
    f.cubeMap = t.m_bCubeMap;
    f.volume = !t.m_bCubeMap && t.m_bVolume;
    f.array = !t.m_bCubeMap && !t.m_bVolume && t.m_bArray;
    f.surfaceCount = t.m_nSurfaceCount;
    f.rawSize = t.m_pRawData ? t.m_nRawSize : 0;
    return f;
}

std::string OutOfMemoryText(uint32_t width, uint32_t height) {
    uint32_t work = 0, display = 0;
    ImageBytes(width, height, work, display);
    return OutOfMemoryText(width, height, display); // the display image: no work image is kept
}

std::string OutOfMemoryText(uint32_t width, uint32_t height, uint64_t bytes) {
    return Print("Not enough memory to show this picture.\n\nSize: %ux%u, images: %.1f MB", width,
                 height, double(bytes) / (1024.0 * 1024.0));
}
