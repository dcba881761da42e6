#include "io/PngWriter.h"

#include <cerrno>
#include <cstdlib>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
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

#include <libdeflate.h>
#include <zlib.h>

#include "decode/RowBands.h"

// The encoder: rows turned into PNG bytes (red, green, blue[, alpha]), each filtered as the
// PNG filter whose bytes have the smallest entropy (fewer bits for deflate's codes than the
// smallest sum of magnitudes, the common choice), and deflated by libdeflate (zlib gives the
// sums). The picture is cut into pieces of whole rows that are filtered and deflated on every core
// at once: each piece is deflated on its own, primed with the 32 KiB of filtered bytes before it
// (as one long stream would have them), and ends on a byte boundary, so the pieces laid end to end
// are one zlib stream. Memory: a row pair and a piece's filtered bytes per thread, and the
// compressed output.
namespace {

constexpr size_t kPieceBytes = size_t(1) << 20; // filtered bytes per piece (about)
// libdeflate's level 5 (lazy matching): on a real-looking 4096 x 4096 texture 2 % smaller than
// zlib's level 5 tuned for speed, in under half its time; its level 4 saves a sixth of the time
// for a file only just smaller than common writers' (zlib's level 6 with the sums' filters).
constexpr int kLevel = 5;
constexpr size_t kWindow = 32768; // deflate's window: what a piece is primed with

struct Picture {
    const PngRowSource& source;
    uint32_t width, height;
    size_t channels, rowBytes; // bytes of a PNG row, without its filter byte
};

// One row of pixels into `out` as R, G, B[, A].
void ConvertRow(const Picture& p, const uint32_t* pixels, uint8_t* out) {
    const uint8_t* src = reinterpret_cast<const uint8_t*>(pixels);
    if (p.channels == 4) {
        for (uint32_t x = 0; x < p.width; ++x, src += 4, out += 4) {
            out[0] = src[2];
            out[1] = src[1];
            out[2] = src[0];
            out[3] = src[3];
        }
    } else {
        for (uint32_t x = 0; x < p.width; ++x, src += 4, out += 3) {
            out[0] = src[2];
            out[1] = src[1];
            out[2] = src[0];
        }
    }
}

inline uint8_t Paeth(int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return uint8_t(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Row `row` filtered as `type` into `out` (n bytes, `bpp` bytes a pixel, `up` the row above),
// each loop simple enough for the compiler to vectorise; returns the bits the bytes take when
// each is coded by its frequency in them: n log2 n - sum of c log2 c over the byte counts c.
double Filter(int type, const uint8_t* row, const uint8_t* up, size_t n, size_t bpp, uint8_t* out) {
    switch (type) {
    case 0: std::copy(row, row + n, out); break;
    case 1:
        std::copy(row, row + bpp, out);
        for (size_t i = bpp; i < n; ++i) out[i] = uint8_t(row[i] - row[i - bpp]);
        break;
    case 2:
        for (size_t i = 0; i < n; ++i) out[i] = uint8_t(row[i] - up[i]);
        break;
    case 3:
        for (size_t i = 0; i < bpp; ++i) out[i] = uint8_t(row[i] - (up[i] >> 1));
        for (size_t i = bpp; i < n; ++i) out[i] = uint8_t(row[i] - ((row[i - bpp] + up[i]) >> 1));
        break;
    default:
        for (size_t i = 0; i < bpp; ++i) out[i] = uint8_t(row[i] - up[i]);
        for (size_t i = bpp; i < n; ++i)
            out[i] = uint8_t(row[i] - Paeth(row[i - bpp], up[i], up[i - bpp]));
        break;
    }
    // Four tables, so that neighbouring equal bytes do not wait on each other's count.
    uint32_t counts[4][256] = {};
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        ++counts[0][out[i]];
        ++counts[1][out[i + 1]];
        ++counts[2][out[i + 2]];
        ++counts[3][out[i + 3]];
    }
    for (; i < n; ++i) ++counts[0][out[i]];
    double bits = double(n) * std::log2(double(n));
    for (int v = 0; v < 256; ++v) {
        const uint32_t c = counts[0][v] + counts[1][v] + counts[2][v] + counts[3][v];
        if (c > 1) bits -= c * std::log2(double(c));
    }
    return bits;
}

// One filtered row: the filter byte and the row's bytes, as the filter with the smallest
// entropy; `up` is the row above (zeros for the top row), `scratch` n bytes.
void FilterRow(const uint8_t* row, const uint8_t* up, size_t n, size_t bpp, uint8_t* out,
               uint8_t* scratch) {
    double best = Filter(0, row, up, n, bpp, out + 1);
    out[0] = 0;
    // Average is left out: on decoded block textures it never wins and costs a fifth of the
    // filtering.
    for (int type : {1, 2, 4}) {
        const double sum = Filter(type, row, up, n, bpp, scratch);
        if (sum < best) {
            best = sum;
            out[0] = uint8_t(type);
            std::copy(scratch, scratch + n, out + 1);
        }
    }
}

// The filtered bytes of rows [first, end) into `out` ((rowBytes + 1) each); `pixels` holds
// the rows from the one above `first` (when there is one) to `end`.
void FilterRows(const Picture& p, uint32_t first, uint32_t end, const uint32_t* pixels,
                std::vector<uint8_t>& rowPair, uint8_t* out) {
    uint8_t* up = rowPair.data();
    uint8_t* row = up + p.rowBytes;
    uint8_t* scratch = row + p.rowBytes;
    if (first > 0) {
        ConvertRow(p, pixels, up);
        pixels += p.width;
    } else {
        std::fill(up, up + p.rowBytes, uint8_t(0));
    }
    for (uint32_t y = first; y < end; ++y, out += p.rowBytes + 1, pixels += p.width) {
        ConvertRow(p, pixels, row);
        FilterRow(row, up, p.rowBytes, p.channels, out, scratch);
        std::swap(up, row);
    }
}

// A piece deflated: its bytes, and the Adler-32 of its filtered bytes.
struct Piece {
    std::vector<uint8_t> deflated;
    uLong adler = 0;
    size_t filteredBytes = 0;
    bool ok = false;
};

void DeflatePiece(const Picture& p, uint32_t first, uint32_t end, bool last, Piece& piece) try {
    // The rows before this piece that fill deflate's window, filtered again here.
    const size_t filtered = p.rowBytes + 1;
    const uint32_t primeRows =
        std::min<uint32_t>(first, uint32_t((kWindow + filtered - 1) / filtered));
    std::vector<uint8_t> rowPair(p.rowBytes * 3);
    std::vector<uint8_t> bytes(filtered * (end - first + primeRows));
    const uint32_t from = first - primeRows, above = from > 0 ? 1 : 0;
    std::vector<uint32_t> pixels(size_t(end - from + above) * p.width);
    if (!p.source(from - above, end, pixels.data())) return;
    FilterRows(p, from, end, pixels.data(), rowPair, bytes.data());
    const uint8_t* own = bytes.data() + filtered * primeRows;
    piece.filteredBytes = filtered * (end - first);
    piece.adler = adler32(adler32(0L, nullptr, 0), own, uInt(piece.filteredBytes));

    const std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> deflater(
        libdeflate_alloc_compressor(kLevel), libdeflate_free_compressor);
    if (!deflater) return;
    // A piece that is not the last ends on a byte boundary and leaves the stream open.
    const size_t prime = std::min(kWindow, filtered * primeRows);
    libdeflate_deflate_set_piece(deflater.get(), prime, !last);
    piece.deflated.resize(
        libdeflate_deflate_compress_bound(deflater.get(), prime + piece.filteredBytes));
    const size_t size =
        libdeflate_deflate_compress(deflater.get(), own - prime, prime + piece.filteredBytes,
                                    piece.deflated.data(), piece.deflated.size());
    piece.ok = size > 0;
    piece.deflated.resize(size);
    piece.deflated.shrink_to_fit();
} catch (const std::bad_alloc&) {
    piece.ok = false; // on a worker thread: the caller reports it
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

// A chunk's head (length and type) for `bytes` bytes of data, and its CRC after them.
std::vector<uint8_t> ChunkHead(const char* type, size_t bytes) {
    std::vector<uint8_t> head;
    PutU32(head, uint32_t(bytes));
    for (int i = 0; i < 4; ++i) head.push_back(uint8_t(type[i]));
    return head;
}

} // namespace

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

int StdoutFd() {
    return _fileno(stdout);
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

int StdoutFd() {
    return fileno(stdout);
}
#endif

constexpr uint32_t kMaxWidth = 1u << 24;
constexpr uint64_t kMaxPixels = uint64_t(1) << 28; // the display image's own limit

// Writes the pieces in order as the whole file `path`, replacing what it held.
bool WritePieces(const std::string& path,
                 const std::vector<std::pair<const uint8_t*, size_t>>& pieces, std::string& error);

} // namespace

std::string WriteError(const std::string& path) {
    return "cannot write " + (path == "-" ? std::string("standard output") : path) + ": " +
           std::strerror(errno);
}

bool WritePng(const std::string& path, const uint32_t* bgra, uint32_t width, uint32_t height,
              PngRows rows, PngAlpha alpha, std::string& error, uint32_t threads) {
    const PngRowSource source = [=](uint32_t first, uint32_t end, uint32_t* dest) {
        for (uint32_t y = first; y < end; ++y, dest += width) {
            const uint32_t from = rows == PngRows::kBottomUp ? height - 1 - y : y;
            std::copy(bgra + size_t(from) * width, bgra + size_t(from + 1) * width, dest);
        }
        return true;
    };
    return WritePngRows(path, source, width, height, alpha, error, threads);
}

bool WritePngRows(const std::string& path, const PngRowSource& source, uint32_t width,
                  uint32_t height, PngAlpha alpha, std::string& error, uint32_t threads) {
    const size_t channels = alpha == PngAlpha::kKeep ? 4 : 3;
    if (width == 0 || height == 0 || width > kMaxWidth || uint64_t(width) * height > kMaxPixels) {
        error = "cannot write " + path + ": the picture is too large for a PNG file";
        return false;
    }
    const Picture p{source, width, height, channels, size_t(width) * channels};
    const uint32_t rowsPerPiece = uint32_t(std::max<size_t>(1, kPieceBytes / (p.rowBytes + 1)));
    const uint32_t count = (height + rowsPerPiece - 1) / rowsPerPiece;
    std::vector<Piece> pieces;
    try {
        pieces.resize(count);
        RowLoop loop{count,
                     uint32_t(std::min<uint64_t>(uint64_t(rowsPerPiece) * width, UINT32_MAX)), 0};
        RunRows(loop, threads, nullptr, [&](uint32_t first, uint32_t end) {
            for (uint32_t i = first; i < end; ++i)
                DeflatePiece(p, i * rowsPerPiece, std::min(height, (i + 1) * rowsPerPiece),
                             i + 1 == count, pieces[i]);
        });
    } catch (const std::bad_alloc&) {
        pieces.clear();
    }
    uLong adler = adler32(0L, nullptr, 0);
    for (const Piece& piece : pieces) {
        if (!piece.ok) pieces.clear();
        if (pieces.empty()) break;
        adler = adler32_combine(adler, piece.adler, z_off_t(piece.filteredBytes));
    }
    if (pieces.empty()) {
        errno = ENOMEM;
        error = WriteError(path);
        return false;
    }

    // Signature and IHDR, then one IDAT per piece (the zlib head before the first, the
    // Adler-32 after the last), then IEND.
    std::vector<uint8_t> head = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> ihdr = ChunkHead("IHDR", 13);
    PutU32(ihdr, width);
    PutU32(ihdr, height);
    const uint8_t ihdrRest[5] = {8, uint8_t(channels == 4 ? 6 : 2), 0, 0, 0};
    ihdr.insert(ihdr.end(), ihdrRest, ihdrRest + 5);
    PutU32(ihdr, uint32_t(crc32(0L, ihdr.data() + 4, 17)));
    head.insert(head.end(), ihdr.begin(), ihdr.end());
    const uint8_t zlibHead[2] = {0x78, 0x9C};
    pieces.front().deflated.insert(pieces.front().deflated.begin(), zlibHead, zlibHead + 2);
    PutU32(pieces.back().deflated, uint32_t(adler));
    std::vector<std::vector<uint8_t>> frames; // each IDAT's head, and its CRC
    frames.reserve(pieces.size() * 2 + 1);
    std::vector<std::pair<const uint8_t*, size_t>> parts{{head.data(), head.size()}};
    for (const Piece& piece : pieces) {
        const std::vector<uint8_t>& data = piece.deflated;
        frames.push_back(ChunkHead("IDAT", data.size()));
        parts.emplace_back(frames.back().data(), frames.back().size());
        parts.emplace_back(data.data(), data.size());
        frames.emplace_back();
        const uLong crc = crc32(crc32(0L, reinterpret_cast<const Bytef*>("IDAT"), 4), data.data(),
                                uInt(data.size()));
        PutU32(frames.back(), uint32_t(crc));
        parts.emplace_back(frames.back().data(), frames.back().size());
    }
    static const uint8_t kEnd[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    parts.emplace_back(kEnd, sizeof kEnd);
    return WritePieces(path, parts, error);
}

bool WriteWholeFile(const std::string& path, const void* data, size_t bytes, std::string& error) {
    return WritePieces(path, {{static_cast<const uint8_t*>(data), bytes}}, error);
}

bool OutputFile::Open(const std::string& path, std::string& error) {
    m_Path = path;
    m_Done = 0;
    std::fflush(stdout);
    m_Fd = path == "-" ? StdoutFd() : OpenForWriting(path);
    if (m_Fd < 0) error = WriteError(path);
    return m_Fd >= 0;
}

bool OutputFile::Write(const void* data, size_t bytes, std::string& error) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    for (size_t at = 0; at < bytes;) {
        const long n = WriteSome(m_Fd, p + at, bytes - at);
        if (n > 0) {
            m_Done += size_t(n), at += size_t(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n == 0) errno = ENOSPC;
            error = WriteError(m_Path);
            return false;
        }
    }
    return true;
}

// Written over in place, then cut to what was written: replacing a large file this way costs a
// fraction of truncating it first (no blocks freed and allocated again, no flush forced at the
// close), and a failure leaves what a truncating write would have left.
bool OutputFile::Close(std::string& error) {
    const int fd = m_Fd;
    m_Fd = -1;
    if (fd < 0 || m_Path == "-") return fd >= 0;
    bool ok = true;
    if (IsRegularFile(fd) && !CutAt(fd, m_Done)) {
        error = WriteError(m_Path);
        ok = false;
    }
    if (CloseFile(fd) != 0 && ok) {
        error = WriteError(m_Path);
        ok = false;
    }
    return ok;
}

OutputFile::~OutputFile() {
    std::string ignored;
    Close(ignored);
}

namespace {

bool WritePieces(const std::string& path,
                 const std::vector<std::pair<const uint8_t*, size_t>>& pieces, std::string& error) {
    OutputFile file;
    if (!file.Open(path, error)) return false;
    bool ok = true;
    for (const auto& piece : pieces) ok = ok && file.Write(piece.first, piece.second, error);
    std::string closing;
    if (!file.Close(closing) && ok) {
        error = closing;
        ok = false;
    }
    return ok;
}

} // namespace
