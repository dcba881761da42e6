// brixa-cli: the viewer's loading, decoding and composition on the command line.
#include <algorithm>
#include <cctype>
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

#include "Version.h"
#include "dds/DdsTexture.h"
#include "io/PngWriter.h"
#include "view/StatusText.h"

namespace {

#ifdef _WIN32
const char kPathSeparators[] = "\\/:";
#else
const char kPathSeparators[] = "/";
#endif

// A run over several files ends with the highest status any of them had.
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
    "  brixa-cli info --json FILE... [--level N] [--face N] [--nm]\n"
    "  brixa-cli export FILE OUT [--level N] [--face N] [--nm] [--exact] [--view MODE]\n"
    "                   [--background RRGGBB] [--raw] [--threads N]\n"
    "  brixa-cli export FILE... --out-dir DIR [--all-levels] [--all-faces] [options as above]\n"
    "  brixa-cli thumbnail IN OUT SIZE\n"
    "  brixa-cli --version\n"
    "\n"
    "info    loads the selected surface of a DDS file as the viewer does and prints the six\n"
    "        status bar texts, one per line (type, format, size, side or layer, mipmap,\n"
    "        memory; the fourth line is empty for plain textures). With --json: one JSON\n"
    "        object per file and line (file, format name and code, FourCC, DXGI format,\n"
    "        sizes, level, face or layer and array counts, flags, the status texts; \"error\"\n"
    "        with the message for a file that cannot be shown).\n"
    "export  also decodes and composes the surface as the viewer shows it, and writes it:\n"
    "        OUT ending in .bgra (or --raw) gets the display image's bytes exactly as held in\n"
    "        memory (bottom-up rows of blue, green, red, alpha; width x height x 4 bytes);\n"
    "        any other OUT gets a top-down PNG (RGB; RGBA with --view rgba).\n"
    "        With --out-dir, each FILE is written into DIR named after it (a.dds: a.png, or\n"
    "        a.bgra with --raw); --all-levels and --all-faces write every mipmap level and\n"
    "        every cube face, volume layer or array slice, adding _L1, _F3 to the name.\n"
    "thumbnail  writes the picture a file browser shows for IN as the PNG OUT, its longer\n"
    "        side at most SIZE (the smallest mipmap level that large, box-filtered)\n"
    "\n"
    "Options:\n"
    "  --level N          mipmap level, 0 for the largest (clamped to the last level)\n"
    "  --face N           cube face (counting the faces present), volume layer or array slice,\n"
    "                     from 0\n"
    "  --nm               treat DXT5 as DXT5_NM (normal map)\n"
    "  --exact            GPU-exact colours: every channel widened as Direct3D does\n"
    "                     (round(v x 255 / (2^n - 1))), DXT1's clear texels black, A8 black\n"
    "                     with its alpha, R8 red\n"
    "  --view MODE        color: colours alone; blend: colours over the background by alpha\n"
    "                     (the default); alpha: the alpha channel as grey; rgba: colours with\n"
    "                     their own alpha, straight (an RGBA PNG)\n"
    "  --background HEX   background colour as RRGGBB (default ff00ff)\n"
    "  --raw              write the .bgra bytes whatever OUT is called\n"
    "  --threads N        threads that decode and compose (default 0: one per core; never\n"
    "                     more than the cores)\n"
    "  --out-dir DIR      export several files into DIR (which must exist)\n"
    "  --all-levels       export every mipmap level (with --out-dir)\n"
    "  --all-faces        export every face, layer or slice (with --out-dir)\n"
    "  --json             info as JSON\n"
    "  --version          the program's version\n"
    "  --help             this text\n"
    "\n"
    "Errors go to stderr as \"brixa-cli: FILE: message\".\n"
    "Exit status: 0 shown (or the unknown-format notice printed); 1 bad arguments;\n"
    "2 the file is not a DDS file or its header is refused (\"Error loading file !\");\n"
    "3 the file could not be read, or OUT not written; 4 nothing to export (unknown format or\n"
    "empty surface, nothing written). With several files: the highest of their statuses.\n"
    "A progress bar appears on stderr when it is a terminal and the work takes over 250 ms;\n"
    "with several files, a line counts them there too.\n";

struct Options {
    std::string command;
    std::vector<std::string> files;
    std::string out, outDir;
    int32_t level = 0, face = 0, threads = 0;
    bool nm = false, exact = false, raw = false, json = false, allLevels = false, allFaces = false;
    int32_t mode = COMPOSE_BLEND;
    bool keepAlpha = false; // --view rgba
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

std::string ParseView(const char* text, Options& o) {
    static const struct {
        const char* name;
        int32_t mode;
        bool keepAlpha;
    } kViews[] = {{"color", COMPOSE_COLOR, false},
                  {"blend", COMPOSE_BLEND, false},
                  {"alpha", COMPOSE_ALPHA, false},
                  {"rgba", COMPOSE_COLOR, true}};
    for (const auto& view : kViews) {
        if (std::strcmp(text, view.name) == 0) {
            o.mode = view.mode;
            o.keepAlpha = view.keepAlpha;
            return "";
        }
    }
    return "--view takes color, blend, alpha or rgba";
}

// The options: a flag sets its field; one with a value parses it and returns what is wrong
// with it (empty when good).
struct Flag {
    const char* name;
    bool Options::*field;
};
const Flag kFlags[] = {
    {"--nm", &Options::nm},
    {"--exact", &Options::exact},
    {"--raw", &Options::raw},
    {"--json", &Options::json},
    {"--all-levels", &Options::allLevels},
    {"--all-faces", &Options::allFaces},
};

struct ValueOption {
    const char* name;
    std::string (*apply)(const char* value, Options& o);
};
const ValueOption kValueOptions[] = {
    {"--level",
     [](const char* v, Options& o) -> std::string {
         return ParseInt(v, o.level) ? "" : "--level needs a whole number from 0";
     }},
    {"--face",
     [](const char* v, Options& o) -> std::string {
         return ParseInt(v, o.face) ? "" : "--face needs a whole number from 0";
     }},
    {"--threads",
     [](const char* v, Options& o) -> std::string {
         return ParseInt(v, o.threads) ? "" : "--threads needs a whole number from 0";
     }},
    {"--view", ParseView},
    {"--background",
     [](const char* v, Options& o) -> std::string {
         return ParseColour(v, o.bg) ? "" : "--background takes six hex digits RRGGBB";
     }},
    {"--out-dir",
     [](const char* v, Options& o) -> std::string {
         o.outDir = v;
         return *v ? "" : "--out-dir needs a folder";
     }},
};

// What is wrong with the positional arguments of a command (empty when good).
std::string CheckCommand(const std::vector<std::string>& positional, Options& o) {
    if (positional.empty()) return "no command given";
    o.command = positional[0];
    o.files.assign(positional.begin() + 1, positional.end());
    const bool several = o.command == "info" ? o.json : !o.outDir.empty();
    if (o.command != "info" && o.command != "export") return "unknown command " + o.command;
    if ((o.json && o.command != "info") || (!o.outDir.empty() && o.command != "export"))
        return "--json is for info, --out-dir for export";
    if ((o.allLevels || o.allFaces) && o.outDir.empty())
        return "--all-levels and --all-faces need --out-dir";
    if (o.command == "export" && !several) {
        if (o.files.size() != 2) return "wrong number of arguments for export";
        o.out = o.files.back();
        o.files.pop_back();
        // `export a.dds b.dds` without --out-dir would write over the second texture.
        std::string ext = o.out.size() >= 4 ? o.out.substr(o.out.size() - 4) : "";
        for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
        if (ext == ".dds") return "OUT " + o.out + " is a .dds file: several files need --out-dir";
    }
    if (o.files.empty() || (!several && o.files.size() != 1))
        return "wrong number of arguments for " + o.command;
    return "";
}

// Returns an empty string when the arguments are good, else what is wrong.
std::string ParseArgs(int argc, char** argv, Options& o) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h" || a == "--version") {
            o.command = a == "--version" ? "version" : "help";
            return "";
        }
        const auto flag = std::find_if(std::begin(kFlags), std::end(kFlags),
                                       [&](const Flag& f) { return a == f.name; });
        const auto option = std::find_if(std::begin(kValueOptions), std::end(kValueOptions),
                                         [&](const ValueOption& v) { return a == v.name; });
        if (flag != std::end(kFlags)) {
            o.*flag->field = true;
        } else if (option != std::end(kValueOptions)) {
            if (i + 1 >= argc) return a + " needs a value";
            const std::string problem = option->apply(argv[++i], o);
            if (!problem.empty()) return problem;
        } else if (a.size() > 1 && a[0] == '-') {
            return "unknown option " + a;
        } else {
            positional.push_back(a);
        }
    }
    return CheckCommand(positional, o);
}

// The progress bar: stages read and decode (composed as it goes), shown after 250 ms on a
// terminal, behind the count of files when there are several.
struct Progress {
    std::chrono::steady_clock::time_point start;
    int stage = 0;
    bool terminal = false;
    bool shown = false;
    std::string prefix; // "[2/9] " with several files
} g_progress;

int ShowProgress(uint32_t done, uint32_t total, uintptr_t) {
    if (!g_progress.terminal || total == 0) return 1;
    auto elapsed = std::chrono::steady_clock::now() - g_progress.start;
    if (elapsed < std::chrono::milliseconds(250)) return 1;
    static const char* const kStages[] = {"reading", "decoding"};
    const int percent = int(uint64_t(done) * 100 / total);
    const int filled = percent * 30 / 100;
    std::fprintf(stderr, "\r%s%-10s [%.*s%*s] %3d%%", g_progress.prefix.c_str(),
                 kStages[g_progress.stage], filled, "==============================", 30 - filled,
                 "", percent);
    g_progress.shown = true;
    return 1;
}

void EndProgress() {
    if (g_progress.shown) std::fprintf(stderr, "\r%70s\r", "");
    g_progress.shown = false;
}

// The line that counts the files, on a terminal, while there are several.
void ShowFileCount(size_t index, size_t count, const std::string& file) {
    if (!g_progress.terminal || count < 2) return;
    g_progress.prefix = "[" + std::to_string(index + 1) + "/" + std::to_string(count) + "] ";
    std::string line = g_progress.prefix + file;
    if (line.size() > 69) line = line.substr(0, 66) + "...";
    std::fprintf(stderr, "\r%-69s", line.c_str());
    g_progress.shown = true;
}

// "brixa-cli: " and the message (with the file it is about, when there is one), line ends
// of the system's texts removed.
void PrintError(const std::string& file, const std::string& text) {
    EndProgress();
    std::string t = text;
    while (!t.empty() && (t.back() == '\n' || t.back() == '\r')) t.pop_back();
    std::fprintf(stderr, "brixa-cli: %s%s%s\n", file.c_str(), file.empty() ? "" : ": ", t.c_str());
}

bool EndsWith(const std::string& s, const char* suffix) {
    size_t n = std::strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

// Loads a surface; on failure says so and returns the status (kExitOk when loaded).
int Load(CDdsTexture& texture, const std::string& file, const Options& o, int32_t level,
         int32_t face, std::string* error = nullptr) {
    g_progress.start = std::chrono::steady_clock::now();
    g_progress.stage = 0;
    texture.Load(file.c_str(), level, face, nullptr, o.nm, ShowProgress);
    const LoadError& e = texture.m_LastError;
    if (e.kind == LoadError::kNone) return kExitOk;
    PrintError(file, e.text);
    if (error) *error = e.text.substr(0, e.text.find_last_not_of("\r\n") + 1);
    return e.kind == LoadError::kRefused ? kExitRefused : kExitReader;
}

// Decodes, composes and writes the loaded surface to `out`.
int Export(CDdsTexture& texture, const std::string& file, const std::string& out,
           const Options& o) {
    if (!texture.m_pRawData || texture.m_nWidth <= 0 || texture.m_nHeight <= 0) {
        PrintError(file, texture.m_szFormatName);
        return kExitNoSurface;
    }
    g_progress.stage = 1;
    texture.m_bExact = o.exact;
    texture.DecodeAndCompose(o.mode, o.bg[0], o.bg[1], o.bg[2], ShowProgress);
    if (!texture.m_pDisplayImage) {
        PrintError(file, "Not enough memory for the images of this surface !");
        return kExitRefused;
    }
    EndProgress();

    const uint32_t w = uint32_t(texture.m_nWidth), h = uint32_t(texture.m_nHeight);
    std::string error;
    const bool ok = o.raw || EndsWith(out, ".bgra")
                        ? WriteWholeFile(out, texture.m_pDisplayImage, size_t(w) * h * 4, error)
                        : WritePng(out, texture.m_pDisplayImage, w, h, PngRows::kBottomUp,
                                   o.keepAlpha ? PngAlpha::kKeep : PngAlpha::kDrop, error);
    if (!ok) {
        PrintError("", error);
        return kExitReader;
    }
    return kExitOk;
}

// DIR/NAME_L1_F3.png for the file DIR/.../NAME.dds.
std::string OutputName(const Options& o, const std::string& file, int32_t level, int32_t face) {
    std::string name = file.substr(file.find_last_of(kPathSeparators) + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    if (o.allLevels) name += "_L" + std::to_string(level);
    if (o.allFaces) name += "_F" + std::to_string(face);
    const char* sep = std::strchr(kPathSeparators, o.outDir.back()) ? "" : "/";
    return o.outDir + sep + name + (o.raw ? ".bgra" : ".png");
}

// Every selected surface of one file into the output folder; the worst status.
int ExportAll(CDdsTexture& texture, const std::string& file, const Options& o) {
    int worst = kExitOk;
    const int32_t firstLevel = o.allLevels ? 0 : o.level;
    for (int32_t level = firstLevel;; ++level) {
        const int32_t firstFace = o.allFaces ? 0 : o.face;
        for (int32_t face = firstFace;; ++face) {
            const int status = Load(texture, file, o, level, face);
            if (status != kExitOk) return std::max(worst, status);
            // A level or face past the last is clamped: that one was written already.
            if (level > firstLevel && texture.m_nLevel != level) return worst;
            if (face > firstFace && texture.m_nLayer != face) break;
            worst = std::max(worst, Export(texture, file, OutputName(o, file, level, face), o));
            if (!o.allFaces || face + 1 >= texture.SurfaceCount()) break;
        }
        if (!o.allLevels || level + 1 >= texture.LevelCount()) return worst;
    }
}

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

std::string InfoJson(const CDdsTexture& t, const std::string& file) {
    const dds::DdsHead& h = t.m_Header;
    const uint32_t fourCC = h.ddspf.dwFourCC;
    const std::string fourCCText(reinterpret_cast<const char*>(&fourCC), 4);
    // A FourCC of four printable characters as text, any other as its number.
    const bool printable = std::all_of(fourCCText.begin(), fourCCText.end(),
                                       [](char c) { return c >= 0x20 && c < 0x7F; });
    std::string json =
        "{\"file\":" + JsonString(file) + ",\"format\":" + JsonString(t.m_szFormatName) +
        ",\"formatCode\":" + std::to_string(t.m_nFormat) + ",\"fourCC\":" +
        (!fourCC     ? "null"
         : printable ? JsonString(fourCCText)
                     : std::to_string(fourCC)) +
        ",\"dxgiFormat\":" + (t.m_bDx10 ? std::to_string(t.m_Dx10.dxgiFormat) : "null");
    const std::pair<const char*, int64_t> numbers[] = {
        {"width", t.m_nWidth},
        {"height", t.m_nHeight},
        {"depth", h.dwDepth},
        {"level", t.m_nLevel},
        {"levels", t.LevelCount()},
        {"faceOrLayer", t.m_nLayer},
        {"surfaces", std::max(1, t.SurfaceCount())},
        {"arraySize", t.m_bDx10 ? t.m_Dx10.arraySize : 1},
        {"flags", h.dwFlags},
        {"pixelFormatFlags", h.ddspf.dwFlags},
        {"caps", h.dwCaps},
        {"caps2", h.dwCaps2},
        {"surfaceBytes", t.m_nRawSize},
        {"dataBytes", t.m_nFileDataSize},
    };
    for (const auto& n : numbers)
        json += ",\"" + std::string(n.first) + "\":" + std::to_string(n.second);
    const std::pair<const char*, bool> facts[] = {{"cubeMap", t.m_bCubeMap},
                                                  {"volume", t.m_bVolume},
                                                  {"array", t.m_bArray},
                                                  {"hasAlpha", t.m_bHasAlpha},
                                                  {"dx10", t.m_bDx10}};
    for (const auto& f : facts)
        json += ",\"" + std::string(f.first) + "\":" + (f.second ? "true" : "false");
    json += ",\"status\":[";
    const char* comma = "";
    for (const std::string& part : FormatStatusTexts(StatusFactsOf(t))) {
        json += comma + JsonString(part);
        comma = ",";
    }
    return json + "]}";
}

int Run(const Options& o) {
    CFileEx reader;
    CDdsTexture texture(reader);
    texture.m_nThreads = uint32_t(o.threads);
    g_progress.terminal = isatty(fileno(stderr)) != 0;
    int worst = kExitOk;
    for (size_t i = 0; i < o.files.size(); ++i) {
        const std::string& file = o.files[i];
        ShowFileCount(i, o.files.size(), file);
        int status;
        if (o.command == "info") {
            std::string error;
            status = Load(texture, file, o, o.level, o.face, &error);
            if (o.json) {
                std::printf("%s\n", status == kExitOk ? InfoJson(texture, file).c_str()
                                                      : ("{\"file\":" + JsonString(file) +
                                                         ",\"error\":" + JsonString(error) + "}")
                                                            .c_str());
            } else if (status == kExitOk) {
                for (const std::string& part : FormatStatusTexts(StatusFactsOf(texture)))
                    std::printf("%s\n", part.c_str());
            }
        } else if (!o.outDir.empty()) {
            status = ExportAll(texture, file, o);
        } else {
            status = Load(texture, file, o, o.level, o.face);
            if (status == kExitOk) status = Export(texture, file, o.out, o);
        }
        worst = std::max(worst, status);
    }
    EndProgress();
    return worst;
}

} // namespace

int RunThumbnail(int argc, char** argv); // Thumbnail.cpp

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "thumbnail") == 0) return RunThumbnail(argc - 1, argv + 1);
    Options o;
    std::string problem = ParseArgs(argc, argv, o);
    if (o.command == "help" || o.command == "version") {
        std::fputs(o.command == "help" ? kUsage : "brixa-cli " BRIXA_VERSION "\n", stdout);
        return kExitOk;
    }
    if (!problem.empty()) {
        std::fprintf(stderr, "brixa-cli: %s\n\n%s", problem.c_str(), kUsage);
        return kExitUsage;
    }
    return Run(o);
}
