// Writes BC6H and BC7 blocks field by field, for tests with hand-derived pixels: the caller picks
// every stored value, the encoder only places the bits as the block layout says.
#pragma once

#include <cstdint>
#include <vector>

namespace testkit {

struct BC7Fields {
    unsigned mode = 0, partition = 0, rotation = 0, selector = 0;
    // Stored bits of each endpoint (subset 0 endpoint 0, subset 0 endpoint 1, subset 1 ...).
    uint8_t red[6] = {}, green[6] = {}, blue[6] = {}, alpha[6] = {};
    uint8_t pbit[6] = {}; // one per endpoint, or (modes with shared p-bits) one per subset
    // Full-width indices; an anchor pixel's index is stored without its top bit, which must be 0.
    uint8_t index[16] = {}, index2[16] = {};
    std::vector<unsigned> anchors = {0}; // anchor pixels in increasing order
};
std::vector<uint8_t> EncodeBC7(const BC7Fields& f);

struct BC6HFields {
    unsigned mode = 0;      // 0, 1, 2, 3, 6, 7, 10, 11, 14, 15, 18, 22, 26 or 30
    unsigned partition = 0; // two-subset modes
    // r0 g0 b0 r1 g1 b1 r2 g2 b2 r3 g3 b3 as stored (deltas as their own bits).
    uint32_t value[12] = {};
    uint8_t index[16] = {};              // full-width indices (3 bits with two subsets, else 4)
    std::vector<unsigned> anchors = {0}; // anchor pixels in increasing order
};
std::vector<uint8_t> EncodeBC6H(const BC6HFields& f);

} // namespace testkit
