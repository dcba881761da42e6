// The block loops and the decoding dispatcher of the texture record.
#include <algorithm>
#include <cstring>

#include "decode/BlockDecode.h"
#include "decode/Compose.h"
#include "dds/DdsTexture.h"
#include "io/Progress.h"

// `decodeRun(dest, blocks, count, rowLength)` decodes a run of blocks of one block row. Blocks
// the raw data does not hold are cleared, never read.
template <class BlockFn> void CDdsTexture::DecodeBlocks(uint32_t blockBytes, BlockFn decodeRun) {
    if (!m_pRawData || !ImagesMatchHeader(*this)) return;
    const uint32_t width = m_Header.dwWidth, height = m_Header.dwHeight;
    const uint32_t across = std::max<uint32_t>(1, width / 4);
    const uint32_t blockRows = std::max<uint32_t>(1, height / 4);
    const uint64_t heldBlocks = m_nRawSize / blockBytes;
    const size_t rowLength = width;
    for (uint32_t i = 0; i < blockRows; ++i) {
        if (!ReportProgress(i, blockRows, 0)) return;
        m_Reader.PumpMessages();
        const uint64_t first = uint64_t(i) * across;
        const uint32_t held =
            first >= heldBlocks ? 0 : uint32_t(std::min<uint64_t>(across, heldBlocks - first));
        uint32_t* dest = m_pWorkImage + size_t(4) * i * rowLength;
        if (held) decodeRun(dest, m_pRawData + first * blockBytes, held, uint32_t(rowLength));
        for (uint32_t j = held; j < across; ++j) ClearBlock(dest + 4 * size_t(j), width);
    }
}

void CDdsTexture::DecodeDXT1() {
    DecodeBlocks(8, DecodeDXT1Blocks);
}

// DXT2 comes here too: its colour stays premultiplied, as nothing in the viewer undoes that.
void CDdsTexture::DecodeDXT3() {
    DecodeBlocks(16, DecodeDXT3Blocks);
}

// DXT4 and DXT5_NM come here too; only DXT5_NM rebuilds normals.
void CDdsTexture::DecodeDXT5() {
    const bool normalMap = m_nFormat == TF_DXT5_NM;
    DecodeBlocks(
        16, [normalMap](uint32_t* dest, const uint8_t* blocks, uint32_t count, uint32_t rowLength) {
            DecodeDXT5Blocks(dest, blocks, count, rowLength, normalMap);
        });
}

void CDdsTexture::DecodeSurface() {
    if (!m_pWorkImage || !m_pDisplayImage) {
        if (!AllocImages()) return;
    }
    if (!m_pRawData) return;
    switch (m_nFormat) {
    case TF_RGB:
    case TF_BUMP_UVW: {
        if (!ImagesMatchHeader(*this)) return;
        // Only 32-bit surfaces are read back from the work image; wider ones are cut to it.
        const uint64_t surfaceBytes =
            uint64_t(m_Header.ddspf.dwRGBBitCount) * m_Header.dwWidth * m_Header.dwHeight / 8;
        const uint64_t bytes =
            std::min({surfaceBytes, uint64_t(m_nRawSize), WorkImageBytes(*this)});
        std::memcpy(m_pWorkImage, m_pRawData, size_t(bytes));
        break;
    }
    case TF_DXT1: DecodeDXT1(); break;
    case TF_DXT2:
    case TF_DXT3: DecodeDXT3(); break;
    case TF_DXT4:
    case TF_DXT5:
    case TF_DXT5_NM: DecodeDXT5(); break;
    default: break; // float surfaces are read by composition, unknown ones not at all
    }
}
