#include "io/PngWriter.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO // the file is ours: its errors are reported with the system's text
#include <stb_image_write.h>

namespace {

// Names are UTF-8, as the reader takes them; on Windows through the wide API, so that every
// name the system has can be written, and a name that is no UTF-8 at all in the ANSI code page.
FILE* OpenForWriting(const std::string& path) {
#ifdef _WIN32
    UINT codePage = CP_UTF8;
    int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, path.c_str(), -1, nullptr, 0);
    if (length == 0)
        length = MultiByteToWideChar(codePage = CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (length <= 0) return std::fopen(path.c_str(), "wb");
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(codePage, 0, path.c_str(), -1, &wide[0], length);
    return _wfopen(wide.c_str(), L"wb");
#else
    return std::fopen(path.c_str(), "wb");
#endif
}

// The encoder hands over the whole file at once; it is opened only then, so that a picture
// that cannot be encoded leaves an existing file as it was.
struct Sink {
    const std::string& path;
    bool written;
    int error; // errno of the failed call
};

void WriteFile(void* context, void* data, int size) {
    Sink& sink = *static_cast<Sink*>(context);
    FILE* f = OpenForWriting(sink.path);
    bool ok = f && std::fwrite(data, 1, size_t(size), f) == size_t(size) && std::fflush(f) == 0;
    if (!ok) sink.error = errno;
    if (f && std::fclose(f) != 0 && ok) {
        sink.error = errno;
        ok = false;
    }
    sink.written = ok;
}

constexpr uint32_t kMaxWidth = 1u << 24; // keeps the 64-bit size product below from overflow

} // namespace

std::string WriteError(const std::string& path) {
    return "cannot write " + path + ": " + std::strerror(errno);
}

bool WritePng(const std::string& path, const uint32_t* bgra, uint32_t width, uint32_t height,
              PngRows rows, PngAlpha alpha, std::string& error) {
    const size_t channels = alpha == PngAlpha::kKeep ? 4 : 3;
    // The encoder counts bytes in int: the filtered rows, and its output as much again.
    const bool fits = width > 0 && height > 0 && width <= kMaxWidth &&
                      (uint64_t(width) * channels + 1) * height <= INT_MAX / 2;
    if (!fits) {
        error = "cannot write " + path + ": the picture is too large for a PNG file";
        return false;
    }
    const size_t rowBytes = size_t(width) * channels;
    std::vector<uint8_t> pixels;
    try {
        pixels.resize(rowBytes * height);
    } catch (const std::bad_alloc&) {
        errno = ENOMEM;
        error = WriteError(path);
        return false;
    }
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t from = rows == PngRows::kBottomUp ? height - 1 - y : y;
        const uint8_t* src = reinterpret_cast<const uint8_t*>(bgra + size_t(from) * width);
        uint8_t* dst = pixels.data() + size_t(y) * rowBytes;
        for (uint32_t x = 0; x < width; ++x, src += 4, dst += channels) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
            if (channels == 4) dst[3] = src[3];
        }
    }

    Sink sink{path, false, ENOMEM};
    stbi_write_png_to_func(WriteFile, &sink, int(width), int(height), int(channels), pixels.data(),
                           int(rowBytes));
    if (!sink.written) {
        errno = sink.error;
        error = WriteError(path);
        return false;
    }
    return true;
}
