// Writes a picture held as 32-bit BGRA pixels (the display image's layout) as a PNG file.
#pragma once

#include <cstddef>
#include <cstdint>
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

// A `path` of "-" writes standard output (binary on Windows: the caller sets its mode).
// Writes `bytes` bytes as the whole file `path` (named as for WritePng), replacing what it held;
// false with "cannot write PATH: " and the system's message in `error` when that fails.
bool WriteWholeFile(const std::string& path, const void* data, size_t bytes, std::string& error);

// "cannot write PATH: " and the system's message for errno, read at once after the failed call.
std::string WriteError(const std::string& path);
