#include "dds/DdsTexture.h"

#include <algorithm>
#include <cstring>

CDdsTexture::CDdsTexture(CFileEx& reader) : m_Reader(reader) {}

CDdsTexture::~CDdsTexture() {
    FreeBuffers();
}

void CDdsTexture::FreeBuffers() {
    // The storage stays with the record for the next load; only the pointers say "none".
    m_pRawData = nullptr;
    m_pWorkImage = nullptr;
    m_pDisplayImage = nullptr;
}

bool CDdsTexture::AllocRaw(uint32_t bytes, uint32_t held, bool zeroFill) {
    m_pRawData = static_cast<uint8_t*>(m_RawStore.Acquire(held, zeroFill));
    m_nRawSize = m_pRawData ? bytes : 0;
    m_nRawHeld = m_pRawData ? held : 0;
    return m_pRawData != nullptr;
}

bool ImageBytes(uint32_t width, uint32_t height, uint32_t& workBytes, uint32_t& displayBytes) {
    // Each product is checked before the next is made: 2^32 x 2^32 must not wrap to a small
    // size. The work image counts too: a strip one pixel high still decodes four rows per
    // block, and a 4 GiB work image from a 128-byte header is no more sensible than a display
    // image of that size.
    const uint64_t pixels = uint64_t(width) * height;
    const uint64_t work = uint64_t(std::max<uint32_t>(width, 4)) * std::max<uint32_t>(height, 4);
    if (pixels > kMaxImagePixels || work > kMaxImagePixels) return false;
    workBytes = uint32_t(work * 4);
    displayBytes = uint32_t(pixels * 4);
    return true;
}

bool CDdsTexture::AllocImages() {
    m_pWorkImage = nullptr;
    m_pDisplayImage = nullptr;
    uint32_t workBytes = 0, displayBytes = 0;
    if (!ImageBytes(m_Header.dwWidth, m_Header.dwHeight, workBytes, displayBytes)) return false;
    // Not cleared here: decoding and composition write or clear every pixel, and clearing
    // 2 x 64 MiB at each load of a 4096 x 4096 picture would cost more than its decoding.
    auto* work = static_cast<uint32_t*>(m_WorkStore.Acquire(workBytes, false));
    auto* display = static_cast<uint32_t*>(m_DisplayStore.Acquire(displayBytes, false));
    if (!work || !display) return false;
    m_pWorkImage = work;
    m_pDisplayImage = display;
    return true;
}

bool CDdsTexture::AllocDisplayImage() {
    uint32_t workBytes = 0, displayBytes = 0;
    m_pDisplayImage = ImageBytes(m_Header.dwWidth, m_Header.dwHeight, workBytes, displayBytes)
                          ? static_cast<uint32_t*>(m_DisplayStore.Acquire(displayBytes, false))
                          : nullptr;
    return m_pDisplayImage != nullptr;
}

int32_t CDdsTexture::LevelCount() const {
    return int32_t(std::clamp<uint32_t>(m_Header.dwMipMapCount, 1, INT32_MAX));
}

void CDdsTexture::ClassifyFormat(char* nameOut, dds::DdsPixelFormat& pixelFormat,
                                 bool treatDxt5AsNm) {
    // The pixel format is always the record's own header copy; classification also sets the
    // header's linear-size flag for block formats.
    (void)pixelFormat;
    m_nFormat = m_bDx10 ? ClassifyDxgi(nameOut, m_Header, m_Dx10.dxgiFormat)
                        : ClassifyHead(nameOut, m_Header, treatDxt5AsNm);
}

bool CDdsTexture::Load(const char* fileName, int32_t mipLevel, int32_t faceOrLayer,
                       void* ownerWindow, bool treatDxt5AsNm, ProgressCallback progress) {
    (void)ownerWindow; // the shell shows m_LastError in a box owned by its window
    return LoadFrom(
        [&] {
            m_Reader.Open(fileName, fileex::kOpenExisting, fileex::kGenericRead,
                          fileex::kFileShareRead, nullptr);
        },
        mipLevel, faceOrLayer, treatDxt5AsNm, progress);
}

bool CDdsTexture::Load(CByteSource& source, int32_t mipLevel, int32_t faceOrLayer,
                       bool treatDxt5AsNm, ProgressCallback progress) {
    return LoadFrom([&] { m_Reader.OpenSource(&source); }, mipLevel, faceOrLayer, treatDxt5AsNm,
                    progress);
}

namespace {
LoadError ReaderError(const CFileExException& e) {
    LoadError error;
    error.kind = LoadError::kReader;
    error.text = e.UserText();
    error.isSystemError = e.m_nCode == fileex::kCodeSystem;
    error.systemError = e.m_dwError;
    return error;
}
} // namespace

bool CDdsTexture::LoadFrom(const std::function<void()>& open, int32_t mipLevel, int32_t faceOrLayer,
                           bool treatDxt5AsNm, ProgressCallback progress) {
    using namespace dds;
    m_LastError = LoadError();
    bool accepted = true;
    try {
        open();
        // The head goes into a block of its own and reaches the record only once the file is
        // accepted: the buffers of the previous surface must never meet another header.
        DdsHead head;
        std::memset(&head, 0, sizeof head);
        m_Reader.Read(&head, sizeof head, nullptr, 0, 1);
        if (head.dwMagic != DDS_MAGIC) {
            accepted = false;
        } else {
            m_Reader.m_nBaseOffset = DDS_HEAD_SIZE;
            const uint64_t fileSize = m_Reader.GetSize();
            // The DX10 extension follows the head; a file too short for it ends in the reader's
            // end-of-file error.
            DdsHeadDx10 dx10;
            std::memset(&dx10, 0, sizeof dx10);
            const bool hasDx10 = head.ddspf.dwFourCC == FOURCC_DX10 && FourCCDecides(head.ddspf);
            if (hasDx10) m_Reader.Read(&dx10, sizeof dx10, nullptr, 0, 1);
            // Writers store 0 for a single texture; it means one.
            if (dx10.arraySize == 0) dx10.arraySize = 1;
            const uint32_t dataStart = DDS_HEAD_SIZE + (hasDx10 ? DDS_DX10_SIZE : 0);
            m_nFileDataSize = int64_t(fileSize) - int64_t(dataStart);

            m_Header = head;
            m_bDx10 = hasDx10;
            m_Dx10 = dx10;
            m_nDataStart = dataStart;
            m_bArray = false;
            FreeBuffers();
            m_nSurfaceCount = 0;
            m_nLevel = 0;
            m_nLayer = 0;
            ClassifyFormat(m_szFormatName, m_Header.ddspf, treatDxt5AsNm);
            const bool dimensionKnown = dx10.resourceDimension >= DX10_DIMENSION_TEXTURE1D &&
                                        dx10.resourceDimension <= DX10_DIMENSION_TEXTURE3D;
            if (hasDx10 && (!dimensionKnown || dx10.arraySize > kMaxArraySize)) {
                // No real texture has such an extension: refused like a header no buffer
                // can be made for, before anything is sized from it.
                m_nFormat = TF_UNKNOWN;
                m_nRawSize = m_nRawHeld = 0;
                m_bHasAlpha = m_bCubeMap = m_bVolume = false;
                accepted = false;
            } else if (m_nFormat == TF_UNKNOWN) {
                // Nothing of the previous file may stand beside this one's name.
                m_nRawSize = m_nRawHeld = 0;
                m_bHasAlpha = m_bCubeMap = m_bVolume = false;
            } else {
                accepted = LoadSurface(mipLevel, faceOrLayer, fileSize, progress);
            }
        }
    } catch (const CFileExException& e) {
        m_LastError = ReaderError(e);
    }
    // The surface's reads to come need the file as it is open now.
    if (!m_bReadLater || !accepted || m_LastError.kind != LoadError::kNone || !m_nRawHeld)
        m_Reader.Close();
    if (!accepted) {
        m_LastError.kind = LoadError::kRefused;
        m_LastError.text = kRefusedText;
    }
    return accepted;
}

bool CDdsTexture::LoadSurface(int32_t mipLevel, int32_t faceOrLayer, uint64_t fileSize,
                              ProgressCallback progress) {
    using namespace dds;
    m_bCubeMap = (m_Header.dwCaps2 & DDSCAPS2_CUBEMAP) != 0;
    if (m_bCubeMap) m_nSurfaceCount = CountBits(m_Header.dwCaps2 & DDSCAPS2_CUBEMAP_ALLFACES);
    m_bVolume = (m_Header.dwCaps2 & DDSCAPS2_VOLUME) != 0;
    // The chains of a DX10 cube map or array: each slice (each face of each cube) is a whole
    // mipmap chain, laid out like the faces of a cube map.
    uint32_t chains = 0;
    if (m_bDx10) {
        m_bVolume = m_bVolume || m_Dx10.resourceDimension == DX10_DIMENSION_TEXTURE3D;
        m_bCubeMap = !m_bVolume && (m_Dx10.miscFlag & DX10_MISC_TEXTURECUBE) != 0;
        if (m_Dx10.resourceDimension == DX10_DIMENSION_TEXTURE1D) m_Header.dwHeight = 1;
        if (m_bCubeMap) {
            chains = 6 * m_Dx10.arraySize;
            m_nSurfaceCount = int32_t(chains);
        } else if (!m_bVolume && m_Dx10.arraySize > 1) {
            chains = m_Dx10.arraySize;
            m_bArray = true;
            m_nSurfaceCount = int32_t(chains);
        }
    }
    if (m_bVolume) m_nSurfaceCount = int32_t(std::min<uint32_t>(m_Header.dwDepth, INT32_MAX));

    // Refused by the memory the picture needs, before anything is allocated: the top level
    // is the largest, so every level of an accepted file has images that can be made.
    uint32_t workBytes = 0, displayBytes = 0;
    if (!ImageBytes(m_Header.dwWidth, m_Header.dwHeight, workBytes, displayBytes)) return false;

    SurfaceLocation loc =
        LocateSurface(m_Header, m_nFormat, m_bCubeMap, m_bVolume, mipLevel, faceOrLayer, chains);
    m_nLevel = loc.level;
    m_nLayer = loc.layer;
    m_nWidth = int32_t(m_Header.dwWidth);
    m_nHeight = int32_t(m_Header.dwHeight);

    const DdsPixelFormat& pf = m_Header.ddspf;
    uint64_t rawSize;
    if (IsBlockFormat(m_nFormat)) {
        // Sized from the picture alone: writers get dwPitchOrLinearSize wrong too often (a row's
        // pitch, the first block row, or nothing) for it to be believed.
        rawSize = SurfaceSize(m_Header.dwWidth, m_Header.dwHeight, m_nFormat, pf.dwRGBBitCount);
        if (rawSize > UINT32_MAX) return false;
        m_Header.dwPitchOrLinearSize = uint32_t(rawSize);
        m_bHasAlpha = (pf.dwFlags & DDPF_RGB) ? (pf.dwFlags & DDPF_ALPHAPIXELS) != 0 : true;
    } else {
        const uint64_t bytesPerRow = uint64_t(pf.dwRGBBitCount) * m_Header.dwWidth / 8;
        // A8 and its kin may flag their alpha with DDPF_ALPHA alone.
        m_bHasAlpha = (pf.dwFlags & (DDPF_ALPHAPIXELS | DDPF_ALPHA)) != 0;
        rawSize = bytesPerRow * m_Header.dwHeight;
        if (bytesPerRow == 0 || rawSize > UINT32_MAX) return false;
    }
    if (IsOpaqueFormat(m_nFormat)) m_bHasAlpha = false;

    // A surface that lies (partly) beyond the end of the file is not read and stays zero; no
    // memory is taken for it either, however large the header says it is.
    const uint64_t dataSize = fileSize > m_nDataStart ? fileSize - m_nDataStart : 0;
    const bool inFile = loc.offset <= dataSize && rawSize <= dataSize - loc.offset;
    // The read fills the buffer: it is cleared only where the read did not (a stopped or
    // failed read), not at each load beforehand.
    if (!AllocRaw(uint32_t(rawSize), inFile ? uint32_t(rawSize) : 0, false)) return false;
    struct ClearUnread {
        uint8_t* data;
        uint32_t held, read;
        ~ClearUnread() {
            if (read < held) std::memset(data + read, 0, held - read);
        }
    } unread = {m_pRawData, m_nRawHeld, 0};
    m_nSurfaceOffset = m_nDataStart + loc.offset;
    // Each request costs a round trip to the system (a server call under Wine): the surface
    // goes in few large ones, still cancellable between them.
    m_Reader.m_nChunkSize = std::max(m_Reader.m_nChunkSize, kSurfaceRequestBytes);
    if (m_bReadLater) unread.read = m_nRawHeld; // the owner reads it, and clears nothing
    if (inFile && !m_bReadLater) {
        m_Reader.m_nBaseOffset = m_nSurfaceOffset;
        unread.read = m_Reader.Read(m_pRawData, m_nRawHeld, progress, 0, 1);
    }
    return true;
}

bool CDdsTexture::ReadSurface(uint32_t first, uint32_t end, uint8_t* dest) {
    if (!m_pRawData || first >= end || end > m_nRawHeld) return first == end;
    if (!dest) dest = m_pRawData + first;
    try {
        m_Reader.m_nBaseOffset = m_nSurfaceOffset + first;
        // Only a stop asked for through Close delivers less than asked without an error.
        if (m_Reader.Read(dest, end - first, nullptr, 0, 0) == end - first) return true;
        throw CFileExException(0, fileex::kCodeClosed);
    } catch (const CFileExException& e) {
        m_LastError = ReaderError(e);
        return false;
    }
}

bool CDdsTexture::ReadSurfaceAt(uint32_t first, uint32_t end, uint8_t* dest,
                                LoadError& error) const {
    if (!m_pRawData || first >= end || end > m_nRawHeld) return first == end;
    try {
        m_Reader.ReadAt(m_nSurfaceOffset + first, dest, end - first);
        return true;
    } catch (const CFileExException& e) {
        error = ReaderError(e);
        return false;
    }
}
