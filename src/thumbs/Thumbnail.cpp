#include "thumbs/Thumbnail.h"

#include <algorithm>
#include <cstring>

#include "dds/DdsFormat.h"
#include "dds/DdsTexture.h"
#include "view/CubeCross.h"
#include "view/ShrinkFilter.h"

int32_t ThumbnailLevel(uint32_t width, uint32_t height, uint32_t levels, uint32_t size,
                       uint32_t columns, uint32_t rows) {
    const uint32_t count = std::clamp<uint32_t>(levels, 1, 32);
    int32_t level = 0;
    for (uint32_t i = 1; i < count; ++i) {
        const uint64_t longer = std::max(uint64_t(columns) * std::max(width >> i, 1u),
                                         uint64_t(rows) * std::max(height >> i, 1u));
        if (longer < size) break;
        level = int32_t(i);
    }
    return level;
}

ThumbnailExtent FitThumbnail(uint32_t width, uint32_t height, uint32_t size) {
    const uint32_t longer = std::max(width, height);
    if (longer <= size || longer == 0) return {width, height};
    const auto share = [&](uint32_t side) {
        return std::max<uint32_t>(1, uint32_t(uint64_t(side) * size / longer));
    };
    return {share(width), share(height)};
}

namespace {

// The box filter takes boxes of at most 256 x 256 pixels: a larger shrink goes in steps.
constexpr uint32_t kStep = 256;

bool Shrink(std::vector<uint32_t>& topDown, const uint32_t* bottomUp, uint32_t width,
            uint32_t height, ThumbnailExtent target) {
    std::vector<uint32_t> stepped; // the picture after the last step, bottom-up
    while (width > uint64_t(target.width) * kStep || height > uint64_t(target.height) * kStep) {
        const uint32_t w = std::max(target.width, (width + kStep - 1) / kStep);
        const uint32_t h = std::max(target.height, (height + kStep - 1) / kStep);
        std::vector<uint32_t> next(size_t(w) * h);
        if (!ShrinkPicture(next.data(), {0, 0, int32_t(w), int32_t(h)}, bottomUp, int32_t(width),
                           int32_t(height), int32_t(w), int32_t(h)))
            return false;
        std::reverse(next.begin(), next.end()); // top-down to bottom-up, rows and pixels ...
        for (uint32_t y = 0; y < h; ++y)        // ... so each row turns back
            std::reverse(next.begin() + size_t(y) * w, next.begin() + size_t(y + 1) * w);
        stepped.swap(next);
        bottomUp = stepped.data();
        width = w;
        height = h;
    }
    topDown.resize(size_t(target.width) * target.height);
    return ShrinkPicture(topDown.data(), {0, 0, int32_t(target.width), int32_t(target.height)},
                         bottomUp, int32_t(width), int32_t(height), int32_t(target.width),
                         int32_t(target.height));
}

} // namespace

bool MakeThumbnail(CByteSource& source, uint32_t size, Thumbnail& out,
                   const ThumbnailOptions& options) {
    out = Thumbnail();
    // The level is chosen from the header before anything else is read.
    dds::DdsHead head = {};
    dds::DdsHeadDx10 dx10 = {};
    uint32_t got = 0, error = 0;
    uint32_t levels = 1;
    bool cube = false; // all six faces of one cube
    if (source.ReadAt(0, &head, sizeof head, got, error) && got == sizeof head &&
        head.dwMagic == dds::DDS_MAGIC) {
        cube = (head.dwCaps2 & dds::DDSCAPS2_CUBEMAP) &&
               (head.dwCaps2 & dds::DDSCAPS2_CUBEMAP_ALLFACES) == dds::DDSCAPS2_CUBEMAP_ALLFACES;
        if (head.ddspf.dwFourCC == dds::FOURCC_DX10 && FourCCDecides(head.ddspf) &&
            source.ReadAt(sizeof head, &dx10, sizeof dx10, got, error) && got == sizeof dx10) {
            if (dx10.resourceDimension == dds::DX10_DIMENSION_TEXTURE1D) head.dwHeight = 1;
            cube = (dx10.miscFlag & dds::DX10_MISC_TEXTURECUBE) && dx10.arraySize <= 1;
        }
        levels = head.dwMipMapCount;
    }
    // The cross is chosen by its own size: four faces across, three down.
    const bool cross = options.cubeCross && cube;
    const int32_t level = ThumbnailLevel(head.dwWidth, head.dwHeight, levels, size,
                                         cross ? kCrossColumns : 1, cross ? kCrossRows : 1);

    CFileEx reader;
    reader.m_bDispatch = options.dispatch;
    CDdsTexture texture(reader);
    texture.Load(source, level, 0, false);
    const LoadError& e = texture.m_LastError;
    const auto fail = [&](Thumbnail::Failure failure, const std::string& text) {
        out.failure = failure;
        out.error = text.substr(0, text.find_last_not_of("\r\n") + 1);
        return false;
    };
    if (e.kind != LoadError::kNone)
        return fail(e.kind == LoadError::kReader ? Thumbnail::kReadFailed : Thumbnail::kRefused,
                    e.text);
    if (texture.m_nFormat == TF_UNKNOWN || texture.m_nWidth <= 0 || texture.m_nHeight <= 0)
        return fail(Thumbnail::kNoPicture, texture.m_szFormatName);
    // The viewer shows such a surface black; a thumbnail says nothing rather than that.
    if (!texture.m_pRawData || texture.m_nRawHeld < texture.m_nRawSize)
        return fail(Thumbnail::kReadFailed, "The file ends before its picture does.");
    // Colours as Direct3D reads them, with their own alpha: what the picture is meant to be.
    texture.m_bExact = true;
    texture.DecodeAndCompose(COMPOSE_COLOR, 0, 0, 0);
    if (!texture.m_pDisplayImage) return fail(Thumbnail::kRefused, kRefusedText);
    uint32_t w = uint32_t(texture.m_nWidth), h = uint32_t(texture.m_nHeight);
    const uint32_t* picture = texture.m_pDisplayImage;
    out.hasAlpha = texture.m_bHasAlpha && texture.m_nFormat != TF_BUMP_UVW;
    std::vector<uint32_t> unfolded;
    if (cross && texture.m_bCubeMap && texture.SurfaceCount() == kCubeFaces) {
        // As the viewer unfolds it: each face in its cell, the empty cells (and a face the
        // file cannot supply) transparent.
        unfolded.assign(size_t(w) * kCrossColumns * h * kCrossRows, 0);
        for (int32_t face = 0; face < kCubeFaces; ++face) {
            if (face > 0) {
                texture.Load(source, level, face, false);
                if (texture.m_LastError.kind != LoadError::kNone || !texture.m_pRawData ||
                    texture.m_nRawHeld < texture.m_nRawSize || uint32_t(texture.m_nWidth) != w ||
                    uint32_t(texture.m_nHeight) != h)
                    continue;
                texture.m_bExact = true;
                texture.DecodeAndCompose(COMPOSE_COLOR, 0, 0, 0);
                if (!texture.m_pDisplayImage) continue;
            }
            CopyFaceIntoCross(unfolded.data(), texture.m_pDisplayImage, int32_t(w), int32_t(h),
                              face);
        }
        picture = unfolded.data();
        w *= kCrossColumns;
        h *= kCrossRows;
        out.hasAlpha = true;
    }
    const ThumbnailExtent extent = FitThumbnail(w, h, size);
    if (!Shrink(out.pixels, picture, w, h, extent)) return fail(Thumbnail::kRefused, kRefusedText);
    out.width = extent.width;
    out.height = extent.height;
    if (!out.hasAlpha)
        for (uint32_t& p : out.pixels) p |= 0xFF000000u;
    return true;
}

bool CFileSource::Open(const char* name, uint32_t& error) {
    try {
        m_File.Open(name);
        return true;
    } catch (const CFileExException& e) {
        error = e.m_dwError;
        return false;
    }
}

bool CFileSource::Size(uint64_t& size, uint32_t& error) {
    try {
        size = m_File.GetSize();
        return true;
    } catch (const CFileExException& e) {
        error = e.m_dwError;
        return false;
    }
}

bool CFileSource::ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t& done,
                         uint32_t& error) {
    m_File.m_nBaseOffset = offset;
    done = 0;
    try {
        done = m_File.Read(buffer, count, nullptr, 0, 0);
        return true;
    } catch (const CFileExException& e) {
        // The end of the file is no failure: the bytes before it came.
        if (e.m_dwError == fileex::kErrorHandleEof) return true;
        error = e.m_dwError;
        return false;
    }
}
