#include "BcnEncoder.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace testkit {

namespace {

class BlockBits {
  public:
    void Put(uint64_t value, unsigned count) {
        for (unsigned k = 0; k < count; ++k, ++m_pos)
            if (value >> k & 1) m_bytes[m_pos / 8] |= uint8_t(1u << (m_pos % 8));
    }
    std::vector<uint8_t> Bytes() const {
        if (m_pos != 128) std::abort(); // a layout that does not fill the block is a kit bug
        return std::vector<uint8_t>(m_bytes, m_bytes + 16);
    }

  private:
    uint8_t m_bytes[16] = {};
    unsigned m_pos = 0;
};

bool IsAnchor(const std::vector<unsigned>& anchors, unsigned pixel) {
    for (unsigned a : anchors)
        if (a == pixel) return true;
    return false;
}

void PutIndices(BlockBits& bits, const uint8_t* index, unsigned width,
                const std::vector<unsigned>& anchors) {
    for (unsigned i = 0; i < 16; ++i) bits.Put(index[i], width - IsAnchor(anchors, i));
}

// Subsets, partition bits, rotation bits, selector bits, colour bits, alpha bits, endpoint
// p-bits, shared p-bits, index bits, second index bits.
constexpr unsigned kBC7[8][10] = {
    {3, 4, 0, 0, 4, 0, 1, 0, 3, 0}, {2, 6, 0, 0, 6, 0, 0, 1, 3, 0}, {3, 6, 0, 0, 5, 0, 0, 0, 2, 0},
    {2, 6, 0, 0, 7, 0, 1, 0, 2, 0}, {1, 0, 2, 1, 5, 6, 0, 0, 2, 3}, {1, 0, 2, 0, 7, 8, 0, 0, 2, 2},
    {1, 0, 0, 0, 7, 7, 1, 0, 4, 0}, {2, 6, 0, 0, 5, 5, 1, 0, 2, 0},
};

// The BC6H layouts as the format's tables write them: v[a:b] moves bits b, b+-1, ... a of v, from
// the lowest block bit up; d is the partition number.
struct BC6HLayout {
    unsigned mode;
    const char* fields;
};
constexpr BC6HLayout kBC6H[14] = {
    {0, "m[1:0],g2[4],b2[4],b3[4],r0[9:0],g0[9:0],b0[9:0],r1[4:0],g3[4],g2[3:0],g1[4:0],b3[0],"
        "g3[3:0],b1[4:0],b3[1],b2[3:0],r2[4:0],b3[2],r3[4:0],b3[3],d[4:0]"},
    {1, "m[1:0],g2[5],g3[4],g3[5],r0[6:0],b3[0],b3[1],b2[4],g0[6:0],b2[5],b3[2],g2[4],b0[6:0],"
        "b3[3],b3[5],b3[4],r1[5:0],g2[3:0],g1[5:0],g3[3:0],b1[5:0],b2[3:0],r2[5:0],r3[5:0],"
        "d[4:0]"},
    {2, "m[4:0],r0[9:0],g0[9:0],b0[9:0],r1[4:0],r0[10],g2[3:0],g1[3:0],g0[10],b3[0],g3[3:0],"
        "b1[3:0],b0[10],b3[1],b2[3:0],r2[4:0],b3[2],r3[4:0],b3[3],d[4:0]"},
    {6, "m[4:0],r0[9:0],g0[9:0],b0[9:0],r1[3:0],r0[10],g3[4],g2[3:0],g1[4:0],g0[10],g3[3:0],"
        "b1[3:0],b0[10],b3[1],b2[3:0],r2[3:0],b3[0],b3[2],r3[3:0],g2[4],b3[3],d[4:0]"},
    {10, "m[4:0],r0[9:0],g0[9:0],b0[9:0],r1[3:0],r0[10],b2[4],g2[3:0],g1[3:0],g0[10],b3[0],"
         "g3[3:0],b1[4:0],b0[10],b2[3:0],r2[3:0],b3[1],b3[2],r3[3:0],b3[4],b3[3],d[4:0]"},
    {14, "m[4:0],r0[8:0],b2[4],g0[8:0],g2[4],b0[8:0],b3[4],r1[4:0],g3[4],g2[3:0],g1[4:0],b3[0],"
         "g3[3:0],b1[4:0],b3[1],b2[3:0],r2[4:0],b3[2],r3[4:0],b3[3],d[4:0]"},
    {18, "m[4:0],r0[7:0],g3[4],b2[4],g0[7:0],b3[2],g2[4],b0[7:0],b3[3],b3[4],r1[5:0],g2[3:0],"
         "g1[4:0],b3[0],g3[3:0],b1[4:0],b3[1],b2[3:0],r2[5:0],r3[5:0],d[4:0]"},
    {22, "m[4:0],r0[7:0],b3[0],b2[4],g0[7:0],g2[5],g2[4],b0[7:0],g3[5],b3[4],r1[4:0],g3[4],"
         "g2[3:0],g1[5:0],g3[3:0],b1[4:0],b3[1],b2[3:0],r2[4:0],b3[2],r3[4:0],b3[3],d[4:0]"},
    {26, "m[4:0],r0[7:0],b3[1],b2[4],g0[7:0],b2[5],g2[4],b0[7:0],b3[5],b3[4],r1[4:0],g3[4],"
         "g2[3:0],g1[4:0],b3[0],g3[3:0],b1[5:0],b2[3:0],r2[4:0],b3[2],r3[4:0],b3[3],d[4:0]"},
    {30, "m[4:0],r0[5:0],g3[4],b3[0],b3[1],b2[4],g0[5:0],g2[5],b2[5],b3[2],g2[4],b0[5:0],g3[5],"
         "b3[3],b3[5],b3[4],r1[5:0],g2[3:0],g1[5:0],g3[3:0],b1[5:0],b2[3:0],r2[5:0],r3[5:0],"
         "d[4:0]"},
    {3, "m[4:0],r0[9:0],g0[9:0],b0[9:0],r1[9:0],g1[9:0],b1[9:0]"},
    {7, "m[4:0],r0[9:0],g0[9:0],b0[9:0],r1[8:0],r0[10],g1[8:0],g0[10],b1[8:0],b0[10]"},
    {11, "m[4:0],r0[9:0],g0[9:0],b0[9:0],r1[7:0],r0[10:11],g1[7:0],g0[10:11],b1[7:0],b0[10:11]"},
    {15, "m[4:0],r0[9:0],g0[9:0],b0[9:0],r1[3:0],r0[10:15],g1[3:0],g0[10:15],b1[3:0],b0[10:15]"},
};

} // namespace

std::vector<uint8_t> EncodeBC7(const BC7Fields& f) {
    const unsigned* m = kBC7[f.mode];
    const unsigned ends = 2 * m[0];
    BlockBits bits;
    bits.Put(uint64_t(1) << f.mode, f.mode + 1);
    bits.Put(f.partition, m[1]);
    bits.Put(f.rotation, m[2]);
    bits.Put(f.selector, m[3]);
    for (const uint8_t* channel : {f.red, f.green, f.blue})
        for (unsigned e = 0; e < ends; ++e) bits.Put(channel[e], m[4]);
    for (unsigned e = 0; e < ends && m[5]; ++e) bits.Put(f.alpha[e], m[5]);
    for (unsigned e = 0; e < ends && m[6]; ++e) bits.Put(f.pbit[e], 1);
    for (unsigned s = 0; s < m[0] && m[7]; ++s) bits.Put(f.pbit[s], 1);
    PutIndices(bits, f.index, m[8], f.anchors);
    if (m[9]) PutIndices(bits, f.index2, m[9], {0});
    return bits.Bytes();
}

std::vector<uint8_t> EncodeBC6H(const BC6HFields& f) {
    const char* layout = nullptr;
    for (const BC6HLayout& l : kBC6H)
        if (l.mode == f.mode) layout = l.fields;
    if (!layout) std::abort();
    BlockBits bits;
    const std::string text = layout;
    for (size_t at = 0; at < text.size();) {
        const size_t open = text.find('[', at), close = text.find(']', open);
        const std::string name = text.substr(at, open - at);
        const std::string range = text.substr(open + 1, close - open - 1);
        const size_t colon = range.find(':');
        const int a = std::atoi(range.c_str());
        const int b = colon == std::string::npos ? a : std::atoi(range.c_str() + colon + 1);
        uint32_t v = 0;
        if (name == "m")
            v = f.mode;
        else if (name == "d")
            v = f.partition;
        else
            v = f.value[3 * unsigned(name[1] - '0') + (name[0] == 'r'   ? 0
                                                       : name[0] == 'g' ? 1
                                                                        : 2)];
        for (int k = b;; k += a >= b ? 1 : -1) {
            bits.Put(v >> k & 1, 1);
            if (k == a) break;
        }
        at = close + 2;
    }
    const bool twoSubsets = f.mode < 3 || (f.mode % 4 == 2);
    PutIndices(bits, f.index, twoSubsets ? 3 : 4, f.anchors);
    return bits.Bytes();
}

} // namespace testkit
