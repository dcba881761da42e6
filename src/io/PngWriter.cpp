#include "io/PngWriter.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <algorithm>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO // the file is ours: its errors are reported with the system's text
#include <stb_image_write.h>

namespace {

#ifdef _WIN32
// Names are UTF-8, as the reader takes them; on Windows through the wide API, so that every
// name the system has can be written, and a name that is no UTF-8 at all in the ANSI code page.
int OpenForWriting(const std::string& path) {
    UINT codePage = CP_UTF8;
    int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, path.c_str(), -1, nullptr, 0);
    if (length == 0)
        length = MultiByteToWideChar(codePage = CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    const int flags = _O_WRONLY | _O_CREAT | _O_BINARY;
    if (length <= 0) return _open(path.c_str(), flags, _S_IREAD | _S_IWRITE);
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(codePage, 0, path.c_str(), -1, &wide[0], length);
    return _wopen(wide.c_str(), flags, _S_IREAD | _S_IWRITE);
}

bool IsRegularFile(int fd) {
    struct _stat64 st;
    return _fstat64(fd, &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFREG;
}

long WriteSome(int fd, const uint8_t* data, size_t bytes) {
    return _write(fd, data, unsigned(std::min<size_t>(bytes, size_t(1) << 30)));
}

bool CutAt(int fd, uint64_t bytes) {
    HANDLE file = HANDLE(_get_osfhandle(fd));
    LARGE_INTEGER at;
    at.QuadPart = LONGLONG(bytes);
    if (SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file)) return true;
    errno = EIO;
    return false;
}

int CloseFile(int fd) {
    return _close(fd);
}
#else
int OpenForWriting(const std::string& path) {
    return open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
}

bool IsRegularFile(int fd) {
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

long WriteSome(int fd, const uint8_t* data, size_t bytes) {
    return long(write(fd, data, std::min<size_t>(bytes, size_t(1) << 30)));
}

bool CutAt(int fd, uint64_t bytes) {
    return ftruncate(fd, off_t(bytes)) == 0;
}

int CloseFile(int fd) {
    return close(fd);
}
#endif

// The encoder hands over the whole file at once; it is opened only then, so that a picture
// that cannot be encoded leaves an existing file as it was.
struct Sink {
    const std::string& path;
    bool written;
    std::string& error;
};

void WriteEncoded(void* context, void* data, int size) {
    Sink& sink = *static_cast<Sink*>(context);
    sink.written = WriteWholeFile(sink.path, data, size_t(size), sink.error);
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

    Sink sink{path, false, error};
    errno = ENOMEM; // what the encoder fails of before it hands anything over
    stbi_write_png_to_func(WriteEncoded, &sink, int(width), int(height), int(channels),
                           pixels.data(), int(rowBytes));
    if (!sink.written && error.empty()) error = WriteError(path);
    return sink.written;
}

bool WriteWholeFile(const std::string& path, const void* data, size_t bytes, std::string& error) {
    const int fd = OpenForWriting(path);
    if (fd < 0) {
        error = WriteError(path);
        return false;
    }
    const auto* p = static_cast<const uint8_t*>(data);
    size_t done = 0;
    bool ok = true;
    while (ok && done < bytes) {
        const long n = WriteSome(fd, p + done, bytes - done);
        if (n > 0)
            done += size_t(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else {
            if (n == 0) errno = ENOSPC;
            error = WriteError(path);
            ok = false;
        }
    }
    // Written over in place, then cut to what was written: replacing a large file this way
    // costs a fraction of truncating it first (no blocks freed and allocated again, no flush
    // forced at the close), and a failure leaves what a truncating write would have left.
    if (IsRegularFile(fd) && !CutAt(fd, done) && ok) {
        error = WriteError(path);
        ok = false;
    }
    if (CloseFile(fd) != 0 && ok) {
        error = WriteError(path);
        ok = false;
    }
    return ok;
}
