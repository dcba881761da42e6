// Reads typed values from the front of a fuzz input; past its end every value is 0. Plain and
// portable, so that the regression test replays inputs the same way in every build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

class ByteInput {
  public:
    ByteInput(const uint8_t* data, size_t size) : m_pData(data), m_nLeft(size) {}

    template <class T> T ConsumeIntegral() {
        static_assert(std::is_integral<T>::value, "integers only");
        typedef typename std::make_unsigned<T>::type U;
        U v = 0;
        for (size_t k = 0; k < sizeof(T); ++k) v = U(v | U(U(NextByte()) << (8 * k)));
        return T(v);
    }

    // A value in lo..hi: the raw value modulo the range's width.
    template <class T> T ConsumeIntegralInRange(T lo, T hi) {
        const uint64_t width = uint64_t(int64_t(hi) - int64_t(lo)) + 1;
        return T(int64_t(lo) + int64_t(ConsumeIntegral<uint32_t>() % width));
    }

    bool ConsumeBool() { return (NextByte() & 1) != 0; }

    // `n` bytes, fewer when the input ends.
    template <class T> std::vector<T> ConsumeBytes(size_t n) {
        static_assert(sizeof(T) == 1, "bytes only");
        const size_t take = n < m_nLeft ? n : m_nLeft;
        std::vector<T> out(m_pData, m_pData + take);
        m_pData += take;
        m_nLeft -= take;
        return out;
    }

  private:
    uint8_t NextByte() {
        if (m_nLeft == 0) return 0;
        --m_nLeft;
        return *m_pData++;
    }

    const uint8_t* m_pData;
    size_t m_nLeft;
};
