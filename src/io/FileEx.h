// Chunked reader: one request of at most m_nChunkSize bytes (204800 unless the owner asks for
// more) in flight, progress after each, window messages dispatched while waiting, cancellable
// through Close.
#pragma once

#include <cstdint>
#include <string>

#include "io/Progress.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

// Error numbers shared by both backends. The POSIX backend reports these Win32 numbers where
// one exists, so that both builds tell the user the same thing.
namespace fileex {
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorHandleEof = 38;
// POSIX errors without a Win32 twin: errno with the customer bit of Win32 error codes set.
constexpr uint32_t kPosixErrorFlag = 0x20000000;

// Open parameters, with the Win32 values.
constexpr uint32_t kOpenExisting = 3;
constexpr uint32_t kGenericRead = 0x80000000;
constexpr uint32_t kFileShareRead = 1;

// Codes of CFileExException, indices into its text table.
enum : int32_t {
    kCodeSystem = 0,
    kCodeClosed = 1,
    kCodeOutOfRange = 2,
    kCodeBusy = 3,
    kCodeInvalidParameter = 4,
};
} // namespace fileex

#ifdef _WIN32
namespace fileex {
// How requests are started. Windows may refuse a request at the end of the file instead of
// completing it with an error; Wine never does, so tests put a fake here to reach that path.
typedef BOOL(WINAPI* ReadFileExFunction)(HANDLE, LPVOID, DWORD, LPOVERLAPPED,
                                         LPOVERLAPPED_COMPLETION_ROUTINE);
extern ReadFileExFunction g_pfnReadFileEx;
} // namespace fileex
#endif

// The system's message text for an error number, with its line end; empty when none.
std::string SystemMessageText(uint32_t error);

class CFileExException {
  public:
    CFileExException(uint32_t error, int32_t code);

    // What a catcher shows the user: the table text, or the system text for code 0.
    const std::string& UserText() const { return m_nCode != 0 ? m_strText : m_strSystemText; }

    uint32_t m_dwError;
    int32_t m_nCode;
    std::string m_strText;
    std::string m_strSystemText;
};

// Bytes that come from elsewhere than a named file: the stream the shell hands a thumbnail
// handler. Each call returns false on failure with the system's error number in `error`.
class CByteSource {
  public:
    virtual ~CByteSource() = default;
    virtual bool Size(uint64_t& size, uint32_t& error) = 0;
    // Up to `count` bytes at `offset`; `done` says how many came (fewer only at the end).
    virtual bool ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t& done,
                        uint32_t& error) = 0;
};

class CFileEx {
  public:
    CFileEx();
    ~CFileEx();
    CFileEx(const CFileEx&) = delete;
    CFileEx& operator=(const CFileEx&) = delete;

    // The name is UTF-8 (on Windows, a name that is not valid UTF-8 is read in the ANSI code
    // page).
    int Open(const char* name, uint32_t creationDisposition = fileex::kOpenExisting,
             uint32_t desiredAccess = fileex::kGenericRead,
             uint32_t shareMode = fileex::kFileShareRead, void* securityAttributes = nullptr);
    // Reads `source` instead of a file until the next Open or Close (the source stays the
    // caller's). Its reads are plain calls: nothing waits and no message is dispatched.
    int OpenSource(CByteSource* source);
    uint64_t GetSize();
    uint32_t Read(void* buffer, uint32_t count, ProgressCallback callback, uintptr_t userValue,
                  int pumpMessages = 1);
    // All `count` bytes at `position` of the open file, in one plain call: no progress, no
    // pump, no cancel, and nothing of the reader changes, so that several threads may read at
    // once (a source's reads are as safe as the source's own). Throws as Read does; fewer bytes
    // than asked (the file shrank) throw the end-of-file error.
    void ReadAt(uint64_t position, void* buffer, uint32_t count) const;
    void Close();
    void PumpMessages();
    // What the decoders and composition call once per row: PumpMessages, on Windows only once
    // kPumpIntervalMs have passed since the last time. Dispatching is a server round trip
    // under Wine (tens of microseconds); thousands of rows would spend most of a load on it.
    void PumpMessagesIfDue();
    static constexpr uint32_t kPumpIntervalMs = 10;

    // False in a host whose window messages are not the reader's to dispatch (the shell's
    // thumbnail handler runs on a thread of another program): PumpMessages does nothing.
    bool m_bDispatch = true;

    bool IsOpen() const { return m_bOpen != 0; }
    bool IsBusy() const { return m_bBusy != 0; }

#ifndef _WIN32
    // Native builds have no window messages; the host may install what PumpMessages runs
    // (called once per request while it is "in flight", and by the decoders once per row).
    typedef void (*PumpHook)(void* context);
    void SetPumpHook(PumpHook hook, void* context) {
        m_pfnPumpHook = hook;
        m_pPumpContext = context;
    }
#endif

#ifdef _WIN32
    HANDLE m_hFile;
    HANDLE m_hAbortEvent;
#else
    int m_hFile;       // file descriptor, -1 when closed
    int m_hAbortEvent; // abort "event": non-zero when signalled
#endif
    int32_t m_bOpen;
    int32_t m_bBusy;
    uint32_t m_nChunkSize;
    int32_t m_bThrow;
    int32_t m_bCloseRequested;
    char m_szFileName[261];
    // 64 bits: a cube map or volume can hold its selected surface beyond 4 GiB.
    uint64_t m_nBaseOffset;
#ifdef _WIN32
    uint32_t m_dwLastPump = 0; // tick count of the last PumpMessagesIfDue that pumped
#endif

  private:
    // Read and GetSize of a source opened with OpenSource.
    uint32_t TransferFromSource(void* buffer, uint32_t count, ProgressCallback callback,
                                uintptr_t userValue);
    uint64_t SourceSize();
    CByteSource* m_pSource = nullptr;
    uint32_t Transfer(void* buffer, uint32_t count, ProgressCallback callback, uintptr_t userValue,
                      int pumpMessages);
    // ReadAt of the file: the bytes that came before the end of the file or an error (the
    // system's error number in `error`, 0 when none).
    uint32_t TransferAt(uint64_t position, uint8_t* buffer, uint32_t count, uint32_t& error) const;
    // Opens m_hFile; returns 0, or the system error number with m_hFile left closed.
    uint32_t OpenHandle(const char* name, uint32_t creationDisposition, uint32_t desiredAccess,
                        uint32_t shareMode, void* securityAttributes);
    void CloseHandleNow();
#ifndef _WIN32
    PumpHook m_pfnPumpHook = nullptr;
    void* m_pPumpContext = nullptr;
#endif
};
