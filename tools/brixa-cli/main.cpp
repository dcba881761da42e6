// brixa-cli: the viewer's loading, decoding and composition on the command line.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "dds/DdsTexture.h"
#include "io/PngWriter.h"
#include "view/StatusText.h"

namespace {

enum ExitCode {
    kExitOk = 0,
    kExitUsage = 1,
    kExitRefused = 2,   // the viewer's "Error loading file !"
    kExitReader = 3,    // the viewer's "Error..." box
    kExitNoSurface = 4, // nothing to export (unknown format, empty surface)
};

const char kUsage[] =
    "Usage:\n"
    "  brixa-cli info FILE [--level N] [--face N] [--nm]\n"
    "  brixa-cli export FILE OUT [--level N] [--face N] [--nm] [--view color|blend|alpha]\n"
    "                   [--background RRGGBB] [--raw] [--threads N]\n"
    "\n"
    "info    loads the selected surface of a DDS file as the viewer does and prints the six\n"
    "        status bar texts, one per line (type, format, size, side or layer, mipmap,\n"
    "        memory; the fourth line is empty for plain textures).\n"
    "export  also decodes and composes the surface as the viewer shows it, and writes it:\n"
    "        OUT ending in .bgra (or --raw) gets the display image's bytes exactly as held in\n"
    "        memory (bottom-up rows of blue, green, red, alpha; width x height x 4 bytes);\n"
    "        any other OUT gets an opaque top-down RGB PNG.\n"
    "\n"
    "Options:\n"
    "  --level N          mipmap level, 0 for the largest (clamped to the last level)\n"
    "  --face N           cube face (counting the faces present), volume layer or array slice,\n"
    "                     from 0\n"
    "  --nm               treat DXT5 as DXT5_NM (normal map)\n"
    "  --view MODE        color: colours alone; blend: colours over the background by alpha\n"
    "                     (the default); alpha: the alpha channel as grey\n"
    "  --background HEX   background colour as RRGGBB (default ff00ff)\n"
    "  --raw              write the .bgra bytes whatever OUT is called\n"
    "  --threads N        threads that decode and compose (default 0: one per core; never\n"
    "                     more than the cores)\n"
    "  --help             this text\n"
    "\n"
    "Exit status: 0 shown (or the unknown-format notice printed); 1 bad arguments;\n"
    "2 the file is not a DDS file or its header is refused (\"Error loading file !\");\n"
    "3 the file could not be read, or OUT not written (the message on stderr); 4 nothing to\n"
    "export "
    "(unknown format or empty surface; the format name on stderr, nothing written).\n"
    "A progress bar appears on stderr when it is a terminal and the work takes over 250 ms.\n";

struct Options {
    std::string command, file, out;
    int32_t level = 0, face = 0, threads = 0;
    bool nm = false, raw = false;
    int32_t mode = COMPOSE_BLEND;
    uint8_t bg[3] = {0xFF, 0x00, 0xFF};
};

bool ParseInt(const char* text, int32_t& value) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < 0 || v > INT32_MAX) return false;
    value = int32_t(v);
    return true;
}

bool ParseColour(const char* text, uint8_t rgb[3]) {
    if (std::strlen(text) != 6) return false;
    for (int i = 0; i < 6; ++i)
        if (!std::strchr("0123456789abcdefABCDEF", text[i])) return false;
    unsigned long v = std::strtoul(text, nullptr, 16);
    rgb[0] = uint8_t(v >> 16);
    rgb[1] = uint8_t(v >> 8);
    rgb[2] = uint8_t(v);
    return true;
}

// Returns an empty string when the arguments are good, else what is wrong.
std::string ParseArgs(int argc, char** argv, Options& o) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (a == "--help" || a == "-h") {
            o.command = "help";
            return "";
        } else if (a == "--nm") {
            o.nm = true;
        } else if (a == "--raw") {
            o.raw = true;
        } else if (a == "--level" || a == "--face" || a == "--threads") {
            const char* v = value();
            int32_t& target = a == "--level" ? o.level : a == "--face" ? o.face : o.threads;
            if (!v || !ParseInt(v, target)) return a + " needs a whole number from 0";
        } else if (a == "--view") {
            const char* v = value();
            std::string m = v ? v : "";
            if (m == "color")
                o.mode = COMPOSE_COLOR;
            else if (m == "blend")
                o.mode = COMPOSE_BLEND;
            else if (m == "alpha")
                o.mode = COMPOSE_ALPHA;
            else
                return "--view takes color, blend or alpha";
        } else if (a == "--background") {
            const char* v = value();
            if (!v || !ParseColour(v, o.bg)) return "--background takes six hex digits RRGGBB";
        } else if (a.size() > 1 && a[0] == '-') {
            return "unknown option " + a;
        } else {
            positional.push_back(a);
        }
    }
    if (positional.empty()) return "no command given";
    o.command = positional[0];
    size_t want = o.command == "info" ? 2 : o.command == "export" ? 3 : 0;
    if (!want) return "unknown command " + o.command;
    if (positional.size() != want) return "wrong number of arguments for " + o.command;
    o.file = positional[1];
    if (want == 3) o.out = positional[2];
    return "";
}

// The progress bar: stages read, decode, compose, shown after 250 ms on a terminal.
struct Progress {
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    int stage = 0;
    bool terminal = false;
    bool shown = false;
} g_progress;

int ShowProgress(uint32_t done, uint32_t total, uintptr_t) {
    if (!g_progress.terminal || total == 0) return 1;
    auto elapsed = std::chrono::steady_clock::now() - g_progress.start;
    if (elapsed < std::chrono::milliseconds(250)) return 1;
    static const char* const kStages[] = {"reading", "decoding", "composing"};
    const int percent = int(uint64_t(done) * 100 / total);
    const int filled = percent * 30 / 100;
    std::fprintf(stderr, "\r%-10s [%.*s%*s] %3d%%", kStages[g_progress.stage], filled,
                 "==============================", 30 - filled, "", percent);
    g_progress.shown = true;
    return 1;
}

void EndProgress() {
    if (g_progress.shown) std::fprintf(stderr, "\r%50s\r", "");
    g_progress.shown = false;
}

void PrintError(const std::string& text) {
    std::string t = text;
    while (!t.empty() && (t.back() == '\n' || t.back() == '\r')) t.pop_back();
    std::fprintf(stderr, "%s\n", t.c_str());
}

bool WriteBgra(const std::string& path, const uint32_t* image, size_t pixels, std::string& error) {
    FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f && std::fwrite(image, 4, pixels, f) == pixels && std::fflush(f) == 0;
    if (!ok) error = WriteError(path);
    if (f && std::fclose(f) != 0 && ok) {
        error = WriteError(path);
        ok = false;
    }
    return ok;
}

bool EndsWith(const std::string& s, const char* suffix) {
    size_t n = std::strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

int Run(const Options& o) {
    CFileEx reader;
    CDdsTexture texture(reader);
    texture.m_nThreads = uint32_t(o.threads);
    g_progress.terminal = isatty(fileno(stderr)) != 0;

    g_progress.stage = 0;
    texture.Load(o.file.c_str(), o.level, o.face, nullptr, o.nm, ShowProgress);
    EndProgress();
    switch (texture.m_LastError.kind) {
    case LoadError::kRefused: PrintError(texture.m_LastError.text); return kExitRefused;
    case LoadError::kReader: PrintError(texture.m_LastError.text); return kExitReader;
    case LoadError::kNone: break;
    }

    if (o.command == "info") {
        for (const std::string& part : FormatStatusTexts(StatusFactsOf(texture)))
            std::printf("%s\n", part.c_str());
        return kExitOk;
    }

    if (!texture.m_pRawData || texture.m_nWidth <= 0 || texture.m_nHeight <= 0) {
        PrintError(texture.m_szFormatName);
        return kExitNoSurface;
    }
    g_progress.stage = 1;
    texture.DecodeSurface(ShowProgress);
    if (!texture.m_pDisplayImage) {
        EndProgress();
        PrintError("Not enough memory for the images of this surface !");
        return kExitRefused;
    }
    g_progress.stage = 2;
    texture.Compose(o.mode, o.bg[0], o.bg[1], o.bg[2], ShowProgress);
    EndProgress();

    std::string error;
    bool ok;
    if (o.raw || EndsWith(o.out, ".bgra")) {
        ok = WriteBgra(o.out, texture.m_pDisplayImage,
                       size_t(texture.m_nWidth) * size_t(texture.m_nHeight), error);
    } else {
        ok = WritePng(o.out, texture.m_pDisplayImage, uint32_t(texture.m_nWidth),
                      uint32_t(texture.m_nHeight), PngRows::kBottomUp, PngAlpha::kDrop, error);
    }
    if (!ok) {
        PrintError(error);
        return kExitReader;
    }
    return kExitOk;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    std::string problem = ParseArgs(argc, argv, o);
    if (o.command == "help") {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (!problem.empty()) {
        std::fprintf(stderr, "brixa-cli: %s\n\n%s", problem.c_str(), kUsage);
        return kExitUsage;
    }
    return Run(o);
}
