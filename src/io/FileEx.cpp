// Parts of the reader that do not depend on the backend: the exception and Read's frame.
#include "io/FileEx.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {
const char* const kCodeTexts[] = {
    "The Operation Completed Successfully",
    "Invalid Operation on Closed File",
    "Parameter Supplied Is out of Range",
    "Operation Failed. I/O Operations are Running",
    "Parameter is Invalid",
};
} // namespace

CFileExException::CFileExException(uint32_t error, int32_t code)
    : m_dwError(error), m_nCode(code),
      m_strText(code >= 0 && code < int32_t(std::size(kCodeTexts)) ? kCodeTexts[code] : ""),
      m_strSystemText(SystemMessageText(error)) {}

uint32_t CFileEx::Read(void* buffer, uint32_t count, ProgressCallback callback, uintptr_t userValue,
                       int pumpMessages) {
    if (!m_bOpen) {
        if (m_bThrow) throw CFileExException(0, fileex::kCodeClosed);
        return 0;
    }
    if (!buffer) {
        if (m_bThrow) throw CFileExException(0, fileex::kCodeInvalidParameter);
        return 0;
    }
    // A handler running inside our wait must not start a second transfer: its requests and
    // completions would interleave with ours.
    if (m_bBusy) {
        if (m_bThrow) throw CFileExException(0, fileex::kCodeBusy);
        return 0;
    }
    // However the transfer ends, the reader is idle afterwards and a Close that arrived
    // meanwhile takes effect.
    struct BusyScope {
        CFileEx& file;
        ~BusyScope() {
            file.m_bBusy = 0;
            if (file.m_bCloseRequested) file.CloseHandleNow();
        }
    };
    m_bBusy = 1;
    BusyScope scope{*this};
    if (m_pSource) return TransferFromSource(buffer, count, callback, userValue);
    return Transfer(buffer, count, callback, userValue, pumpMessages);
}

void CFileEx::ReadAt(uint64_t position, void* buffer, uint32_t count) const {
    if (!m_bOpen) throw CFileExException(0, fileex::kCodeClosed);
    if (!buffer) throw CFileExException(0, fileex::kCodeInvalidParameter);
    uint8_t* const target = static_cast<uint8_t*>(buffer);
    uint32_t done = 0, error = 0;
    while (done < count && !error) {
        uint32_t got = 0;
        if (!m_pSource) {
            got = TransferAt(position + done, target + done, count - done, error);
        } else if (!m_pSource->ReadAt(position + done, target + done, count - done, got, error)) {
            break;
        }
        if (got == 0 && !error) error = fileex::kErrorHandleEof;
        done += std::min(got, count - done);
    }
    if (done < count && !error) error = fileex::kErrorHandleEof; // a source failed, saying nothing
    if (error) throw CFileExException(error, fileex::kCodeSystem);
}

uint32_t CFileEx::TransferFromSource(void* buffer, uint32_t count, ProgressCallback callback,
                                     uintptr_t userValue) {
    uint8_t* target = static_cast<uint8_t*>(buffer);
    uint32_t done = 0, error = 0;
    while (done < count && !m_bCloseRequested) {
        const uint32_t size = std::min(m_nChunkSize, count - done);
        uint32_t got = 0;
        if (!m_pSource->ReadAt(m_nBaseOffset + done, target + done, size, got, error)) break;
        done += std::min(got, size);
        if (got == 0) {
            error = fileex::kErrorHandleEof;
            break;
        }
        if (!CallProgress(callback, done, count, userValue)) break;
    }
    if (error && m_bThrow) throw CFileExException(error, fileex::kCodeSystem);
    return done;
}

uint64_t CFileEx::SourceSize() {
    uint64_t size = 0;
    uint32_t error = 0;
    if (m_pSource->Size(size, error)) return size;
    if (m_bThrow) throw CFileExException(error, fileex::kCodeSystem);
    return 0;
}

int CFileEx::OpenSource(CByteSource* source) {
    if (m_bBusy) {
        if (m_bThrow) throw CFileExException(0, fileex::kCodeBusy);
        return 0;
    }
    Close();
    if (!source) return 0;
    m_pSource = source;
    m_nBaseOffset = 0;
    m_szFileName[0] = '\0';
    m_bOpen = 1;
    return 1;
}

int CFileEx::Open(const char* name, uint32_t creationDisposition, uint32_t desiredAccess,
                  uint32_t shareMode, void* securityAttributes) {
    if (m_bBusy) { // closing would pull the file from under the request in flight
        if (m_bThrow) throw CFileExException(0, fileex::kCodeBusy);
        return 0;
    }
    Close();
    m_pSource = nullptr;
    if (!name) return 0;
    size_t length = 0;
    while (length <= sizeof m_szFileName - 1 && name[length]) ++length;
    if (length > sizeof m_szFileName - 1) return 0;

    uint32_t error =
        OpenHandle(name, creationDisposition, desiredAccess, shareMode, securityAttributes);
    m_nBaseOffset = 0;
    if (error) {
        if (m_bThrow) throw CFileExException(error, fileex::kCodeSystem);
        return 0;
    }
    std::memcpy(m_szFileName, name, length);
    m_szFileName[length] = '\0';
    m_bOpen = 1;
    return 1;
}
