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
