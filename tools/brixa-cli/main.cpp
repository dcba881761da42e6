// brixa-cli: the viewer's loading, decoding and composition on the command line.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>
#include <shellapi.h>
#define isatty _isatty
#define fileno _fileno
#define getpid _getpid
#else
#include <unistd.h>
#endif

#include "Version.h"
#include "dds/AlphaMode.h"
#include "dds/DdsTexture.h"
#include "dds/ImageBuffer.h"
#include "dds/SurfaceStream.h"
#include "decode/Compose.h"
#include "decode/RowBands.h"
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
    "  brixa-cli info FILE... [--json] [--level N] [--face N] [--nm]\n"
    "  brixa-cli export FILE OUT [--level N] [--face N] [--nm] [--exact] [--view MODE]\n"
    "                   [--background RRGGBB] [--raw] [--threads N] [--quiet]\n"
    "                   [--auto-range] [--srgb-curve]\n"
    "  brixa-cli export FILE... --out-dir DIR [--all-levels] [--all-faces] [options as above]\n"
    "  brixa-cli thumbnail IN OUT SIZE\n"
    "  brixa-cli compare A B [--level N] [--face N] [--threshold DB] [--diff OUT.png] [--json]\n"
    "  brixa-cli --version\n"
    "\n"
    "FILE - reads the DDS file from standard input; OUT - writes standard output.\n"
    "\n"
    "info    loads the selected surface of each DDS file as the viewer does and prints the six\n"
    "        status bar texts, one per line (type, format, size, side or layer, mipmap,\n"
    "        memory; the fourth line is empty for plain textures); with several files, each\n"
    "        block headed by the file's name. With --json: one JSON object per file and line\n"
    "        (file, format name and code, FourCC as text, DXGI format, sRGB, alpha mode, sizes,\n"
    "        file size, level, face or layer and array counts, flags, the status texts,\n"
    "        \"supported\";\n"
    "        \"error\" with the message for a file that cannot be read).\n"
    "export  also decodes and composes the surface, and writes it:\n"
    "        OUT ending in .png (or without an extension) gets a PNG: the colours with the\n"
    "        texture's own alpha (RGBA) when it has alpha, else RGB; --view picks another\n"
    "        picture (--view blend: the viewer's picture over the background).\n"
    "        OUT ending in .bgra (or --raw) gets the display image's bytes exactly as held in\n"
    "        memory (bottom-up rows of blue, green, red, alpha; width x height x 4 bytes;\n"
    "        the viewer's blended picture unless --view says otherwise).\n"
    "        Other names are refused. With --out-dir, each FILE is written into DIR (made when\n"
    "        missing) named after it (a.dds: a.png, or a.bgra with --raw); two files of one\n"
    "        name are refused, not written over each other; --all-levels and --all-faces write\n"
    "        every mipmap level and every cube face, volume layer or array slice, adding _L1,\n"
    "        _F3 to the name (numbers padded to the count's width: _L01 with 10 levels or more).\n"
    "thumbnail  writes the picture a file browser shows for IN as the PNG OUT, its longer\n"
    "        side at most SIZE (the smallest mipmap level that large, box-filtered)\n"
    "compare  decodes the selected surface of A and B (same size) and prints the PSNR of\n"
    "        their 8-bit channels (MAX 255; overall over R, G, B, and A when either has alpha;\n"
    "        \"inf\" for the same pictures, null in JSON), the largest difference and the scale\n"
    "        of the difference picture (--diff writes it as a PNG); exit status 1 when the\n"
    "        PSNR is below --threshold DB (or the sizes differ), else as for export\n"
    "\n"
    "Options:\n"
    "  --level N          mipmap level, 0 for the largest (clamped to the last level)\n"
    "  --face N           cube face (counting the faces present) or array slice from 0, which\n"
    "                     the file must have; volume layer from 0 (clamped to the last)\n"
    "  --nm               treat DXT5 as DXT5_NM (normal map)\n"
    "  --exact            GPU-exact colours: every channel widened as Direct3D does\n"
    "                     (round(v x 255 / (2^n - 1))), DXT1's clear texels black, A8 black\n"
    "                     with its alpha, R8 red\n"
    "  --view MODE        color: colours alone; blend: colours over the background by alpha\n"
    "                     (the viewer's picture); alpha: the alpha channel as grey; rgba:\n"
    "                     colours with their own alpha, straight (an RGBA PNG)\n"
    "  --background HEX   background colour as RRGGBB (default ff00ff)\n"
    "  --raw              write the .bgra bytes whatever OUT is called\n"
    "  --auto-range       float, half, BC6H and DXGI float surfaces: the finite minimum to\n"
    "                     maximum shown as 0 to 1 (one range for the colour channels); NaN\n"
    "                     magenta, +Inf white, -Inf and negative values cyan\n"
    "  --srgb-curve       the same surfaces through the sRGB transfer curve (linear data)\n"
    "  --threads N        threads that decode, compose and write PNG (default 0: one per\n"
    "                     core; never more than the cores)\n"
    "  --out-dir DIR      export several files into DIR\n"
    "  --all-levels       export every mipmap level (with --out-dir)\n"
    "  --all-faces        export every face, layer or slice (with --out-dir)\n"
    "  --json             info as JSON\n"
    "  --quiet            no progress line\n"
    "  --version          the program's version\n"
    "  --help             this text\n"
    "\n"
    "Errors go to stderr as \"brixa-cli: FILE: message\"; names and texts are UTF-8.\n"
    "Exit status: 0 shown; 1 bad arguments (or a --face the file does not have);\n"
    "2 not a DDS file, or a header no texture has (\"Error loading file !\"); 3 the file\n"
    "could not be read, or OUT not written; 4 nothing to show (unknown format or empty\n"
    "surface; info prints what it knows). With several files: the highest of their statuses.\n"
    "A progress bar appears on stderr when it is a terminal and the work takes over 250 ms;\n"
    "with several files, a line counts them there too (--quiet: neither).\n";

struct Options {
    std::string command;
    std::vector<std::string> files;
    std::string out, outDir;
    int32_t level = 0, face = 0, threads = 0;
    bool nm = false, exact = false, raw = false, json = false, allLevels = false, allFaces = false;
    bool quiet = false;
    bool autoRange = false, srgbCurve = false;
    bool viewGiven = false; // without --view: blend for raw bytes, colours and alpha for PNG
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
            o.viewGiven = true;
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
    {"--quiet", &Options::quiet},
    {"--auto-range", &Options::autoRange},
    {"--srgb-curve", &Options::srgbCurve},
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

// A name export can write without --raw: .png, .bgra, no extension (a PNG), or "-".
bool OutputTypeKnown(const std::string& out) {
    const size_t slash = out.find_last_of(kPathSeparators);
    const std::string name = slash == std::string::npos ? out : out.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0 || out == "-") return true;
    std::string ext = name.substr(dot);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".png" || ext == ".bgra";
}

// What is wrong with the positional arguments of a command (empty when good).
std::string CheckCommand(const std::vector<std::string>& positional, Options& o) {
    if (positional.empty()) return "no command given";
    o.command = positional[0];
    o.files.assign(positional.begin() + 1, positional.end());
    const bool several = o.command == "info" || !o.outDir.empty();
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
        if (!o.raw && !OutputTypeKnown(o.out))
            return "OUT " + o.out + ": export writes .png or .bgra files (any name with --raw)";
    }
    if (o.files.empty()) return o.command + " needs a FILE";
    if (!several && o.files.size() != 1) return "wrong number of arguments for " + o.command;
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
        } else if (a.size() > 1 && a[0] == '-') { // "-" alone names standard input or output
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
    if (s.size() < n) return false;
    for (size_t k = 0; k < n; ++k)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - n + k])) != suffix[k])
            return false;
    return true;
}

// A UTF-8 name as a path (one that is no UTF-8 as it is: such a name exists on Linux).
std::filesystem::path PathOf(const std::string& utf8) {
    try {
        return std::filesystem::u8path(utf8);
    } catch (const std::exception&) {
    }
    try {
        return std::filesystem::path(utf8);
    } catch (const std::exception&) {
        return std::filesystem::path(); // no such file: the reader says what is wrong
    }
}

// What the user is told about a file that could not be shown, in the program's words, and
// its status. `texture` is fresh for this file, so its header is the file's own.
int Refusal(const CDdsTexture& texture, std::string& text) {
    const LoadError& e = texture.m_LastError;
    if (e.kind == LoadError::kRefused) {
        text = texture.m_Header.dwMagic == dds::DDS_MAGIC ? kRefusedText : "not a DDS file";
        return kExitRefused;
    }
    static const struct {
        uint32_t error;
        const char* text;
        int status;
    } kTexts[] = {
        {fileex::kErrorFileNotFound, "file not found", kExitReader},
        {fileex::kErrorPathNotFound, "folder not found", kExitReader},
        {fileex::kErrorAccessDenied, "cannot be read: access denied", kExitReader},
        // The reader only ever reads past the end of a file in its header.
        {fileex::kErrorHandleEof, "not a DDS file: it ends inside the DDS header", kExitRefused},
    };
    for (const auto& t : kTexts) {
        if (e.isSystemError && e.systemError == t.error) {
            text = t.text;
            return t.status;
        }
    }
    text = e.text.substr(0, e.text.find_last_not_of("\r\n") + 1);
    return kExitReader;
}

// Loads a surface; on failure says so and returns the status (kExitOk when loaded). A face
// or array slice the file does not have is refused (a volume's layer is clamped, as the
// viewer does).
int Load(CDdsTexture& texture, const std::string& file, const std::string& path, const Options& o,
         int32_t level, int32_t face, std::string* error = nullptr) {
    g_progress.start = std::chrono::steady_clock::now();
    g_progress.stage = 0;
    std::string text;
    int status = kExitOk;
    std::error_code ec;
    if (std::filesystem::is_directory(PathOf(path), ec)) {
        text = "is a folder, not a file";
        status = kExitReader;
    } else {
        texture.Load(path.c_str(), level, face, nullptr, o.nm, ShowProgress);
        if (texture.m_LastError.kind != LoadError::kNone) status = Refusal(texture, text);
    }
    const int32_t faces = texture.SurfaceCount();
    if (status == kExitOk && !texture.m_bVolume && face > 0 && face >= faces) {
        text = "--face " + std::to_string(face) + ": the file has " +
               (faces == 0 ? std::string("one surface (no faces or slices)")
                           : std::to_string(faces) + (texture.m_bCubeMap ? " faces" : " slices")) +
               ", counted from 0";
        status = kExitUsage;
    }
    if (status != kExitOk) {
        PrintError(file, text);
        if (error) *error = text;
    }
    return status;
}

// The picture of a plain PNG export: the colours with the texture's own alpha when it has
// alpha (what a converter gives), else the colours alone.
void ChoosePicture(const CDdsTexture& texture, bool png, const Options& o, int32_t& mode,
                   bool& keepAlpha) {
    mode = o.mode;
    keepAlpha = o.keepAlpha;
    if (png && !o.viewGiven) {
        mode = COMPOSE_COLOR;
        keepAlpha = texture.m_bHasAlpha;
    }
}

// Pixels of the display image's rows that the raw writer composes before it writes them: a few
// bands for each thread, small enough to stay in the caches until they are written.
constexpr uint32_t kChunkPixels = uint32_t(1) << 19;

// The raw writer's chunks, rows [first, second) in the order they are written: whole block
// rows from the top, the last first (bottom row first). Bands then never decode a block row
// twice.
std::vector<std::pair<uint32_t, uint32_t>> RawChunks(uint32_t width, uint32_t height) {
    const uint32_t chunkRows =
        std::min(BlockCount(height), std::max(1u, kChunkPixels / width / 4)) * 4;
    std::vector<std::pair<uint32_t, uint32_t>> chunks;
    for (uint32_t k = (height - 1) / chunkRows + 1; k-- > 0;)
        chunks.emplace_back(k * chunkRows, std::min(height, k * chunkRows + chunkRows));
    return chunks;
}

// The display image's bytes (bottom row first) written chunk by chunk. One loop of bands runs
// over the block rows in the order they are written, on every thread; a band composes its rows
// into its chunk's buffer, and the thread that completes the oldest chunk writes it (and any
// completed after it) while the others go on: no thread waits for a chunk's last band. Only
// kChunkBuffers chunks and each thread's band are held, never the images.
constexpr uint32_t kChunkBuffers = 2;
// Pixels of a band of the raw writer: its work rows stay in the core's cache until composed.
constexpr uint32_t kRawBandPixels = uint32_t(1) << 17;

bool WriteRaw(const std::string& out, const CDdsTexture::PictureRowsFn& rows, uint32_t width,
              uint32_t height, uint32_t threads, std::string& error) {
    const std::vector<std::pair<uint32_t, uint32_t>> chunks = RawChunks(width, height);
    const size_t chunkPixels = size_t(chunks.back().second - chunks.back().first) * width;
    // Fresh pages cost more than the composing of their pixels on some virtual machines: the
    // image buffer's are huge pages where the system has them.
    ImageBuffer store;
    uint32_t* const buffers =
        static_cast<uint32_t*>(store.Acquire(chunkPixels * 4 * kChunkBuffers, false));
    if (!buffers) {
        error = "Not enough memory for the images of this surface !";
        return false;
    }
    OutputFile file;
    if (!file.Open(out, error)) return false;
    std::mutex lock;
    std::condition_variable change;
    size_t done = 0; // chunks written
    std::vector<uint32_t> unitsLeft(chunks.size());
    for (size_t k = 0; k < chunks.size(); ++k)
        unitsLeft[k] = BlockCount(chunks[k].second - chunks[k].first);
    bool failed = false, writing = false;
    // Units of four rows in the order written: chunk k holds units [start[k], start[k + 1]).
    std::vector<uint32_t> start(1, 0);
    for (const uint32_t n : unitsLeft) start.push_back(start.back() + n);
    auto compose = [&](uint32_t a, uint32_t b) {
        for (uint32_t u = a; u < b;) {
            const size_t k =
                size_t(std::upper_bound(start.begin(), start.end(), u) - start.begin()) - 1;
            const uint32_t stop = std::min(b, start[k + 1]);
            std::unique_lock<std::mutex> guard(lock);
            change.wait(guard, [&] { return failed || k < done + kChunkBuffers; });
            if (failed) return;
            guard.unlock();
            // Units [u, stop) are rows counted up from the chunk's bottom block row.
            const uint32_t top = chunks[k].first, end = chunks[k].second;
            const uint32_t count = start[k + 1] - start[k];
            const uint32_t first = top + 4 * (count - (stop - start[k]));
            const uint32_t last = std::min(end, top + 4 * (count - (u - start[k])));
            uint32_t* const chunk = buffers + (k % kChunkBuffers) * chunkPixels;
            const bool ok = rows(first, last, chunk + size_t(end - last) * width, true);
            guard.lock();
            failed = failed || !ok;
            if (!ok) error = "Not enough memory for the images of this surface !";
            unitsLeft[k] -= stop - u;
            // Chunks go out in their order, one writer at a time, the lock let go meanwhile.
            while (!failed && !writing && done < chunks.size() && unitsLeft[done] == 0) {
                writing = true;
                const size_t next = done;
                guard.unlock();
                std::string problem;
                const bool out = file.Write(
                    buffers + (next % kChunkBuffers) * chunkPixels,
                    size_t(chunks[next].second - chunks[next].first) * width * 4, problem);
                guard.lock();
                writing = false;
                ++done;
                if (!out) failed = true, error = problem;
            }
            change.notify_all();
            u = stop;
        }
    };
    // Progress in units written (after 250 ms, on a terminal).
    struct Host final : RowHost {
        bool Progress(uint32_t at, uint32_t total) override {
            return ShowProgress(at, total, 0), true;
        }
        void Pump() override {}
    } host;
    // Bands of whole block rows, on one thread too: a band reads its blocks in one request.
    const uint32_t units = start.back(), bandUnits = std::max(1u, kRawBandPixels / 4 / width);
    RunRows(
        {(units + bandUnits - 1) / bandUnits, bandUnits * 4 * width, 0}, threads, &host,
        [&](uint32_t a, uint32_t b) { compose(a * bandUnits, std::min(units, b * bandUnits)); });
    bool ok = !failed && done == chunks.size();
    std::string closing;
    if (!file.Close(closing) && ok) {
        error = closing;
        ok = false;
    }
    return ok;
}

// Decodes, composes and writes the loaded surface to `out` ("-": standard output), band by
// band: the process holds the file's surface, the output and a band for each thread.
int Export(CDdsTexture& texture, const std::string& file, const std::string& out,
           const Options& o) {
    if (!texture.m_pRawData || texture.m_nWidth <= 0 || texture.m_nHeight <= 0) {
        PrintError(file, texture.m_nFormat == TF_UNKNOWN
                             ? "unknown format (" + std::string(texture.m_szFormatName) +
                                   "): nothing to show"
                             : std::string(texture.m_szFormatName) + ": the surface is empty");
        return kExitNoSurface;
    }
    const bool raw = o.raw || EndsWith(out, ".bgra");
    int32_t mode;
    bool keepAlpha;
    ChoosePicture(texture, !raw, o, mode, keepAlpha);
    g_progress.stage = 1;
    texture.m_bExact = o.exact;
    texture.m_bAutoRange = o.autoRange;
    texture.m_bSrgbCurve = o.srgbCurve;
    const uint32_t w = uint32_t(texture.m_nWidth), h = uint32_t(texture.m_nHeight);
    // A surface left unread by Load is read while its rows are decoded: rows made from their
    // own blocks alone read them in their bands, on the threads that decode (no memory the size
    // of the surface); other pictures read it whole, on a thread of its own beside those that
    // decode, from its end for raw rows (bottom row first).
    std::unique_ptr<SurfaceStream> stream;
    if (texture.m_bReadLater && texture.RowsReadTheirBlocks()) {
        stream = std::make_unique<SurfaceStream>(texture);
    } else if (texture.m_bReadLater) {
        stream = std::make_unique<SurfaceStream>(texture, ThreadsFor(uint32_t(o.threads)) > 1, raw);
    }
    // A failed read ends the export as it ended the load when the read came first.
    const auto readFailed = [&] {
        std::string text;
        const int status = Refusal(texture, text);
        PrintError(file, text);
        return status;
    };
    if (stream && !texture.RowsReadTheirBlocks() && !stream->WaitForAll()) return readFailed();
    const CDdsTexture::PictureRowsFn picture = texture.PictureRows(mode, o.bg[0], o.bg[1], o.bg[2]);
    CDdsTexture::PictureRowsFn rows = picture;
    if (stream && picture && !texture.m_fnSurfaceBytes)
        rows = [&](uint32_t first, uint32_t end, uint32_t* dest, bool bottomUp) {
            return stream->WaitForRows(first, end) && picture(first, end, dest, bottomUp);
        };
    std::string error;
    const bool ok = rows && (raw ? WriteRaw(out, rows, w, h, uint32_t(o.threads), error)
                                 : WritePngRows(
                                       out,
                                       [&](uint32_t first, uint32_t end, uint32_t* dest) {
                                           return rows(first, end, dest, false);
                                       },
                                       w, h, keepAlpha ? PngAlpha::kKeep : PngAlpha::kDrop, error,
                                       uint32_t(o.threads)));
    EndProgress();
    if (stream && stream->Failed()) return readFailed();
    if (!ok) {
        const bool memory = !rows || error.find("Not enough memory") == 0;
        PrintError(memory ? file : "",
                   rows ? error : "Not enough memory for the images of this surface !");
        return memory ? kExitRefused : kExitReader;
    }
    return kExitOk;
}

// "_L" and the number, padded to the width of the count so that the names sort.
std::string Numbered(const char* tag, int32_t number, int32_t count) {
    std::string digits = std::to_string(number);
    const size_t width = std::to_string(std::max(1, count) - 1).size();
    return tag + std::string(width > digits.size() ? width - digits.size() : 0, '0') + digits;
}

// DIR/NAME_L1_F3.png for the file DIR/.../NAME.dds.
std::string OutputName(const Options& o, const CDdsTexture& texture, const std::string& file,
                       int32_t level, int32_t face) {
    std::string name = file == "-" ? "stdin" : file.substr(file.find_last_of(kPathSeparators) + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    if (o.allLevels) name += Numbered("_L", level, texture.LevelCount());
    if (o.allFaces) name += Numbered("_F", face, std::max(1, texture.SurfaceCount()));
    const char* sep = std::strchr(kPathSeparators, o.outDir.back()) ? "" : "/";
    return o.outDir + sep + name + (o.raw ? ".bgra" : ".png");
}

// The names written in this run, so that a second file of one name never replaces the first
// one's output (letters compared without case: one file on Windows).
std::set<std::string> g_written;

int ExportOne(CDdsTexture& texture, const std::string& file, const std::string& out,
              const Options& o) {
    std::string key = out;
    for (char& c : key) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (!g_written.insert(key).second) {
        PrintError(file, "not written: " + out + " was written for another file in this run");
        return kExitReader;
    }
    return Export(texture, file, out, o);
}

// Every selected surface of one file into the output folder; the worst status.
int ExportAll(CDdsTexture& texture, const std::string& file, const std::string& path,
              const Options& o) {
    int worst = kExitOk;
    const int32_t firstLevel = o.allLevels ? 0 : o.level;
    for (int32_t level = firstLevel;; ++level) {
        const int32_t firstFace = o.allFaces ? 0 : o.face;
        for (int32_t face = firstFace;; ++face) {
            const int status = Load(texture, file, path, o, level, face);
            if (status != kExitOk) return std::max(worst, status);
            // A level or face past the last is clamped: that one was written already.
            if (level > firstLevel && texture.m_nLevel != level) return worst;
            if (face > firstFace && texture.m_nLayer != face) break;
            worst = std::max(
                worst, ExportOne(texture, file, OutputName(o, texture, file, level, face), o));
            if (!o.allFaces || face + 1 >= texture.SurfaceCount()) break;
        }
        if (!o.allLevels || level + 1 >= texture.LevelCount()) return worst;
    }
}

} // namespace

// Also for compare (Compare.cpp).
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

namespace {

std::string Trimmed(const std::string& s) {
    const size_t first = s.find_first_not_of(' ');
    return first == std::string::npos ? "" : s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// One file's facts. Sizes are those its status texts show (the header's, for a format that
// cannot be shown), and nothing comes from another file: the record is fresh for each.
std::string InfoJson(const CDdsTexture& t, const std::string& file, bool supported,
                     uint64_t fileBytes) {
    const dds::DdsHead& h = t.m_Header;
    const StatusFacts facts = StatusFactsOf(t);
    const uint32_t fourCC = h.ddspf.dwFourCC;
    const std::string fourCCText(reinterpret_cast<const char*>(&fourCC), 4);
    // A FourCC of four printable characters as text, a Direct3D format number as "D3DFMT n".
    const bool printable = std::all_of(fourCCText.begin(), fourCCText.end(),
                                       [](char c) { return c >= 0x20 && c < 0x7F; });
    const std::string format = Trimmed(t.m_szFormatName);
    std::string json =
        "{\"file\":" + JsonString(file) + ",\"format\":" + JsonString(format) +
        ",\"formatCode\":" + std::to_string(t.m_nFormat) + ",\"fourCC\":" +
        (!fourCC     ? "null"
         : printable ? JsonString(fourCCText)
                     : "\"D3DFMT " + std::to_string(fourCC) + "\"") +
        ",\"dxgiFormat\":" + (t.m_bDx10 ? std::to_string(t.m_Dx10.dxgiFormat) : "null") +
        ",\"srgb\":" + (format.find("SRGB") != std::string::npos ? "true" : "false") +
        ",\"supported\":" + (supported ? "true" : "false");
    const std::pair<const char*, int64_t> numbers[] = {
        {"width", facts.width},
        {"height", facts.height},
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
        {"fileBytes", int64_t(fileBytes)},
    };
    for (const auto& n : numbers)
        json += ",\"" + std::string(n.first) + "\":" + std::to_string(n.second);
    const std::pair<const char*, bool> flags[] = {{"cubeMap", t.m_bCubeMap},
                                                  {"volume", t.m_bVolume},
                                                  {"array", t.m_bArray},
                                                  {"hasAlpha", t.m_bHasAlpha},
                                                  {"dx10", t.m_bDx10}};
    for (const auto& f : flags)
        json += ",\"" + std::string(f.first) + "\":" + (f.second ? "true" : "false");
    json += ",\"status\":[";
    const char* comma = "";
    for (const std::string& part : FormatStatusTexts(facts)) {
        json += comma + JsonString(part);
        comma = ",";
    }
    // Fields added later come last, after the status texts.
    return json + "],\"alphaMode\":" + JsonString(AlphaModeName(AlphaModeOf(t))) + "}";
}

// One file's info: the status texts (headed by the name with several files) or a JSON line.
int Info(CDdsTexture& texture, const std::string& file, const std::string& path, const Options& o) {
    std::string error;
    int status = Load(texture, file, path, o, o.level, o.face, &error);
    const bool loaded = status == kExitOk;
    // Shown: a surface to decode (an unknown format has none).
    const bool supported = loaded && texture.m_nFormat != TF_UNKNOWN;
    if (loaded && !supported) {
        PrintError(file,
                   "unknown format (" + std::string(texture.m_szFormatName) + "): nothing to show");
        status = kExitNoSurface;
    }
    std::error_code ec;
    const uint64_t bytes = std::filesystem::file_size(PathOf(path), ec);
    if (o.json) {
        std::printf("%s\n", loaded ? InfoJson(texture, file, supported, ec ? 0 : bytes).c_str()
                                   : ("{\"file\":" + JsonString(file) +
                                      ",\"supported\":false,\"error\":" + JsonString(error) + "}")
                                         .c_str());
    } else if (loaded) {
        if (o.files.size() > 1)
            std::printf("%s%s:\n", &file == &o.files.front() ? "" : "\n", file.c_str());
        for (const std::string& part : FormatStatusTexts(StatusFactsOf(texture)))
            std::printf("%s\n", part.c_str());
    }
    return status;
}

// Standard input as a file of its own (the reader needs one it can seek in); its UTF-8 name,
// empty when it cannot be made.
std::string StdinFile(std::string& error) {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    std::vector<uint8_t> bytes;
    uint8_t buffer[1 << 16];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + n);
    std::error_code ec;
    const std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
    const std::string name =
        (dir / ("brixa-cli-stdin-" + std::to_string(getpid()) + ".dds")).u8string();
    if (ec || !WriteWholeFile(name, bytes.data(), bytes.size(), error)) return "";
    return name;
}

int Run(const Options& o) {
    g_progress.terminal = !o.quiet && isatty(fileno(stderr)) != 0;
    int worst = kExitOk;
    for (size_t i = 0; i < o.files.size(); ++i) {
        const std::string& file = o.files[i];
        std::string path = file;
        if (file == "-") {
            std::string error;
            path = StdinFile(error);
            if (path.empty()) {
                PrintError(file, "standard input cannot be kept: " + error);
                worst = std::max(worst, int(kExitReader));
                continue;
            }
        }
        ShowFileCount(i, o.files.size(), file);
        // A record of its own for each file: nothing of one file shows in another's output.
        CFileEx reader;
        CDdsTexture texture(reader);
        texture.m_nThreads = uint32_t(o.threads);
        // Without a progress bar, export reads each surface while it decodes it; the bar
        // shows the read and then the decoding, one after the other.
        texture.m_bReadLater = o.command == "export" && !g_progress.terminal;
        int status;
        if (o.command == "info") {
            status = Info(texture, file, path, o);
        } else if (!o.outDir.empty()) {
            status = ExportAll(texture, file, path, o);
        } else {
            status = Load(texture, file, path, o, o.level, o.face);
            if (status == kExitOk) status = Export(texture, file, o.out, o);
        }
        if (path != file) {
            std::error_code ec;
            std::filesystem::remove(PathOf(path), ec);
        }
        worst = std::max(worst, status);
    }
    EndProgress();
    return worst;
}

// The arguments as UTF-8: on Windows from the wide command line, so that every name the
// system has arrives whole (the ANSI code page cannot hold them all).
std::vector<std::string> Utf8Arguments(int argc, char** argv) {
#ifdef _WIN32
    (void)argv;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 0; wide && i < count; ++i) {
        const int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string a(size_t(std::max(n, 1)), '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, &a[0], n, nullptr, nullptr);
        a.resize(std::strlen(a.c_str()));
        args.push_back(a);
    }
    LocalFree(wide);
    if (!args.empty() || argc == 0) return args;
#endif
    return std::vector<std::string>(argv, argv + argc);
}

} // namespace

int RunThumbnail(int argc, char** argv); // Thumbnail.cpp
int RunCompare(int argc, char** argv);   // Compare.cpp

int LoadForCommand(CDdsTexture& texture, const std::string& file, int32_t level, int32_t face) {
    return Load(texture, file, file, Options(), level, face);
}

int main(int argc, char** argv) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY); // UTF-8 and PNG bytes as they are
#endif
    std::vector<std::string> args = Utf8Arguments(argc, argv);
    std::vector<char*> pointers;
    for (std::string& a : args) pointers.push_back(&a[0]);
    if (pointers.size() > 1 && std::strcmp(pointers[1], "thumbnail") == 0)
        return RunThumbnail(int(pointers.size()) - 1, pointers.data() + 1);
    if (pointers.size() > 1 && std::strcmp(pointers[1], "compare") == 0)
        return RunCompare(int(pointers.size()) - 1, pointers.data() + 1);
    Options o;
    std::string problem = ParseArgs(int(pointers.size()), pointers.data(), o);
    // The decoding threads start while the file's header is read.
    if (problem.empty() && o.command == "export") StartRowThreads(uint32_t(o.threads));
    if (o.command == "help" || o.command == "version") {
        std::fputs(o.command == "help" ? kUsage : "brixa-cli " BRIXA_VERSION "\n", stdout);
        return kExitOk;
    }
    if (!problem.empty()) {
        std::fprintf(stderr, "brixa-cli: %s (see brixa-cli --help)\n", problem.c_str());
        return kExitUsage;
    }
    if (!o.outDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(PathOf(o.outDir), ec);
    }
    return Run(o);
}
