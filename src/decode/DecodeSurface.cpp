// The block loops and the decoding dispatcher of the texture record.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <vector>

#include "decode/BcnDecode.h"
#include "decode/BlockDecode.h"
#include "decode/Compose.h"
#include "decode/DxgiPixels.h"
#include "decode/FloatRange.h"
#include "decode/PixelConvert.h"
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
// size are cleared, never read. Blocks that lie wholly inside the picture are decoded in place;
// the partial ones of the right and bottom edges go through a tile of their own, of which only
// the picture's part is kept (no extra row of memory, however wide the picture).
uint64_t CDdsTexture::DecodeBlocks(uint32_t blockBytes, ProgressCallback progress,
                                   const BlockRunFn& decodeRun, const Band* band) {
    if (!m_pRawData || !ImagesMatchHeader(*this)) return 0;
    // Blocks the file did not supply are all the same: decoded once, then copied.
    static const uint8_t kZeroBlock[16] = {};
    uint32_t zeroTile[16];
    decodeRun(zeroTile, kZeroBlock, 1, 4);
    const uint32_t width = m_Header.dwWidth, height = m_Header.dwHeight;
    const uint32_t across = BlockCount(width), blockRows = BlockCount(height);
    const uint64_t heldBlocks = m_nRawHeld / blockBytes, sizeBlocks = m_nRawSize / blockBytes;
    // `count` blocks from block `first` at `dest`.
    auto span = [&](uint32_t* dest, uint32_t rowLength, uint64_t first, uint32_t count) {
        const uint32_t held = BlocksWithin(heldBlocks, first, count);
        const uint32_t sized = std::max(held, BlocksWithin(sizeBlocks, first, count));
        const uint8_t* const blocks = band && band->blocks
                                          ? band->blocks + (first * blockBytes - band->blocksFrom)
                                          : m_pRawData + first * blockBytes;
        if (held) decodeRun(dest, blocks, held, rowLength);
        for (uint32_t j = held; j < sized; ++j)
            for (uint32_t y = 0; y < 4; ++y)
                std::memcpy(dest + 4 * size_t(j) + size_t(y) * rowLength, zeroTile + 4 * y, 16);
        for (uint32_t j = sized; j < count; ++j) ClearBlock(dest + 4 * size_t(j), rowLength);
    };
    auto decodeRows = [&](uint32_t firstRow, uint32_t endRow) {
        for (uint32_t i = firstRow; i < endRow; ++i) {
            const uint32_t rows = std::min<uint32_t>(4, height - std::min(height, 4 * i));
            if (!rows) continue;
            uint32_t* image = band ? band->dest + size_t(4 * i - band->first) * width
                                   : m_pWorkImage + size_t(4) * i * width;
            const uint64_t first = uint64_t(i) * across;
            const uint32_t whole = rows == 4 ? width / 4 : 0;
            if (whole) span(image, width, first, whole);
            for (uint32_t j = whole; j < across; ++j) {
                uint32_t tile[16];
                span(tile, 4, first + j, 1);
                const uint32_t columns = std::min<uint32_t>(4, width - 4 * j);
                for (uint32_t y = 0; y < rows; ++y)
                    std::memcpy(image + size_t(y) * width + 4 * size_t(j), tile + 4 * y,
                                size_t(columns) * 4);
            }
        }
    };
    if (band) {
        decodeRows(band->first / 4, BlockCount(band->end));
        return uint64_t(std::min(height, 4 * BlockCount(band->end)) - band->first) * width * 4;
    }
    // No block row writes another's pixels.
    LoopHost host = HostFor(progress);
    RunRows({blockRows, 4 * across * 4, 0}, m_nThreads, &host, decodeRows);
    return uint64_t(width) * height * 4;
}

// `row(dest, src)` converts one source row. The bytes of a row that the file did not supply are
// zero; rows beyond the surface's size are not written (DecodeSurface clears them).
template <class RowFn>
uint64_t CDdsTexture::DecodeRows(uint64_t rowBytes, ProgressCallback progress, RowFn row,
                                 const Band* band) {
    if (!ImagesMatchHeader(*this) || !rowBytes) return 0;
    const uint32_t width = m_Header.dwWidth, height = m_Header.dwHeight;
    const uint64_t rows = std::min<uint64_t>(height, (m_nRawSize + rowBytes - 1) / rowBytes);
    auto convertRows = [&](uint32_t firstRow, uint32_t endRow) {
        uint32_t* const image = band ? band->dest : m_pWorkImage;
        const uint32_t origin = band ? band->first : 0;
        std::vector<uint8_t> partRow;
        for (uint32_t y = firstRow; y < endRow; ++y) {
            const uint64_t offset = y * rowBytes;
            const uint8_t* src = m_pRawData + offset;
            if (offset + rowBytes > m_nRawHeld) {
                partRow.assign(size_t(rowBytes), 0);
                if (offset < m_nRawHeld)
                    std::memcpy(partRow.data(), src, size_t(m_nRawHeld - offset));
                src = partRow.data();
            }
            row(image + size_t(y - origin) * width, src);
        }
    };
    if (band) {
        const uint32_t end = uint32_t(std::min<uint64_t>(band->end, rows));
        if (end <= band->first) return 0;
        convertRows(band->first, end);
        return uint64_t(end - band->first) * width * 4;
    }
    LoopHost host = HostFor(progress);
    RunRows({uint32_t(rows), width, 0}, m_nThreads, &host, convertRows);
    return rows * width * 4;
}

// DXT2 decodes as DXT3: its colour stays premultiplied, as nothing in the viewer undoes that.
// DXT4, DXT5_NM and RXGB decode as DXT5; DXT5_NM rebuilds normals, RXGB moves alpha to red.
// BC4, BC5 and BC6H take the SNORM or SF16 reading for their signed formats.
CDdsTexture::BlockRunFn CDdsTexture::BlockRun() const {
    const int32_t f = m_nFormat;
    const bool exact = m_bExact;
    const bool isSigned = f == TF_BC4_SNORM || f == TF_BC5_SNORM || f == TF_BC6H_SF16;
    switch (f) {
    case TF_DXT1:
        return [exact](uint32_t* dest, const uint8_t* blocks, uint32_t count, uint32_t rowLength) {
            DecodeDXT1Blocks(dest, blocks, count, rowLength, exact);
        };
    case TF_DXT2:
    case TF_DXT3:
        return [exact](uint32_t* dest, const uint8_t* blocks, uint32_t count, uint32_t rowLength) {
            DecodeDXT3Blocks(dest, blocks, count, rowLength, exact);
        };
    case TF_DXT4:
    case TF_DXT5:
    case TF_DXT5_NM:
    case TF_RXGB:
        return
            [f, exact](uint32_t* dest, const uint8_t* blocks, uint32_t count, uint32_t rowLength) {
                DecodeDXT5Blocks(dest, blocks, count, rowLength, f == TF_DXT5_NM, exact);
                if (f == TF_RXGB) MoveAlphaToRed(dest, count, rowLength);
            };
    case TF_BC4:
    case TF_BC4_SNORM:
        return
            [isSigned](uint32_t* dest, const uint8_t* blocks, uint32_t count, uint32_t rowLength) {
                DecodeBC4Blocks(dest, blocks, count, rowLength, isSigned);
            };
    case TF_BC5:
    case TF_BC5_SNORM:
        return
            [isSigned](uint32_t* dest, const uint8_t* blocks, uint32_t count, uint32_t rowLength) {
                DecodeBC5Blocks(dest, blocks, count, rowLength, isSigned);
            };
    case TF_BC6H:
    case TF_BC6H_SF16:
        return
            [isSigned](uint32_t* dest, const uint8_t* blocks, uint32_t count, uint32_t rowLength) {
                DecodeBC6HBlocks(dest, blocks, count, rowLength, isSigned);
            };
    case TF_BC7: return DecodeBC7Blocks;
    default: return BlockRunFn();
    }
}

void CDdsTexture::SetMasksInWork() {
    m_bMasksInWork = m_nFormat == TF_RGB && UsesMaskRule(m_Header.ddspf, m_bExact);
}

void CDdsTexture::DecodeSurface(ProgressCallback progress) {
    // Without a surface the header may be anything (an unknown format's is not checked):
    // nothing is sized from it.
    if (!m_pRawData) return;
    if ((!m_pWorkImage || !m_pDisplayImage) && !AllocImages()) return;
    SetMasksInWork();
    // The images keep their storage from load to load without being cleared: what the
    // decoding does not write is cleared after it.
    const uint64_t written = DecodeFormat(progress, nullptr);
    const uint64_t all = m_WorkStore.Capacity() < WorkImageBytes(*this) ? 0 : WorkImageBytes(*this);
    if (written < all)
        std::memset(reinterpret_cast<uint8_t*>(m_pWorkImage) + written, 0, size_t(all - written));
}

void CDdsTexture::DecodeAndCompose(int32_t mode, uint8_t red, uint8_t green, uint8_t blue,
                                   ProgressCallback progress) {
    if (!m_pRawData || !ImagesMatchHeader(*this)) return;
    if (!m_pDisplayImage && !AllocDisplayImage()) return;
    SetMasksInWork();
    LoopHost host = HostFor(progress);
    const BandRowsFn compose = ComposeBandRows({mode, red, green, blue}, true, &host);
    if (!compose) return; // black, as the view has it, or stopped while finding the range
    const PictureRowsFn rows = PictureOfBands(compose);
    const uint32_t width = m_Header.dwWidth, height = m_Header.dwHeight;
    if (!width || !height) return;
    uint32_t* const display = m_pDisplayImage;
    std::atomic<bool> made{true};
    // A block format's bands are of whole block rows: none is decoded twice.
    const uint32_t unit = IsBlockFormat(m_nFormat) ? 4 : 1;
    RunRows({(height + unit - 1) / unit, unit * width, 1}, m_nThreads, &host,
            [&](uint32_t first, uint32_t end) {
                const uint32_t top = unit * first, bottom = std::min(height, unit * end);
                if (!rows(top, bottom, display + size_t(height - bottom) * width, true))
                    made = false;
            });
    // A band without memory for its work rows: no half-made picture is shown.
    if (!made) m_pDisplayImage = nullptr;
}

uint64_t CDdsTexture::DecodeFormat(ProgressCallback progress, const Band* band) {
    switch (m_nFormat) {
    case TF_RGB:
        if (m_bMasksInWork) {
            const MaskRule rule = MakeMaskRule(m_Header.ddspf, m_bExact);
            const uint32_t width = m_Header.dwWidth;
            return DecodeRows(
                uint64_t(rule.bytesPerPixel) * width, progress,
                [&](uint32_t* dest, const uint8_t* src) { ConvertMaskRow(rule, dest, src, width); },
                band);
        }
        [[fallthrough]];
    case TF_BUMP_UVW: {
        if (!ImagesMatchHeader(*this)) return 0;
        // Only 32-bit surfaces are read back from the work image; wider ones are cut to it.
        const uint64_t surfaceBytes =
            uint64_t(m_Header.ddspf.dwRGBBitCount) * m_Header.dwWidth * m_Header.dwHeight / 8;
        const uint64_t bytes =
            std::min({surfaceBytes, uint64_t(m_nRawHeld), WorkImageBytes(*this)});
        const uint64_t from = band ? uint64_t(band->first) * m_Header.dwWidth * 4 : 0;
        const uint64_t to = band ? uint64_t(band->end) * m_Header.dwWidth * 4 : bytes;
        if (from >= std::min(to, bytes)) return 0;
        uint32_t* const dest = band ? band->dest : m_pWorkImage;
        std::memcpy(dest, m_pRawData + from, size_t(std::min(to, bytes) - from));
        return std::min(to, bytes) - from;
    }
    case TF_DXGI_PIXELS: {
        const uint32_t format = m_Dx10.dxgiFormat, width = m_Header.dwWidth;
        const bool exact = m_bExact;
        return DecodeRows(
            uint64_t(DxgiPixelBits(format) / 8) * width, progress,
            [=](uint32_t* dest, const uint8_t* src) {
                ConvertDxgiRow(format, dest, src, width, exact);
            },
            band);
    }
    default: {
        // Block formats through their decoder; float surfaces are read by composition, unknown
        // ones not at all.
        const BlockRunFn run = BlockRun();
        return run ? DecodeBlocks(BlockBytes(m_nFormat), progress, run, band) : 0;
    }
    }
}

CDdsTexture::PictureRowsFn CDdsTexture::PictureRows(int32_t mode, uint8_t red, uint8_t green,
                                                    uint8_t blue) {
    if (!m_pRawData || !ImagesMatchHeader(*this) || m_nWidth <= 0 || m_nHeight <= 0)
        return PictureRowsFn();
    SetMasksInWork();
    return PictureOfBands(ComposeBandRows({mode, red, green, blue}, false));
}

CDdsTexture::PictureRowsFn CDdsTexture::PictureOfBands(const BandRowsFn& compose) {
    const uint32_t width = uint32_t(m_nWidth), height = uint32_t(m_nHeight);
    // The work rows of a band: whole block rows around it, in a buffer each thread keeps for
    // its next band (no fresh pages per band).
    return [this, compose, width, height](uint32_t first, uint32_t end, uint32_t* dest,
                                          bool bottomUp) {
        // Grown only, never cleared; a large band's in large pages (a fault costs as much as
        // one for a small page on some virtual machines, for 512 times the bytes).
        static thread_local ImageBuffer store;
        static thread_local uint32_t* work = nullptr;
        const uint32_t from = first / 4 * 4, to = std::min(height, BlockCount(end) * 4);
        const size_t bytes = size_t(BlockCount(to - from) * 4) * width * 4;
        if (!work || store.Capacity() < bytes) {
            constexpr size_t kLargePage = size_t(2) << 20;
            if (bytes >= kLargePage / 8)
                work = static_cast<uint32_t*>(
                    store.Acquire((bytes + kLargePage - 1) / kLargePage * kLargePage, false));
            if (!work || store.Capacity() < bytes)
                work = static_cast<uint32_t*>(store.Acquire(bytes, false));
            if (!work) return false;
        }
        Band band{work, from, to};
        if (m_fnSurfaceBytes && RowsReadTheirBlocks()) {
            uint32_t bytesFrom, bytesTo;
            RawBytesOfRows(from, to, bytesFrom, bytesTo);
            band.blocks = bytesFrom < bytesTo ? m_fnSurfaceBytes(bytesFrom, bytesTo) : nullptr;
            band.blocksFrom = bytesFrom;
            if (!band.blocks && bytesFrom < bytesTo) return false;
        }
        const uint64_t written = DecodeFormat(nullptr, &band);
        if (written < bytes)
            std::memset(reinterpret_cast<uint8_t*>(work) + written, 0, size_t(bytes - written));
        compose(work + size_t(first - from) * width, first, end, dest, bottomUp);
        return true;
    };
}

bool CDdsTexture::RowsReadTheirBlocks() const {
    const bool bc6 = m_nFormat == TF_BC6H || m_nFormat == TF_BC6H_SF16;
    // A pixel format's bit count would have composition read the surface's pixels.
    return IsBlockFormat(m_nFormat) && m_Header.ddspf.dwRGBBitCount == 0 &&
           !FloatRangeWanted(*this) && !(bc6 && m_nExposure != 0);
}

void CDdsTexture::RawBytesOfRows(uint32_t first, uint32_t end, uint32_t& from, uint32_t& to) const {
    from = 0;
    to = first < end ? m_nRawHeld : 0;
    if (!to || !RowsReadTheirBlocks()) return;
    const uint64_t blockRow = uint64_t(BlockCount(m_Header.dwWidth)) * BlockBytes(m_nFormat);
    from = uint32_t(std::min<uint64_t>(m_nRawHeld, first / 4 * blockRow));
    to = uint32_t(std::min<uint64_t>(m_nRawHeld, BlockCount(end) * blockRow));
}
