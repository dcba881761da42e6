// Windows backend: overlapped ReadFileEx requests completed by an APC during an alertable wait
// that also wakes for window input.
#include "io/FileEx.h"

#include <algorithm>
#include <cstddef>
#include <string>

namespace fileex {
ReadFileExFunction g_pfnReadFileEx = ::ReadFileEx;
} // namespace fileex

namespace {

// One running transfer. The system hands the OVERLAPPED back to the completion routine, which
// finds the rest of the record behind it.
struct FileTransfer {
    OVERLAPPED overlapped;
    uint32_t total;
    uint32_t done;
    ProgressCallback callback;
    uintptr_t userValue;
    int32_t goOn;
    uint32_t error;
    // Set while a request's routine has not run yet: the record must outlive it, and an
    // alertable wait also returns for APCs that are not ours.
    int32_t inFlight;
};
static_assert(offsetof(FileTransfer, overlapped) == 0, "the OVERLAPPED must come first");

// QS_ALLEVENTS as the wait expects it; newer SDKs add raw input, touch and pointer bits.
constexpr DWORD kWakeMask = 0xBF;

void CALLBACK OnChunkComplete(DWORD error, DWORD bytes, LPOVERLAPPED overlapped) {
    if (!overlapped) return;
    FileTransfer* transfer = reinterpret_cast<FileTransfer*>(overlapped);
    transfer->inFlight = 0;
    uint32_t missing = transfer->total - transfer->done;
    if (bytes > missing) bytes = missing;
    // Nothing delivered and no error: asking again would get nothing again.
    if (error == 0 && bytes == 0 && missing != 0) error = ERROR_HANDLE_EOF;
    transfer->done += bytes;
    if (transfer->callback)
        transfer->goOn = transfer->callback(transfer->done, transfer->total, transfer->userValue);
    transfer->error = error;
    transfer->goOn = (error == 0 && transfer->goOn) ? 1 : 0;
}

// Starts the next request; false (with the error stored) when the system refuses it.
bool StartRequest(const CFileEx& file, FileTransfer& transfer, uint8_t* buffer) {
    DWORD size = std::min(file.m_nChunkSize, transfer.total - transfer.done);
    uint64_t position = file.m_nBaseOffset + transfer.done;
    transfer.overlapped.Offset = DWORD(position);
    transfer.overlapped.OffsetHigh = DWORD(position >> 32);
    transfer.inFlight = 1;
    if (fileex::g_pfnReadFileEx(file.m_hFile, buffer + transfer.done, size, &transfer.overlapped,
                                OnChunkComplete))
        return true;
    transfer.inFlight = 0;
    transfer.error = GetLastError();
    if (transfer.error == 0) transfer.error = ERROR_GEN_FAILURE;
    return false;
}

} // namespace

std::string SystemMessageText(uint32_t error) {
    char* text = nullptr;
    DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, error, 0x400, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string result;
    if (text) {
        result.assign(text, length);
        LocalFree(text);
    }
    return result;
}

CFileEx::CFileEx()
    : m_hFile(nullptr), m_hAbortEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr)), m_bOpen(0),
      m_bBusy(0), m_nChunkSize(204800), m_bThrow(1), m_bCloseRequested(0), m_szFileName(),
      m_nBaseOffset(0) {}

CFileEx::~CFileEx() {
    Close();
    if (m_hAbortEvent) CloseHandle(m_hAbortEvent);
}

uint32_t CFileEx::OpenHandle(const char* name, uint32_t creationDisposition, uint32_t desiredAccess,
                             uint32_t shareMode, void* securityAttributes) {
    // UTF-8, through the wide API, so that every name the system has can be opened; a name that
    // is no UTF-8 at all comes from an ANSI caller and is read in its code page.
    UINT codePage = CP_UTF8;
    int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, name, -1, nullptr, 0);
    if (length == 0) length = MultiByteToWideChar(codePage = CP_ACP, 0, name, -1, nullptr, 0);
    std::wstring wide(size_t(length > 0 ? length : 1), L'\0');
    if (length > 0) MultiByteToWideChar(codePage, 0, name, -1, &wide[0], length);
    HANDLE file = CreateFileW(wide.c_str(), desiredAccess, shareMode,
                              static_cast<LPSECURITY_ATTRIBUTES>(securityAttributes),
                              creationDisposition, FILE_FLAG_OVERLAPPED, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        m_hFile = nullptr;
        DWORD error = GetLastError();
        return error ? error : ERROR_GEN_FAILURE;
    }
    m_hFile = file;
    return 0;
}

uint64_t CFileEx::GetSize() {
    if (!m_bOpen && m_bThrow) throw CFileExException(0, fileex::kCodeClosed);
    if (m_bOpen && m_pSource) return SourceSize();
    LARGE_INTEGER size;
    if (GetFileSizeEx(m_hFile, &size)) return uint64_t(size.QuadPart);
    DWORD error = GetLastError();
    if (m_bThrow) throw CFileExException(error, fileex::kCodeSystem);
    return 0;
}

uint32_t CFileEx::Transfer(void* buffer, uint32_t count, ProgressCallback callback,
                           uintptr_t userValue, int pumpMessages) {
    FileTransfer transfer = {};
    transfer.total = count;
    transfer.callback = callback;
    transfer.userValue = userValue;
    transfer.goOn = 1;
    bool aborted = false;
    uint8_t* target = static_cast<uint8_t*>(buffer);
    ResetEvent(m_hAbortEvent);

    if (StartRequest(*this, transfer, target)) {
        for (;;) {
            DWORD result = pumpMessages
                               ? MsgWaitForMultipleObjectsEx(1, &m_hAbortEvent, INFINITE, kWakeMask,
                                                             MWMO_ALERTABLE)
                               : WaitForMultipleObjectsEx(1, &m_hAbortEvent, FALSE, INFINITE, TRUE);
            if (result == WAIT_OBJECT_0) {
                // The request in flight still completes; stop after it.
                ResetEvent(m_hAbortEvent);
                aborted = true;
            } else if (result == WAIT_OBJECT_0 + 1 && pumpMessages) {
                PumpMessages();
            } else if (result == WAIT_IO_COMPLETION) {
                if (transfer.inFlight) continue; // someone else's APC
                // Close from inside the callback: no request is in flight, stop now.
                if (WaitForSingleObject(m_hAbortEvent, 0) == WAIT_OBJECT_0) {
                    ResetEvent(m_hAbortEvent);
                    aborted = true;
                }
                if (aborted) break;
                if (transfer.done == transfer.total) return transfer.done;
                if (!transfer.goOn) break;
                if (!StartRequest(*this, transfer, target)) break;
            } else if (result == WAIT_FAILED) {
                // Waiting again would spin. Take the request back before the record goes away.
                DWORD error = GetLastError();
                CancelIo(m_hFile);
                while (transfer.inFlight) SleepEx(INFINITE, TRUE);
                if (transfer.error == 0) transfer.error = error ? error : ERROR_GEN_FAILURE;
                break;
            }
        }
    }
    if (transfer.error && m_bThrow) throw CFileExException(transfer.error, fileex::kCodeSystem);
    return transfer.done;
}

uint32_t CFileEx::TransferAt(uint64_t position, uint8_t* buffer, uint32_t count,
                             uint32_t& error) const {
    // An event of the thread's own, made once: other threads' requests signal the handle too,
    // and a new event for each request would cost a server call each under Wine.
    struct Event {
        HANDLE handle = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        ~Event() {
            if (handle) CloseHandle(handle);
        }
    };
    static thread_local Event event;
    if (!event.handle) return error = ERROR_GEN_FAILURE, 0;
    OVERLAPPED overlapped = {};
    overlapped.Offset = DWORD(position);
    overlapped.OffsetHigh = DWORD(position >> 32);
    overlapped.hEvent = event.handle;
    DWORD got = 0;
    error = 0;
    if ((!ReadFile(m_hFile, buffer, count, nullptr, &overlapped) &&
         GetLastError() != ERROR_IO_PENDING) ||
        !GetOverlappedResult(m_hFile, &overlapped, &got, TRUE)) {
        error = GetLastError();
        got = 0;
    }
    return std::min<uint32_t>(got, count);
}

void CFileEx::Close() {
    if (m_bBusy) {
        SetEvent(m_hAbortEvent);
        m_bCloseRequested = 1;
        return;
    }
    CloseHandleNow();
}

void CFileEx::CloseHandleNow() {
    if (m_hFile) CloseHandle(m_hFile);
    m_hFile = nullptr;
    m_bOpen = 0;
    m_bCloseRequested = 0;
    m_pSource = nullptr;
}

void CFileEx::PumpMessagesIfDue() {
    const DWORD now = GetTickCount();
    if (now - m_dwLastPump < kPumpIntervalMs) return;
    m_dwLastPump = now;
    PumpMessages();
}

void CFileEx::PumpMessages() {
    if (!m_bDispatch) return;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        if (GetMessageA(&msg, nullptr, 0, 0) == -1) break;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}
