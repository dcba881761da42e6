// BrixaThumbs.dll: the shell's thumbnail handler for .dds files. Explorer hands it a stream on
// the file (IInitializeWithStream) and asks for a picture of cx pixels (IThumbnailProvider);
// the picture is MakeThumbnail's, as `brixa-cli thumbnail` writes it.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <objidl.h>
#include <propsys.h>
#include <thumbcache.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "thumbs/Thumbnail.h"
#include "thumbs/ThumbsClsid.h"
#include "view/Settings.h"

namespace {

// IThumbnailProvider's interface identifier (MinGW's uuid library does not have it); the key
// under a type's ShellEx that names a thumbnail handler is this identifier too.
constexpr IID kIidThumbnailProvider = {
    0xe357fccd, 0xa995, 0x4576, {0xb0, 0x1f, 0x23, 0x46, 0x30, 0x15, 0x4e, 0x96}};

const char kSettingsSubkey[] = "SOFTWARE\\Solvane\\"; // the viewer's settings
LONG g_nLocks = 0;                                    // live objects and server locks
// The decoders' worker threads wait in this DLL's code for the next picture once one has been
// made: from then on it must stay loaded.
LONG g_bDecoded = 0;

// The shell's stream as the core's source of bytes.
class CStreamSource : public CByteSource {
  public:
    explicit CStreamSource(IStream* stream) : m_pStream(stream) {}
    bool Size(uint64_t& size, uint32_t& error) override {
        STATSTG stat = {};
        const HRESULT hr = m_pStream->Stat(&stat, STATFLAG_NONAME);
        if (FAILED(hr)) return Fail(hr, error);
        size = stat.cbSize.QuadPart;
        return true;
    }
    bool ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t& done,
                uint32_t& error) override {
        done = 0;
        LARGE_INTEGER to;
        to.QuadPart = LONGLONG(offset);
        HRESULT hr = m_pStream->Seek(to, STREAM_SEEK_SET, nullptr);
        if (FAILED(hr)) return Fail(hr, error);
        while (done < count) {
            ULONG got = 0;
            hr = m_pStream->Read(static_cast<uint8_t*>(buffer) + done, count - done, &got);
            if (FAILED(hr)) return Fail(hr, error);
            done += std::min<ULONG>(got, count - done);
            if (got == 0 || hr == S_FALSE) break; // the end of the stream
        }
        return true;
    }

  private:
    static bool Fail(HRESULT hr, uint32_t& error) {
        error = HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : uint32_t(hr);
        return false;
    }
    IStream* m_pStream;
};

// The viewer's "Cube map as a cross" as it stores it: under HKEY_LOCAL_MACHINE where the
// viewer can write there, else under HKEY_CURRENT_USER.
bool CubeCrossStored() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsSubkey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                      &key) != ERROR_SUCCESS &&
        RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsSubkey, 0, KEY_QUERY_VALUE, &key) !=
            ERROR_SUCCESS)
        return false;
    DWORD version = 0, flags = 0, size = sizeof version;
    const bool read = RegQueryValueExA(key, "RegVer", nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(&version), &size) == ERROR_SUCCESS &&
                      (size = sizeof flags,
                       RegQueryValueExA(key, "Flags", nullptr, nullptr,
                                        reinterpret_cast<BYTE*>(&flags), &size) == ERROR_SUCCESS);
    RegCloseKey(key);
    ViewerSettings settings;
    if (read) DecodeFlags(flags, version, settings);
    return settings.cubeCross;
}

// A 32-bit top-down DIB section holding the picture.
HBITMAP MakeBitmap(const Thumbnail& picture) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = LONG(picture.width);
    info.bmiHeader.biHeight = -LONG(picture.height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits)
        std::memcpy(bits, picture.pixels.data(), picture.pixels.size() * sizeof(uint32_t));
    return bitmap;
}

class CThumbProvider : public IThumbnailProvider, public IInitializeWithStream {
  public:
    CThumbProvider() { InterlockedIncrement(&g_nLocks); }
    virtual ~CThumbProvider() {
        if (m_pStream) m_pStream->Release();
        InterlockedDecrement(&g_nLocks);
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, kIidThumbnailProvider))
            *ppv = static_cast<IThumbnailProvider*>(this);
        else if (IsEqualIID(riid, IID_IInitializeWithStream))
            *ppv = static_cast<IInitializeWithStream*>(this);
        else
            return *ppv = nullptr, E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ULONG(InterlockedIncrement(&m_nRefs)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG refs = InterlockedDecrement(&m_nRefs);
        if (refs == 0) delete this;
        return ULONG(refs);
    }

    STDMETHODIMP Initialize(IStream* stream, DWORD) override {
        if (!stream) return E_INVALIDARG;
        if (m_pStream) return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
        m_pStream = stream;
        m_pStream->AddRef();
        return S_OK;
    }

    STDMETHODIMP GetThumbnail(UINT cx, HBITMAP* bitmap, WTS_ALPHATYPE* alpha) override {
        if (!bitmap || !alpha) return E_POINTER;
        *bitmap = nullptr;
        *alpha = WTSAT_UNKNOWN;
        if (!m_pStream) return E_UNEXPECTED;
        if (cx == 0) return E_INVALIDARG;
        // The stream (and the file behind it) is let go whatever happens: one picture a call.
        struct LetGo {
            IStream*& stream;
            ~LetGo() {
                stream->Release();
                stream = nullptr;
            }
        } letGo{m_pStream};
        try {
            CStreamSource source(m_pStream);
            Thumbnail picture;
            InterlockedExchange(&g_bDecoded, 1);
            ThumbnailOptions options;
            options.dispatch = false;
            options.cubeCross = CubeCrossStored();
            if (!MakeThumbnail(source, cx, picture, options))
                return picture.failure == Thumbnail::kReadFailed
                           ? HRESULT_FROM_WIN32(ERROR_READ_FAULT)
                           : HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
            *bitmap = MakeBitmap(picture);
            if (!*bitmap) return E_OUTOFMEMORY;
            *alpha = picture.hasAlpha ? WTSAT_ARGB : WTSAT_RGB;
            return S_OK;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_FAIL;
        }
    }

  private:
    LONG m_nRefs = 1;
    IStream* m_pStream = nullptr;
};

class CClassFactory : public IClassFactory {
  public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory))
            return *ppv = nullptr, E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    // One static factory: its references keep the server locked.
    STDMETHODIMP_(ULONG) AddRef() override { return ULONG(InterlockedIncrement(&g_nLocks)); }
    STDMETHODIMP_(ULONG) Release() override { return ULONG(InterlockedDecrement(&g_nLocks)); }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        CThumbProvider* provider = new (std::nothrow) CThumbProvider;
        if (!provider) return E_OUTOFMEMORY;
        const HRESULT hr = provider->QueryInterface(riid, ppv);
        provider->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            InterlockedIncrement(&g_nLocks);
        else
            InterlockedDecrement(&g_nLocks);
        return S_OK;
    }
};
CClassFactory g_Factory;

} // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(clsid, kBrixaThumbsClsid)) return CLASS_E_CLASSNOTAVAILABLE;
    return g_Factory.QueryInterface(riid, ppv);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return g_nLocks == 0 && g_bDecoded == 0 ? S_OK : S_FALSE;
}
