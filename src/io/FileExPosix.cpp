// Native backend: pread stands in for the overlapped request, with the same order of events as
// on Windows: one request at a time, the pump while it is "in flight", then its completion.
#include "io/FileEx.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

// Win32 numbers for the open dispositions' own failures.
constexpr uint32_t kErrorFileExists = 80;
constexpr uint32_t kErrorInvalidParameter = 87;

constexpr uint32_t kGenericAll = 0x10000000;
constexpr uint32_t kGenericWrite = 0x40000000;

// Windows tells a missing file from a missing folder on the way to it; ENOENT covers both.
bool ParentIsDirectory(const char* name) {
    const char* slash = std::strrchr(name, '/');
    if (!slash) return true; // the current directory
    std::string parent(name, size_t(slash - name));
    if (parent.empty()) return true; // the root
    struct stat info;
    return stat(parent.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

uint32_t ErrorFromErrno(int error) {
    switch (error) {
    case ENOENT: return fileex::kErrorFileNotFound;
    case ENOTDIR: return fileex::kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR: return fileex::kErrorAccessDenied;
    case EEXIST: return kErrorFileExists;
    default: return fileex::kPosixErrorFlag | uint32_t(error);
    }
}

int OpenFlags(uint32_t creationDisposition, uint32_t desiredAccess, bool& valid) {
    bool write = (desiredAccess & (kGenericWrite | kGenericAll)) != 0;
    bool read = (desiredAccess & (fileex::kGenericRead | kGenericAll)) != 0;
    int flags = O_CLOEXEC | (write ? (read ? O_RDWR : O_WRONLY) : O_RDONLY);
    valid = true;
    switch (creationDisposition) {
    case 1: return flags | O_CREAT | O_EXCL;  // CREATE_NEW
    case 2: return flags | O_CREAT | O_TRUNC; // CREATE_ALWAYS
    case fileex::kOpenExisting: return flags;
    case 4: return flags | O_CREAT; // OPEN_ALWAYS
    case 5: return flags | O_TRUNC; // TRUNCATE_EXISTING
    default: valid = false; return flags;
    }
}

} // namespace

std::string SystemMessageText(uint32_t error) {
    // The texts Windows gives, so that both builds tell the user the same thing.
    switch (error) {
    case 0: return "The operation completed successfully.\r\n";
    case fileex::kErrorFileNotFound: return "The system cannot find the file specified.\r\n";
    case fileex::kErrorPathNotFound: return "The system cannot find the path specified.\r\n";
    case fileex::kErrorAccessDenied: return "Access is denied.\r\n";
    case fileex::kErrorHandleEof: return "Reached the end of the file.\r\n";
    case kErrorFileExists: return "The file exists.\r\n";
    case kErrorInvalidParameter: return "The parameter is incorrect.\r\n";
    }
    if ((error & ~uint32_t(0xFFFF)) == fileex::kPosixErrorFlag)
        return std::string(std::strerror(int(error & 0xFFFF))) + "\r\n";
    return std::string();
}

CFileEx::CFileEx()
    : m_hFile(-1), m_hAbortEvent(0), m_bOpen(0), m_bBusy(0), m_nChunkSize(204800), m_bThrow(1),
      m_bCloseRequested(0), m_szFileName(), m_nBaseOffset(0) {}

CFileEx::~CFileEx() {
    Close();
}

uint32_t CFileEx::OpenHandle(const char* name, uint32_t creationDisposition, uint32_t desiredAccess,
                             uint32_t, void*) {
    m_hFile = -1;
    if (!*name) return fileex::kErrorPathNotFound; // as CreateFileA("") fails
    bool valid;
    int flags = OpenFlags(creationDisposition, desiredAccess, valid);
    if (!valid) return kErrorInvalidParameter;
    int fd;
    do fd = open(name, flags, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        int error = errno;
        if (error == ENOENT && !ParentIsDirectory(name)) return fileex::kErrorPathNotFound;
        return ErrorFromErrno(error);
    }
    // Windows refuses to open a directory as a file; Linux hands out a descriptor.
    struct stat info;
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(fd);
        return fileex::kErrorAccessDenied;
    }
    m_hFile = fd;
    return 0;
}

uint64_t CFileEx::GetSize() {
    if (!m_bOpen && m_bThrow) throw CFileExException(0, fileex::kCodeClosed);
    if (m_bOpen && m_pSource) return SourceSize();
    struct stat info;
    if (fstat(m_hFile, &info) == 0) return uint64_t(info.st_size);
    uint32_t error = ErrorFromErrno(errno);
    if (m_bThrow) throw CFileExException(error, fileex::kCodeSystem);
    return 0;
}

uint32_t CFileEx::Transfer(void* buffer, uint32_t count, ProgressCallback callback,
                           uintptr_t userValue, int pumpMessages) {
    uint8_t* target = static_cast<uint8_t*>(buffer);
    uint32_t done = 0;
    int32_t goOn = 1;
    uint32_t error = 0;
    m_hAbortEvent = 0;
    for (;;) {
        // The request.
        uint32_t size = std::min(m_nChunkSize, count - done);
        uint64_t position = m_nBaseOffset + done;
        ssize_t got = -1;
        int readError = EINVAL; // an offset beyond what the system can address
        if (position <= uint64_t(std::numeric_limits<off_t>::max())) {
            do got = pread(m_hFile, target + done, size, off_t(position));
            while (got < 0 && errno == EINTR);
            readError = got < 0 ? errno : 0;
        }
        // While it is in flight, window messages are dispatched.
        if (pumpMessages) PumpMessages();
        // Its completion.
        uint32_t bytes = got > 0 ? std::min(uint32_t(got), size) : 0;
        uint32_t completionError = got < 0 ? ErrorFromErrno(readError) : 0;
        // Nothing delivered and no error: the end of the file.
        if (completionError == 0 && bytes == 0 && done != count)
            completionError = fileex::kErrorHandleEof;
        done += bytes;
        if (callback) goOn = callback(done, count, userValue);
        error = completionError;
        goOn = (error == 0 && goOn) ? 1 : 0;
        // An abort (Close from a handler or the callback) stops the transfer only now that
        // the request has completed.
        if (m_hAbortEvent) {
            m_hAbortEvent = 0;
            break;
        }
        if (done == count) return done;
        if (!goOn) break;
    }
    if (error && m_bThrow) throw CFileExException(error, fileex::kCodeSystem);
    return done;
}

uint32_t CFileEx::TransferAt(uint64_t position, uint8_t* buffer, uint32_t count,
                             uint32_t& error) const {
    error = 0;
    if (position > uint64_t(std::numeric_limits<off_t>::max()))
        return error = ErrorFromErrno(EINVAL), 0;
    ssize_t got;
    do got = pread(m_hFile, buffer, count, off_t(position));
    while (got < 0 && errno == EINTR);
    if (got < 0) error = ErrorFromErrno(errno);
    return got > 0 ? std::min(uint32_t(got), count) : 0;
}

void CFileEx::Close() {
    if (m_bBusy) {
        m_hAbortEvent = 1;
        m_bCloseRequested = 1;
        return;
    }
    CloseHandleNow();
}

void CFileEx::CloseHandleNow() {
    if (m_hFile >= 0) close(m_hFile);
    m_hFile = -1;
    m_bOpen = 0;
    m_bCloseRequested = 0;
    m_pSource = nullptr;
}

void CFileEx::PumpMessages() {
    if (m_pfnPumpHook) m_pfnPumpHook(m_pPumpContext);
}

// No window messages natively: the host's hook runs every row.
void CFileEx::PumpMessagesIfDue() {
    PumpMessages();
}
