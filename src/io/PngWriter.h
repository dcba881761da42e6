// Writes a picture held as 32-bit BGRA pixels (the display image's layout) as a PNG file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

enum class PngRows { kTopDown, kBottomUp };
enum class PngAlpha { kDrop, kKeep }; // an opaque RGB PNG, or RGBA with the pixels' own alpha

// The rows are filtered and deflated (zlib) on `threads` threads (0: one per core).
// `path` is UTF-8 (or, on Windows, a name in the ANSI code page that is no UTF-8). `bgra` holds
// width x height pixels, each the bytes blue, green, red, alpha in memory. Returns
// false with a message in `error` ("cannot write PATH: " and the system's message) when the
// file cannot be written or the picture is too large for the encoder.
bool WritePng(const std::string& path, const uint32_t* bgra, uint32_t width, uint32_t height,
              PngRows rows, PngAlpha alpha, std::string& error, uint32_t threads = 0);

// The same from a source of rows: `source(first, end, dest)` puts the picture's rows [first,
// end) (top row 0) into `dest`, width pixels a row as above; false when it cannot (no memory:
// the file is not written). It runs on several threads at once, each asking for the rows of
// its piece and the few before them.
using PngRowSource = std::function<bool(uint32_t first, uint32_t end, uint32_t* dest)>;
bool WritePngRows(const std::string& path, const PngRowSource& source, uint32_t width,
                  uint32_t height, PngAlpha alpha, std::string& error, uint32_t threads = 0);

// A `path` of "-" writes standard output (binary on Windows: the caller sets its mode).
// Writes `bytes` bytes as the whole file `path` (named as for WritePng), replacing what it held;
// false with "cannot write PATH: " and the system's message in `error` when that fails.
bool WriteWholeFile(const std::string& path, const void* data, size_t bytes, std::string& error);

// "cannot write PATH: " and the system's message for errno, read at once after the failed call.
std::string WriteError(const std::string& path);

// A file written piece by piece (named as for WritePng), replacing what it held: what a failed
// write leaves is what a truncating write would have left. Each call that fails puts "cannot
// write PATH: " and the system's message in `error`.
class OutputFile {
  public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();
    bool Open(const std::string& path, std::string& error);
    bool Write(const void* data, size_t bytes, std::string& error);
    bool Close(std::string& error); // cuts the file to what was written

  private:
    std::string m_Path;
    int m_Fd = -1;
    uint64_t m_Done = 0;
};
