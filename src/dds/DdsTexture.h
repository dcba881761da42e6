// The texture record: one selected surface of a DDS file and the two images made from it.
#pragma once

#include <cstdint>
#include <string>

#include "dds/DdsFormat.h"
#include "dds/DdsHeader.h"
#include "dds/ImageBuffer.h"
#include "io/FileEx.h"

// Composition modes.
enum : int32_t {
    COMPOSE_COLOR = 0,
    COMPOSE_BLEND = 1,
    COMPOSE_ALPHA = 2,
};

// Largest top-level width or height, and volume depth, that a file may claim. Mature readers
// refuse the same; anything larger is a hostile or broken header.
constexpr uint32_t kMaxDimension = 16384;
constexpr uint32_t kMaxDepth = 2048;

// Where a failed Load leaves the user (what the viewer shows in its "Error..." box).
struct LoadError {
    bool reported = false; // the reader failed and the text below is what the user sees
    std::string text;
};

class CDdsTexture {
  public:
    // The reader is the program's one file reader; the decoders pump its messages.
    explicit CDdsTexture(CFileEx& reader);
    virtual ~CDdsTexture();
    CDdsTexture(const CDdsTexture&) = delete;
    CDdsTexture& operator=(const CDdsTexture&) = delete;

    // False when the file is not a DDS file, its header is refused, or the surface buffer
    // cannot be allocated; true otherwise (unknown format, cancelled read, reported reader
    // error included). A reader error is shown through ShowReaderError.
    bool Load(const char* fileName, int32_t mipLevel, int32_t faceOrLayer, void* ownerWindow,
              bool treatDxt5AsNm);
    void FreeBuffers();
    // Allocates both images zero-filled for the head's width and height; false when that
    // is impossible (both are then null).
    bool AllocImages();
    // Sets m_pRawData to `bytes` zero-filled bytes (m_nRawSize = bytes); false, with
    // m_pRawData null, when they cannot be had.
    bool AllocRaw(uint32_t bytes);
    void ClassifyFormat(char* nameOut, dds::DdsPixelFormat& pixelFormat, bool treatDxt5AsNm);

    void DecodeSurface();
    void DecodeDXT1();
    void DecodeDXT3();
    void DecodeDXT5();
    void Compose(int32_t mode, uint8_t red, uint8_t green, uint8_t blue);

    // How a reader error reaches the user: the viewer shows a box, the CLI prints it.
    // The default handler only records it in m_LastError.
    typedef void (*ErrorHandler)(void* ownerWindow, const char* text, void* context);
    void SetErrorHandler(ErrorHandler handler, void* context) {
        m_pfnErrorHandler = handler;
        m_pErrorContext = context;
    }

    uint8_t* m_pRawData = nullptr;
    uint32_t* m_pWorkImage = nullptr;
    uint32_t* m_pDisplayImage = nullptr;
    uint32_t m_nRawSize = 0;
    int64_t m_nFileDataSize = 0; // 64 bits: DDS files beyond 2 GiB exist
    char m_szFormatName[kFormatNameSize] = {};
    int32_t m_nFormat = 0;
    dds::DdsHead m_Header = {};
    int32_t m_nWidth = 0;
    int32_t m_nHeight = 0;
    int32_t m_nSurfaceCount = 0;
    bool m_bHasAlpha = false;
    bool m_bCubeMap = false;
    bool m_bVolume = false;

    // The selection the last successful load actually used (after clamping).
    int32_t m_nLevel = 0;
    int32_t m_nLayer = 0;
    // The last reader error shown to the user during Load.
    LoadError m_LastError;

  private:
    // The steps after classification: locate, size, allocate and read the selected surface.
    // False when the header is refused or the buffer cannot be allocated.
    bool LoadSurface(int32_t mipLevel, int32_t faceOrLayer, uint64_t fileSize);
    template <class BlockFn> void DecodeBlocks(uint32_t blockBytes, BlockFn decodeBlock);

    CFileEx& m_Reader;
    ImageBuffer m_RawStore;
    ImageBuffer m_WorkStore;
    ImageBuffer m_DisplayStore;
    ErrorHandler m_pfnErrorHandler = nullptr;
    void* m_pErrorContext = nullptr;
};
