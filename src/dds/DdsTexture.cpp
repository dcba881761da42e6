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

bool CDdsTexture::AllocRaw(uint32_t bytes) {
    m_pRawData = static_cast<uint8_t*>(m_RawStore.Acquire(bytes));
    m_nRawSize = m_pRawData ? bytes : 0;
    return m_pRawData != nullptr;
}

bool CDdsTexture::AllocImages() {
    m_pWorkImage = nullptr;
    m_pDisplayImage = nullptr;
    uint64_t w = m_Header.dwWidth, h = m_Header.dwHeight;
    uint64_t workBytes = std::max<uint64_t>(w, 4) * std::max<uint64_t>(h, 4) * 4;
    uint64_t displayBytes = w * h * 4;
    if (workBytes > SIZE_MAX || displayBytes > SIZE_MAX) return false;
    auto* work = static_cast<uint32_t*>(m_WorkStore.Acquire(size_t(workBytes)));
    auto* display = static_cast<uint32_t*>(m_DisplayStore.Acquire(size_t(displayBytes)));
    if (!work || !display) return false;
    m_pWorkImage = work;
    m_pDisplayImage = display;
    return true;
}

void CDdsTexture::ClassifyFormat(char* nameOut, dds::DdsPixelFormat& pixelFormat,
                                 bool treatDxt5AsNm) {
    // The pixel format is always the record's own header copy; classification also sets the
    // header's linear-size flag for block formats.
    (void)pixelFormat;
    m_nFormat = ClassifyHead(nameOut, m_Header, treatDxt5AsNm);
}

namespace {
void RecordOnly(void*, const char*, void*) {}
} // namespace

bool CDdsTexture::Load(const char* fileName, int32_t mipLevel, int32_t faceOrLayer,
                       void* ownerWindow, bool treatDxt5AsNm) {
    using namespace dds;
    m_LastError = LoadError();
    try {
        m_Reader.Open(fileName, fileex::kOpenExisting, fileex::kGenericRead, fileex::kFileShareRead,
                      nullptr);
        // The head goes into a block of its own and reaches the record only once the file is
        // accepted: the buffers of the previous surface must never meet another header.
        DdsHead head;
        std::memset(&head, 0, sizeof head);
        m_Reader.Read(&head, sizeof head, nullptr, 0, 1);
        if (head.dwMagic != DDS_MAGIC) {
            m_Reader.Close();
            return false;
        }
        m_Reader.m_nBaseOffset = DDS_HEAD_SIZE;
        const uint64_t fileSize = m_Reader.GetSize();
        m_nFileDataSize = int64_t(fileSize) - int64_t(DDS_HEAD_SIZE);

        m_Header = head;
        FreeBuffers();
        m_nSurfaceCount = 0;
        ClassifyFormat(m_szFormatName, m_Header.ddspf, treatDxt5AsNm);
        if (m_nFormat == TF_UNKNOWN) {
            m_Reader.Close();
            return true;
        }

        const bool accepted = LoadSurface(mipLevel, faceOrLayer, fileSize);
        m_Reader.Close();
        return accepted;
    } catch (const CFileExException& e) {
        m_LastError.reported = true;
        m_LastError.text = e.UserText();
        (m_pfnErrorHandler ? m_pfnErrorHandler : RecordOnly)(ownerWindow, e.UserText().c_str(),
                                                             m_pErrorContext);
        m_Reader.Close();
        return true;
    }
}

bool CDdsTexture::LoadSurface(int32_t mipLevel, int32_t faceOrLayer, uint64_t fileSize) {
    using namespace dds;
    m_bCubeMap = (m_Header.dwCaps2 & DDSCAPS2_CUBEMAP) != 0;
    if (m_bCubeMap) m_nSurfaceCount = CountBits(m_Header.dwCaps2 & DDSCAPS2_CUBEMAP_ALLFACES);
    m_bVolume = (m_Header.dwCaps2 & DDSCAPS2_VOLUME) != 0;
    if (m_bVolume) m_nSurfaceCount = int32_t(std::min<uint32_t>(m_Header.dwDepth, INT32_MAX));

    // Refuse what no real texture claims, before anything is allocated.
    if (m_Header.dwWidth > kMaxDimension || m_Header.dwHeight > kMaxDimension ||
        (m_bVolume && m_Header.dwDepth > kMaxDepth))
        return false;

    SurfaceLocation loc =
        LocateSurface(m_Header, m_nFormat, m_bCubeMap, m_bVolume, mipLevel, faceOrLayer);
    m_nLevel = loc.level;
    m_nLayer = loc.layer;
    m_nWidth = int32_t(m_Header.dwWidth);
    m_nHeight = int32_t(m_Header.dwHeight);

    const DdsPixelFormat& pf = m_Header.ddspf;
    uint64_t rawSize;
    if (m_Header.dwFlags & DDSD_LINEARSIZE) {
        const uint64_t computed =
            SurfaceSize(m_Header.dwWidth, m_Header.dwHeight, m_nFormat, pf.dwRGBBitCount);
        // The file's linear size is trusted at level 0, unless the file cannot even hold it:
        // then it is a lie, and believing it would only allocate memory for zeros.
        const uint64_t fileData = m_nFileDataSize > 0 ? uint64_t(m_nFileDataSize) : 0;
        if (loc.level > 0 || m_Header.dwPitchOrLinearSize == 0 ||
            m_Header.dwPitchOrLinearSize > fileData) {
            if (computed > UINT32_MAX) return false;
            m_Header.dwPitchOrLinearSize = uint32_t(computed);
        }
        m_bHasAlpha = (pf.dwFlags & DDPF_RGB) ? (pf.dwFlags & DDPF_ALPHAPIXELS) != 0 : true;
        rawSize = m_Header.dwPitchOrLinearSize;
    } else {
        const uint64_t bytesPerRow = uint64_t(pf.dwRGBBitCount) * m_Header.dwWidth / 8;
        m_bHasAlpha = (pf.dwFlags & DDPF_ALPHAPIXELS) != 0;
        rawSize = bytesPerRow * m_Header.dwHeight;
        if (bytesPerRow == 0 || rawSize > UINT32_MAX) return false;
    }
    if (!AllocRaw(uint32_t(rawSize))) return false;

    // A surface that lies (partly) beyond the end of the file is not read: it stays zero.
    const uint64_t dataSize = fileSize > DDS_HEAD_SIZE ? fileSize - DDS_HEAD_SIZE : 0;
    if (loc.offset <= dataSize && rawSize <= dataSize - loc.offset) {
        m_Reader.m_nBaseOffset = DDS_HEAD_SIZE + loc.offset;
        m_Reader.Read(m_pRawData, m_nRawSize, ReportProgress, 0, 1);
    }
    return true;
}
