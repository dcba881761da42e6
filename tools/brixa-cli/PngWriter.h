// Writes an opaque RGB PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// `rgb` holds width x height pixels of red, green, blue bytes, top row first. Returns false with
// a message in `error` when the file cannot be written.
bool WritePngRgb(const std::string& path, const std::vector<uint8_t>& rgb, uint32_t width,
                 uint32_t height, std::string& error);

// "cannot write PATH: " and the system's message for errno, read at once after the failed call.
std::string WriteError(const std::string& path);
