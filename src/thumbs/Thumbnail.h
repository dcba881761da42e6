// Thumbnails for file browsers: one small picture of a DDS file, made by the viewer's core from
// the one mipmap level it needs, for the shell's thumbnail handler and `brixa-cli thumbnail`.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/FileEx.h"

// The level a thumbnail of `size` pixels is made from: the smallest whose longer side is at
// least `size`; the largest (0) when none is. `levels` as the header counts them (0 is 1). A
// picture of `columns` x `rows` such levels (a cube map's cross) is measured whole.
int32_t ThumbnailLevel(uint32_t width, uint32_t height, uint32_t levels, uint32_t size,
                       uint32_t columns = 1, uint32_t rows = 1);

// A picture of width x height scaled to fit `size` x `size`, its aspect kept: the longer side
// becomes `size` (never enlarged), the shorter its share, truncated, at least 1.
struct ThumbnailExtent {
    uint32_t width, height;
};
ThumbnailExtent FitThumbnail(uint32_t width, uint32_t height, uint32_t size);

struct Thumbnail {
    std::vector<uint32_t> pixels; // top-down rows of blue, green, red, alpha (straight)
    uint32_t width = 0, height = 0;
    bool hasAlpha = false; // else every alpha byte is 255
    // Why there is none: a text for the user, and a status with brixa-cli's numbers.
    enum Failure {
        kShown = 0,
        kRefused = 2,    // not a DDS file, or a header no texture has
        kReadFailed = 3, // the source could not be read, or ends before the picture does
        kNoPicture = 4,  // a format Brixa does not know
    };
    Failure failure = kShown;
    std::string error;
};

struct ThumbnailOptions {
    // False in a host whose window messages are not the reader's to dispatch.
    bool dispatch = true;
    // The viewer's "Cube map as a cross": a cube map of all six faces shows them unfolded.
    bool cubeCross = false;
};

// The thumbnail of the texture in `source`: its first picture (a cube map's +X face, or its
// cross; the first slice of an array or volume) at the level ThumbnailLevel picks, decoded as
// Direct3D reads it, shrunk to FitThumbnail by the viewer's box filter. False, with `error`
// set, when there is none.
bool MakeThumbnail(CByteSource& source, uint32_t size, Thumbnail& out,
                   const ThumbnailOptions& options = ThumbnailOptions());

// A named file as a source of bytes, read by the program's reader.
class CFileSource : public CByteSource {
  public:
    // False with the system's error number when the file cannot be opened.
    bool Open(const char* name, uint32_t& error);
    bool Size(uint64_t& size, uint32_t& error) override;
    bool ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t& done,
                uint32_t& error) override;

  private:
    CFileEx m_File;
};
