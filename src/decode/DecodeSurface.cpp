// The block loops and the decoding dispatcher of the texture record.
#include <algorithm>
#include <cstring>

#include "decode/BcnDecode.h"
#include "decode/BlockDecode.h"
#include "decode/Compose.h"
#include "decode/DxgiPixels.h"
#include "decode/RowBands.h"
#include "dds/DdsTexture.h"
#include "io/Progress.h"

namespace {
// How many of the `across` blocks of the block row starting at block `first` lie within
// `blocks` blocks.
uint32_t BlocksWithin(uint64_t blocks, uint64_t first, uint32_t across) {
    return first >= blocks ? 0 : uint32_t(std::min<uint64_t>(across, blocks - first));
}
} // namespace

// `decodeRun(dest, blocks, count, rowLength)` decodes a run of blocks of one block row. Blocks
// of the surface that the file did not supply decode as zero bytes; blocks beyond the surface's
// size are cleared, never read.
template <class BlockFn>
void CDdsTexture::DecodeBlocks(uint32_t blockBytes, ProgressCallback progress, BlockFn decodeRun) {
    if (!m_pRawData || !ImagesMatchHeader(*this)) return;
    // Blocks the file did not supply are all the same: decoded once, then copied row by row in
    // the decoders' order (so narrow surfaces overlap as theirs do).
    static const uint8_t kZeroBlock[16] = {};
    uint32_t zeroTile[16];
    decodeRun(zeroTile, kZeroBlock, 1, 4);
    const uint32_t width = m_Header.dwWidth, height = m_Header.dwHeight;
    const uint32_t across = std::max<uint32_t>(1, width / 4);
    const uint32_t blockRows = std::max<uint32_t>(1, height / 4);
    const uint64_t heldBlocks = m_nRawHeld / blockBytes, sizeBlocks = m_nRawSize / blockBytes;
    const size_t rowLength = width;
    auto decodeRows = [&](uint32_t firstRow, uint32_t endRow) {
        for (uint32_t i = firstRow; i < endRow; ++i) {
            const uint64_t first = uint64_t(i) * across;
            const uint32_t held = BlocksWithin(heldBlocks, first, across);
            const uint32_t sized = std::max(held, BlocksWithin(sizeBlocks, first, across));
            uint32_t* dest = m_pWorkImage + size_t(4) * i * rowLength;
            if (held) decodeRun(dest, m_pRawData + first * blockBytes, held, uint32_t(rowLength));
            for (uint32_t j = held; j < sized; ++j)
                for (uint32_t y = 0; y < 4; ++y)
                    std::memcpy(dest + 4 * size_t(j) + y * rowLength, zeroTile + 4 * y, 16);
            for (uint32_t j = sized; j < across; ++j) ClearBlock(dest + 4 * size_t(j), width);
        }
    };
    // Narrower than a block, each block row spills into the next one's pixels.
    const RowLoop loop{blockRows, 4 * across * 4, 0, width < 4};
    RunRows(loop, m_nThreads, progress, m_Reader, decodeRows);
}

void CDdsTexture::DecodeDXT1(ProgressCallback progress) {
    DecodeBlocks(8, progress, DecodeDXT1Blocks);
}

// DXT2 comes here too: its colour stays premultiplied, as nothing in the viewer undoes that.
void CDdsTexture::DecodeDXT3(ProgressCallback progress) {
    DecodeBlocks(16, progress, DecodeDXT3Blocks);
}

// DXT4 and DXT5_NM come here too; only DXT5_NM rebuilds normals.
void CDdsTexture::DecodeDXT5(ProgressCallback progress) {
    const bool normalMap = m_nFormat == TF_DXT5_NM;
    DecodeBlocks(
        16, progress,
        [normalMap](uint32_t* dest, const uint8_t* blocks, uint32_t count, uint32_t rowLength) {
            DecodeDXT5Blocks(dest, blocks, count, rowLength, normalMap);
        });
}

// BC4 to BC7: `isSigned` picks the SNORM (BC4, BC5) or SF16 (BC6H) reading.
void CDdsTexture::DecodeBCn(ProgressCallback progress) {
    const int32_t f = m_nFormat;
    const bool isSigned = f == TF_BC4_SNORM || f == TF_BC5_SNORM || f == TF_BC6H_SF16;
    auto run = [f, isSigned](uint32_t* dest, const uint8_t* blocks, uint32_t count,
                             uint32_t rowLength) {
        if (f == TF_BC4 || f == TF_BC4_SNORM)
            DecodeBC4Blocks(dest, blocks, count, rowLength, isSigned);
        else if (f == TF_BC5 || f == TF_BC5_SNORM)
            DecodeBC5Blocks(dest, blocks, count, rowLength, isSigned);
        else if (f == TF_BC6H || f == TF_BC6H_SF16)
            DecodeBC6HBlocks(dest, blocks, count, rowLength, isSigned);
        else
            DecodeBC7Blocks(dest, blocks, count, rowLength);
    };
    DecodeBlocks(BlockBytes(f), progress, run);
}

void CDdsTexture::DecodeSurface(ProgressCallback progress) {
    // Without a surface the header may be anything (an unknown format's is not checked):
    // nothing is sized from it.
    if (!m_pRawData) return;
    if (!m_pWorkImage || !m_pDisplayImage) {
        if (!AllocImages()) return;
    }
    switch (m_nFormat) {
    case TF_RGB:
    case TF_BUMP_UVW: {
        if (!ImagesMatchHeader(*this)) return;
        // Only 32-bit surfaces are read back from the work image; wider ones are cut to it.
        const uint64_t surfaceBytes =
            uint64_t(m_Header.ddspf.dwRGBBitCount) * m_Header.dwWidth * m_Header.dwHeight / 8;
        const uint64_t bytes =
            std::min({surfaceBytes, uint64_t(m_nRawHeld), WorkImageBytes(*this)});
        std::memcpy(m_pWorkImage, m_pRawData, size_t(bytes));
        break;
    }
    case TF_DXT1: DecodeDXT1(progress); break;
    case TF_DXT2:
    case TF_DXT3: DecodeDXT3(progress); break;
    case TF_DXT4:
    case TF_DXT5:
    case TF_DXT5_NM: DecodeDXT5(progress); break;
    case TF_BC4:
    case TF_BC4_SNORM:
    case TF_BC5:
    case TF_BC5_SNORM:
    case TF_BC6H:
    case TF_BC6H_SF16:
    case TF_BC7: DecodeBCn(progress); break;
    case TF_DXGI_PIXELS: {
        if (!ImagesMatchHeader(*this)) return;
        const uint32_t width = m_Header.dwWidth, height = m_Header.dwHeight;
        const uint64_t rowBytes = uint64_t(DxgiPixelBits(m_Dx10.dxgiFormat)) / 8 * width;
        if (!rowBytes) return;
        // Rows the file did not supply stay zero.
        const uint64_t rows = std::min<uint64_t>(height, m_nRawHeld / rowBytes);
        RunRows({uint32_t(rows), width, 0, false}, m_nThreads, progress, m_Reader,
                [&](uint32_t first, uint32_t end) {
                    for (uint32_t y = first; y < end; ++y)
                        ConvertDxgiRow(m_Dx10.dxgiFormat, m_pWorkImage + size_t(y) * width,
                                       m_pRawData + y * rowBytes, width);
                });
        break;
    }
    default: break; // float surfaces are read by composition, unknown ones not at all
    }
}
