// brixa-cli compare A B: how far B is from A, in the figures the viewer's compare shows, and an
// exit status a texture pipeline's check can use.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dds/DdsTexture.h"
#include "decode/Difference.h"
#include "io/PngWriter.h"

// main.cpp: a surface loaded as the other commands load it, what is wrong said as they say it;
// the status (0 when loaded).
int LoadForCommand(CDdsTexture& texture, const std::string& file, int32_t level, int32_t face);
// main.cpp: a text as a JSON string, quoted and escaped.
std::string JsonString(const std::string& s);

namespace {
const char kCompareUsage[] =
    "brixa-cli: usage: brixa-cli compare A.dds B.dds [--level N] [--face N] [--threshold DB]\n"
    "           [--diff OUT.png] [--json] (see brixa-cli --help)\n";

struct CompareOptions {
    std::string a, b, diff;
    int32_t level = 0, face = 0;
    bool json = false, thresholdGiven = false;
    double threshold = 0;
};

bool ParseWhole(const char* text, int32_t& value) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < 0 || v > INT32_MAX) return false;
    value = int32_t(v);
    return true;
}

bool ParseCompare(int argc, char** argv, CompareOptions& o) {
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool valued = a == "--level" || a == "--face" || a == "--threshold" || a == "--diff";
        if (valued && i + 1 >= argc) return false;
        if (a == "--json") {
            o.json = true;
        } else if (a == "--level" || a == "--face") {
            if (!ParseWhole(argv[++i], a == "--level" ? o.level : o.face)) return false;
        } else if (a == "--threshold") {
            char* end = nullptr;
            o.threshold = std::strtod(argv[++i], &end);
            if (!*argv[i] || *end || !std::isfinite(o.threshold)) return false;
            o.thresholdGiven = true;
        } else if (a == "--diff") {
            o.diff = argv[++i];
            if (o.diff.empty()) return false;
        } else if (a.size() > 1 && a[0] == '-') {
            return false;
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 2) return false;
    o.a = files[0];
    o.b = files[1];
    return true;
}

// Loads, decodes and composes one file's selected surface: its colours with its own alpha.
int Picture(CDdsTexture& t, const std::string& file, const CompareOptions& o) {
    const int status = LoadForCommand(t, file, o.level, o.face);
    if (status != 0) return status;
    if (!t.m_pRawData || t.m_nWidth <= 0 || t.m_nHeight <= 0) {
        std::fprintf(stderr, "brixa-cli: %s: %s: nothing to show\n", file.c_str(),
                     t.m_nFormat == TF_UNKNOWN ? "unknown format" : "empty surface");
        return 4;
    }
    t.DecodeAndCompose(COMPOSE_COLOR, 0, 0, 0);
    if (t.m_pDisplayImage) return 0;
    std::fprintf(stderr, "brixa-cli: %s: Not enough memory for the images of this surface !\n",
                 file.c_str());
    return 2;
}

std::string JsonPsnr(double psnr) {
    return std::isinf(psnr) ? "null" : FormatPsnr(psnr);
}

void PrintJson(const CompareOptions& o, const CDdsTexture& t, const DiffStats& s, bool withAlpha,
               bool pass) {
    static const char* const kNames[kDiffChannels] = {"r", "g", "b", "a"};
    std::string json =
        "{\"a\":" + JsonString(o.a) + ",\"b\":" + JsonString(o.b) +
        ",\"width\":" + std::to_string(t.m_nWidth) + ",\"height\":" + std::to_string(t.m_nHeight) +
        ",\"level\":" + std::to_string(t.m_nLevel) + ",\"face\":" + std::to_string(t.m_nLayer) +
        ",\"psnr\":" + JsonPsnr(OverallPsnr(s, withAlpha));
    for (int c = 0; c < (withAlpha ? kDiffChannels : 3); ++c)
        json += ",\"psnr_" + std::string(kNames[c]) + "\":" + JsonPsnr(ChannelPsnr(s, c));
    json += ",\"largest\":" + std::to_string(LargestDifference(s, withAlpha)) +
            ",\"scale\":" + FormatDifferenceScale(DifferenceScale(s)).substr(1) +
            ",\"pass\":" + (pass ? "true" : "false") + "}";
    std::printf("%s\n", json.c_str());
}
} // namespace

int RunCompare(int argc, char** argv) {
    CompareOptions o;
    if (!ParseCompare(argc, argv, o)) {
        std::fputs(kCompareUsage, stderr);
        return 1;
    }
    // A record of its own for each file, as the other commands keep them apart.
    CFileEx readerA, readerB;
    CDdsTexture a(readerA), b(readerB);
    int status = Picture(a, o.a, o);
    if (status == 0) status = Picture(b, o.b, o);
    if (status != 0) return status;
    if (a.m_nWidth != b.m_nWidth || a.m_nHeight != b.m_nHeight) {
        std::fprintf(
            stderr, "brixa-cli: %s\n",
            SizeMismatchText(o.a, a.m_nWidth, a.m_nHeight, o.b, b.m_nWidth, b.m_nHeight).c_str());
        return 1;
    }
    const size_t pixels = size_t(a.m_nWidth) * size_t(a.m_nHeight);
    DiffStats stats;
    AddDifferences(stats, a.m_pDisplayImage, b.m_pDisplayImage, pixels);
    const bool withAlpha = a.m_bHasAlpha || b.m_bHasAlpha;
    const bool pass = !o.thresholdGiven || !(OverallPsnr(stats, withAlpha) < o.threshold);
    if (!o.diff.empty()) {
        // The difference picture in place of A's image: A's figures are taken already.
        DifferenceRow(a.m_pDisplayImage, a.m_pDisplayImage, b.m_pDisplayImage, pixels,
                      LargestColourDifference(stats));
        std::string error;
        if (!WritePng(o.diff, a.m_pDisplayImage, uint32_t(a.m_nWidth), uint32_t(a.m_nHeight),
                      PngRows::kBottomUp, PngAlpha::kDrop, error)) {
            std::fprintf(stderr, "brixa-cli: %s\n", error.c_str());
            return 3;
        }
    }
    if (o.json)
        PrintJson(o, a, stats, withAlpha, pass);
    else
        std::printf("%s, difference scale %s\n", FormatDifferenceFigures(stats, withAlpha).c_str(),
                    FormatDifferenceScale(DifferenceScale(stats)).c_str());
    return pass ? 0 : 1;
}
