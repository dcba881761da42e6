#include "dds/AlphaMode.h"

#include "dds/DdsFormat.h"

namespace {
const char* const kNames[] = {"unknown", "straight", "premultiplied", "opaque", "custom"};
const char* const kSuffixes[] = {"", " (straight)", " (premultiplied)", " (opaque)", " (custom)"};
} // namespace

int32_t AlphaModeOf(int32_t format, bool dx10, uint32_t miscFlags2) {
    if (format == TF_DXT2 || format == TF_DXT4) return ALPHA_MODE_PREMULTIPLIED;
    const uint32_t mode = dx10 ? miscFlags2 & 7 : 0;
    return mode <= ALPHA_MODE_CUSTOM ? int32_t(mode) : ALPHA_MODE_UNKNOWN;
}

const char* AlphaModeName(int32_t mode) {
    return mode >= 0 && mode <= ALPHA_MODE_CUSTOM ? kNames[mode] : kNames[0];
}

const char* AlphaModeSuffix(int32_t mode) {
    return mode >= 0 && mode <= ALPHA_MODE_CUSTOM ? kSuffixes[mode] : kSuffixes[0];
}
