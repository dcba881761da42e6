// The texture record: one selected surface of a DDS file and the two images made from it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "dds/DdsFormat.h"
#include "dds/DdsHeader.h"
#include "dds/ImageBuffer.h"
#include "io/FileEx.h"
#include "io/Progress.h"

// Composition modes.
enum : int32_t {
    COMPOSE_COLOR = 0,
    COMPOSE_BLEND = 1,
    COMPOSE_ALPHA = 2,
};

// One channel on show as grey (red, green, blue as the colour view has them, alpha as the
// alpha view has it), or all of them.
enum : int32_t {
    CHANNEL_ALL = 0,
    CHANNEL_RED = 1,
    CHANNEL_GREEN = 2,
    CHANNEL_BLUE = 3,
    CHANNEL_ALPHA = 4,
};
// Exposure of float surfaces, in stops either way.
constexpr int32_t kMaxExposure = 16;

// Why the last Load did not show a surface, as the user is told.
struct LoadError {
    enum Kind {
        kNone,    // loaded (an unknown format and a cancelled read included)
        kRefused, // not a DDS file, or a header no buffer can be made for (Load returned false)
        kReader,  // the reader failed: `text` is what the user sees in the "Error..." box
    };
    Kind kind = kNone;
    std::string text;
    // kReader only: the text is the system's message for `systemError` (else a reader text).
    bool isSystemError = false;
    uint32_t systemError = 0;
};
constexpr char kRefusedText[] = "Error loading file !";

class CDdsTexture {
  public:
    // The reader is the program's one file reader; the decoders pump its messages.
    explicit CDdsTexture(CFileEx& reader);
    virtual ~CDdsTexture();
    CDdsTexture(const CDdsTexture&) = delete;
    CDdsTexture& operator=(const CDdsTexture&) = delete;

    // False when the file is not a DDS file, its header is refused, or the surface buffer
    // cannot be allocated; true otherwise (unknown format, cancelled read, reader error
    // included). m_LastError says which. `progress` hears of the surface read; null: go on.
    bool Load(const char* fileName, int32_t mipLevel, int32_t faceOrLayer, void* ownerWindow,
              bool treatDxt5AsNm, ProgressCallback progress = nullptr);
    // The same from a source of bytes instead of a named file (the reader reads it until the
    // load ends; it stays the caller's).
    bool Load(CByteSource& source, int32_t mipLevel, int32_t faceOrLayer, bool treatDxt5AsNm,
              ProgressCallback progress = nullptr);
    // With m_bReadLater set, Load leaves the selected surface unread (m_pRawData holds
    // undefined bytes) and the reader open on the file: the owner reads it with ReadSurface,
    // in pieces and on a thread of its own if it likes, and closes the reader.
    bool m_bReadLater = false;
    // Reads bytes [first, end) of the selected surface (within m_nRawHeld) into m_pRawData
    // without pumping messages; false with m_LastError set as Load sets it when the read fails.
    // (into `dest` instead when given).
    bool ReadSurface(uint32_t first, uint32_t end, uint8_t* dest = nullptr);
    // The same into `dest` from any thread, several at once: false with `error` set as Load
    // sets m_LastError (the record is left as it is).
    bool ReadSurfaceAt(uint32_t first, uint32_t end, uint8_t* dest, LoadError& error) const;
    // True when the rows of the picture are decoded and composed from their own block rows
    // alone; false when composing reads the whole surface (a float range found over all of
    // it, BC6H's exposure) or the format is no block format.
    bool RowsReadTheirBlocks() const;
    // Where PictureRows finds the bytes [from, to) of the surface when RowsReadTheirBlocks
    // and they are not in m_pRawData (a surface read piece by piece into buffers of its own);
    // null when they cannot be had. Empty: in m_pRawData.
    std::function<const uint8_t*(uint32_t from, uint32_t to)> m_fnSurfaceBytes;
    // The bytes [from, to) of m_pRawData that pixel rows [first, end) (top row 0) are decoded
    // and composed from: their block rows when RowsReadTheirBlocks, else all that is held.
    void RawBytesOfRows(uint32_t first, uint32_t end, uint32_t& from, uint32_t& to) const;
    void FreeBuffers();
    // Allocates both images for the head's width and height, their pixels undefined until
    // DecodeSurface and DecodeAndCompose write every one; false when that is impossible (both
    // are then null).
    bool AllocImages();
    // The display image alone, as AllocImages has it.
    bool AllocDisplayImage();
    // Sets m_pRawData to `held` bytes (zero-filled unless told otherwise) of a surface of
    // `bytes` (m_nRawSize = bytes, m_nRawHeld = held); false, with m_pRawData null, when they
    // cannot be had.
    bool AllocRaw(uint32_t bytes, uint32_t held, bool zeroFill = true);
    void ClassifyFormat(char* nameOut, dds::DdsPixelFormat& pixelFormat, bool treatDxt5AsNm);

    // The decoded surface in the work image (the texels, before any view option), for those
    // who read it whole. Both it and DecodeAndCompose report their rows to `progress` (null: go
    // on) and pump the reader's messages on the calling thread, also when the rows run on
    // m_nThreads threads.
    void DecodeSurface(ProgressCallback progress = nullptr);
    // The decoding of one band of rows alone into its buffer, on the calling thread.
    struct Band {
        uint32_t* dest; // pixel row `first` of the work rows
        uint32_t first, end;
        // Block formats: where the band's blocks are, when not in m_pRawData: the surface's
        // bytes from `blocksFrom` on.
        const uint8_t* blocks = nullptr;
        uint32_t blocksFrom = 0;
    };
    // The decoder of a run of `count` blocks of the record's block format (BC6H's as bytes)
    // into rows `rowLength` pixels apart; empty for other formats.
    using BlockRunFn = std::function<void(uint32_t* dest, const uint8_t* blocks, uint32_t count,
                                          uint32_t rowLength)>;
    BlockRunFn BlockRun() const;
    // The picture on show in the display image (made when there is none), with the view
    // options in force: the surface decoded band by band into a buffer each thread keeps and
    // composed from it while it is in the caches. There is no work image the size of the
    // surface (it would double the memory a picture takes), so that every composition decodes
    // again from the raw surface.
    void DecodeAndCompose(int32_t mode, uint8_t red, uint8_t green, uint8_t blue,
                          ProgressCallback progress = nullptr);
    // The same picture without the display image, for writing it out band by
    // band: the function decodes and composes the pixel rows [first, end) (top row 0) into
    // `dest` (width pixels a row; the bottom row first when `bottomUp`, as the display image
    // has them), the same bytes as the display image's rows, and may run on several threads at
    // once; false when there is no memory for the band's work rows. Empty when there is no
    // surface. The record must stay loaded while it is used.
    using PictureRowsFn =
        std::function<bool(uint32_t first, uint32_t end, uint32_t* dest, bool bottomUp)>;
    PictureRowsFn PictureRows(int32_t mode, uint8_t red, uint8_t green, uint8_t blue);

    // What navigation steps through: the file's mipmap levels (at least 1), and its cube faces
    // or the top level's volume layers (0 for a plain texture).
    int32_t LevelCount() const;
    int32_t SurfaceCount() const { return m_nSurfaceCount; }

    uint8_t* m_pRawData = nullptr;
    uint32_t* m_pWorkImage = nullptr;
    uint32_t* m_pDisplayImage = nullptr;
    uint32_t m_nRawSize = 0; // the selected surface's size, as the file's header gives it
    // How many bytes of it m_pRawData holds: all of them, or none when the file cannot supply
    // the surface (nothing is read then, and nothing is allocated for a header's claim).
    uint32_t m_nRawHeld = 0;
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
    // A texture array (not a cube array): m_nSurfaceCount counts its slices.
    bool m_bArray = false;
    // The DX10 extension when the file has one (m_bDx10), and where the surfaces start.
    bool m_bDx10 = false;
    dds::DdsHeadDx10 m_Dx10 = {};
    uint32_t m_nDataStart = dds::DDS_HEAD_SIZE;

    // GPU-exact colours: every UNORM channel widened as Direct3D does (DecodeSurface reads it).
    bool m_bExact = false;
    // The work rows hold the mask-converted pixels of a mask format (set by the decoding).
    bool m_bMasksInWork = false;

    // The selection on show (after clamping): level, and cube face or volume layer.
    int32_t m_nLevel = 0;
    int32_t m_nLayer = 0;
    LoadError m_LastError;
    // Threads decoding and composition may use: 0 for one per core (RowBands.h).
    uint32_t m_nThreads = 0;

    // The viewer's extra view options, read by DecodeAndCompose: the channel on show and the
    // exposure (stops) of float, half and BC6H surfaces. The defaults compose every view as it is.
    int32_t m_nChannel = CHANNEL_ALL;
    int32_t m_nExposure = 0;
    // Float surfaces (FloatRangeApplies): the finite range mapped to 0..1, with NaN, infinities
    // and negatives marked (only with the range), and the sRGB curve before the byte conversion.
    bool m_bAutoRange = false;
    bool m_bMarkNonFinite = true;
    bool m_bSrgbCurve = false;
    // The auto range given from outside (one for a cube's six faces shown as a cross), instead
    // of the surface's own.
    bool m_bRangeGiven = false;
    float m_fRangeMin = 0.0f, m_fRangeMax = 0.0f;
    // The finite minimum and maximum of the surface's colour values after exposure (min > max
    // when there are none); false when the range does not apply or `progress` stopped the pass.
    bool FindFloatRange(float& min, float& max, ProgressCallback progress = nullptr);

  private:
    // Load's steps once `open` has opened the reader (it throws as the reader does).
    bool LoadFrom(const std::function<void()>& open, int32_t mipLevel, int32_t faceOrLayer,
                  bool treatDxt5AsNm, ProgressCallback progress);
    // Where the selected surface starts in the file.
    uint64_t m_nSurfaceOffset = 0;
    // The steps after classification: locate, size, allocate and read the selected surface.
    // False when the header is refused or the buffer cannot be allocated.
    bool LoadSurface(int32_t mipLevel, int32_t faceOrLayer, uint64_t fileSize,
                     ProgressCallback progress);
    struct ComposeRequest {
        int32_t mode;
        uint8_t red, green, blue;
    };
    // Composes rows [first, end) from their work rows at `work` into `dest` (bottom row first
    // when `bottomUp`). `toDisplay`: for the display image (its rows streamed past the caches
    // when it is large; a view with nothing to show clears it and gives no function); else
    // for bands that are read next (such a view gives black rows). Empty also when `host`
    // stopped the range pass.
    using BandRowsFn = std::function<void(const uint32_t* work, uint32_t first, uint32_t end,
                                          uint32_t* dest, bool bottomUp)>;
    BandRowsFn ComposeBandRows(const ComposeRequest& request, bool toDisplay,
                               RowHost* host = nullptr);
    // Sets m_bMasksInWork from the format and m_bExact, before each decoding.
    void SetMasksInWork();
    // PictureRows over `compose` (the composition of one band's work rows).
    PictureRowsFn PictureOfBands(const BandRowsFn& compose);
    // The format's decoding of the whole work image (band null) or of one band; the bytes
    // written from the start.
    uint64_t DecodeFormat(ProgressCallback progress, const Band* band);
    // Mask formats through the mask rule, and the DXGI pixel formats, into the work rows.
    template <class RowFn>
    uint64_t DecodeRows(uint64_t rowBytes, ProgressCallback progress, RowFn row, const Band* band);
    uint64_t DecodeBlocks(uint32_t blockBytes, ProgressCallback progress,
                          const BlockRunFn& decodeRun, const Band* band);

    // The row loops' host for one call: `progress`, and the reader's message pump.
    class LoopHost final : public RowHost {
      public:
        LoopHost(ProgressCallback progress, CFileEx& reader)
            : m_pfnProgress(progress), m_Reader(reader) {}
        bool Progress(uint32_t done, uint32_t total) override {
            return CallProgress(m_pfnProgress, done, total, 0) != 0;
        }
        void Pump() override { m_Reader.PumpMessagesIfDue(); }

      private:
        ProgressCallback m_pfnProgress;
        CFileEx& m_Reader;
    };
    LoopHost HostFor(ProgressCallback progress) { return LoopHost(progress, m_Reader); }

    CFileEx& m_Reader;
    ImageBuffer m_RawStore;
    ImageBuffer m_WorkStore;
    ImageBuffer m_DisplayStore;
};

// Byte sizes of the work and display images of a width x height surface. False when either
// image would have more than kMaxImagePixels pixels (1 GiB): such a header is refused rather
// than allocated.
constexpr uint64_t kMaxImagePixels = uint64_t(1) << 28;
// Bytes the reader asks for at a time while it reads the selected surface.
constexpr uint32_t kSurfaceRequestBytes = uint32_t(1) << 22;
// Largest DX10 array size accepted (Direct3D's own limit); more is a broken header. An array
// size of 0 reads as 1.
constexpr uint32_t kMaxArraySize = 2048;
bool ImageBytes(uint32_t width, uint32_t height, uint32_t& workBytes, uint32_t& displayBytes);
