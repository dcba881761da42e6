// Builds DDS files in memory for tests, the samples and the fuzz seeds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dds/DdsHeader.h"

namespace testkit {

// A head for a FourCC format (DXTn or a float format number), width x height, mip count.
dds::DdsHead HeadFourCC(uint32_t width, uint32_t height, uint32_t fourCC, uint32_t mipCount = 1);
// A head for a mask-described format. Sets DDPF_RGB, and DDPF_ALPHAPIXELS when alpha != 0.
dds::DdsHead HeadMasks(uint32_t width, uint32_t height, uint32_t bits, uint32_t red, uint32_t green,
                       uint32_t blue, uint32_t alpha, uint32_t mipCount = 1);

// A FourCC head with DDSD_LINEARSIZE and this linear size.
dds::DdsHead LinearHead(uint32_t width, uint32_t height, uint32_t fourCC, uint32_t mipCount,
                        uint32_t linearSize);

// A DX10 extension: DXGI format, array size, misc flag (0x4: cube), resource dimension.
dds::DdsHeadDx10 Dx10(uint32_t dxgiFormat, uint32_t arraySize = 1, uint32_t miscFlag = 0,
                      uint32_t dimension = dds::DX10_DIMENSION_TEXTURE2D);
// The file of a "DX10" head (its FourCC is set here): head, extension, payload.
std::vector<uint8_t> Dx10FileBytes(dds::DdsHead head, const dds::DdsHeadDx10& ext,
                                   const std::vector<uint8_t>& payload = {});

// The file: the head followed by the payload.
std::vector<uint8_t> FileBytes(const dds::DdsHead& head, const std::vector<uint8_t>& payload = {});

// Little-endian helpers for building payloads.
void Put16(std::vector<uint8_t>& out, uint16_t v);
void Put32(std::vector<uint8_t>& out, uint32_t v);
void PutFloat(std::vector<uint8_t>& out, float v);

void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& more);
// The next mip level's side: half, at least 1.
uint32_t Halve(uint32_t side);

// A deterministic byte pattern (for surfaces whose content only needs to be recognisable).
std::vector<uint8_t> Pattern(size_t bytes, uint32_t seed = 1);

// A directory for the test's files, made once per process, and a file written in it.
std::string TempDir();
std::string WriteTempFile(const std::string& name, const std::vector<uint8_t>& bytes);

} // namespace testkit

namespace testkit {

// A simple block encoder (endpoints from the block's colour range, nearest palette entry), good
// enough for recognisable samples and seeds; not a quality encoder. `bgra` holds width x height
// pixels (alpha << 24 | red << 16 | green << 8 | blue), top row first; format is a DXTn FourCC.
std::vector<uint8_t> EncodeBlocks(const std::vector<uint32_t>& bgra, uint32_t width,
                                  uint32_t height, uint32_t fourCC);

// The mipmap chain of an image: each level the 2 x 2 box average of the one above, down to 1 x 1.
std::vector<std::vector<uint32_t>> MipChain(const std::vector<uint32_t>& bgra, uint32_t width,
                                            uint32_t height);

} // namespace testkit
