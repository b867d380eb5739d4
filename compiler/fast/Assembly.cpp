#include "compiler/fast/Internal.h"

#include <cstring>

namespace zez::fast {
namespace {

// 8 x 8 bit transpose: bit j of byte i <-> bit i of byte j.
constexpr uint64_t Transpose8(uint64_t x) {
    uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
    x ^= t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
    x ^= t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
    x ^= t ^ (t << 28);
    return x;
}

template <int Shift, uint64_t Mask>
inline void SwapBits(uint64_t& a, uint64_t& b) {
    const uint64_t t = ((a >> Shift) ^ b) & Mask;
    b ^= t;
    a ^= t << Shift;
}

// Where each output's bitmap word for word w is: w restricted to the inputs it depends on.
using Sources = std::array<const uint64_t*, kOutputs>;
inline Sources SourcesOf(const std::array<OutputBits, kOutputs>& bits,
                         const std::array<int, kOutputs>& masks, int w) {
    Sources src;
    for (int o = 0; o < kOutputs; ++o) src[o] = &bits[o][w & masks[o]];
    return src;
}

// The 64 output bytes of bitmap word w.
void AssembleWordScalar(const Sources& src, uint8_t* dst) {
    std::array<uint64_t, 8> a{};
    for (int o = 0; o < kOutputs; ++o) a[o] = *src[o];
    // Byte transpose: afterwards byte o of a[j] is byte j of output o's word.
    for (int o = 0; o < 4; ++o) SwapBits<32, 0x00000000FFFFFFFFull>(a[o], a[o + 4]);
    for (int o : {0, 1, 4, 5}) SwapBits<16, 0x0000FFFF0000FFFFull>(a[o], a[o + 2]);
    for (int o : {0, 2, 4, 6}) SwapBits<8, 0x00FF00FF00FF00FFull>(a[o], a[o + 1]);
    for (int j = 0; j < 8; ++j) {
        const uint64_t y = Transpose8(a[j]);
        for (int k = 0; k < 8; ++k) dst[8 * j + k] = static_cast<uint8_t>(y >> (8 * k));
    }
}

#if ZEZ_HAVE_SSE2
__m128i Transpose8x2(__m128i x) {
    __m128i t = _mm_and_si128(_mm_xor_si128(x, _mm_srli_epi64(x, 7)),
                              _mm_set1_epi64x(0x00AA00AA00AA00AAll));
    x = _mm_xor_si128(x, _mm_xor_si128(t, _mm_slli_epi64(t, 7)));
    t = _mm_and_si128(_mm_xor_si128(x, _mm_srli_epi64(x, 14)),
                      _mm_set1_epi64x(0x0000CCCC0000CCCCll));
    x = _mm_xor_si128(x, _mm_xor_si128(t, _mm_slli_epi64(t, 14)));
    t = _mm_and_si128(_mm_xor_si128(x, _mm_srli_epi64(x, 28)),
                      _mm_set1_epi64x(0x00000000F0F0F0F0ll));
    return _mm_xor_si128(x, _mm_xor_si128(t, _mm_slli_epi64(t, 28)));
}

void AssembleWordSse2(const Sources& src, uint8_t* dst) {
    auto row = [&](int o) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src[o])); };
    // Byte transpose by interleaving: column j (64 bits) holds byte j of every output's word.
    const __m128i t0 = _mm_unpacklo_epi8(row(0), row(1));
    const __m128i t1 = _mm_unpacklo_epi8(row(2), row(3));
    const __m128i t2 = _mm_unpacklo_epi8(row(4), row(5));
    const __m128i t3 = _mm_unpacklo_epi8(row(6), row(7));
    const __m128i u0 = _mm_unpacklo_epi16(t0, t1);
    const __m128i u1 = _mm_unpackhi_epi16(t0, t1);
    const __m128i u2 = _mm_unpacklo_epi16(t2, t3);
    const __m128i u3 = _mm_unpackhi_epi16(t2, t3);
    auto* out = reinterpret_cast<__m128i*>(dst);
    _mm_storeu_si128(out + 0, Transpose8x2(_mm_unpacklo_epi32(u0, u2)));
    _mm_storeu_si128(out + 1, Transpose8x2(_mm_unpackhi_epi32(u0, u2)));
    _mm_storeu_si128(out + 2, Transpose8x2(_mm_unpacklo_epi32(u1, u3)));
    _mm_storeu_si128(out + 3, Transpose8x2(_mm_unpackhi_epi32(u1, u3)));
}
#endif

#if ZEZ_HAVE_AVX2
// The SSE2 steps on two words at once, one in each 128-bit half.
ZEZ_TARGET_AVX2 inline __m256i Transpose8x4(__m256i x) {
    __m256i t = _mm256_and_si256(_mm256_xor_si256(x, _mm256_srli_epi64(x, 7)),
                                 _mm256_set1_epi64x(0x00AA00AA00AA00AAll));
    x = _mm256_xor_si256(x, _mm256_xor_si256(t, _mm256_slli_epi64(t, 7)));
    t = _mm256_and_si256(_mm256_xor_si256(x, _mm256_srli_epi64(x, 14)),
                         _mm256_set1_epi64x(0x0000CCCC0000CCCCll));
    x = _mm256_xor_si256(x, _mm256_xor_si256(t, _mm256_slli_epi64(t, 14)));
    t = _mm256_and_si256(_mm256_xor_si256(x, _mm256_srli_epi64(x, 28)),
                         _mm256_set1_epi64x(0x00000000F0F0F0F0ll));
    return _mm256_xor_si256(x, _mm256_xor_si256(t, _mm256_slli_epi64(t, 28)));
}

ZEZ_TARGET_AVX2 inline __m256i RowPair(const uint64_t* lo, const uint64_t* hi) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(lo))),
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(hi)), 1);
}

// Words w and w + 1 into the 128 bytes at dst.
ZEZ_TARGET_AVX2 void AssembleTwoWordsAvx2(const std::array<OutputBits, kOutputs>& bits,
                                          const std::array<int, kOutputs>& masks, int w,
                                          uint8_t* dst) {
    const auto row = [&](int o) ZEZ_TARGET_AVX2 {
        return RowPair(&bits[o][w & masks[o]], &bits[o][(w + 1) & masks[o]]);
    };
    const __m256i t0 = _mm256_unpacklo_epi8(row(0), row(1));
    const __m256i t1 = _mm256_unpacklo_epi8(row(2), row(3));
    const __m256i t2 = _mm256_unpacklo_epi8(row(4), row(5));
    const __m256i t3 = _mm256_unpacklo_epi8(row(6), row(7));
    const __m256i u0 = _mm256_unpacklo_epi16(t0, t1);
    const __m256i u1 = _mm256_unpackhi_epi16(t0, t1);
    const __m256i u2 = _mm256_unpacklo_epi16(t2, t3);
    const __m256i u3 = _mm256_unpackhi_epi16(t2, t3);
    const __m256i r0 = Transpose8x4(_mm256_unpacklo_epi32(u0, u2));
    const __m256i r1 = Transpose8x4(_mm256_unpackhi_epi32(u0, u2));
    const __m256i r2 = Transpose8x4(_mm256_unpacklo_epi32(u1, u3));
    const __m256i r3 = Transpose8x4(_mm256_unpackhi_epi32(u1, u3));
    auto* out = reinterpret_cast<__m256i*>(dst);
    _mm256_storeu_si256(out + 0, _mm256_permute2x128_si256(r0, r1, 0x20));
    _mm256_storeu_si256(out + 1, _mm256_permute2x128_si256(r2, r3, 0x20));
    _mm256_storeu_si256(out + 2, _mm256_permute2x128_si256(r0, r1, 0x31));
    _mm256_storeu_si256(out + 3, _mm256_permute2x128_si256(r2, r3, 0x31));
}
#endif

}  // namespace

void AssembleWords(const std::array<OutputBits, kOutputs>& bits,
                   const std::array<int, kOutputs>& masks, ControlArray& array,
                   [[maybe_unused]] AssemblyKernel kernel, int from, int to) {
    int w = from;  // without vector units (arm64) only the portable kernel exists
#if ZEZ_HAVE_AVX2
    if (kernel == AssemblyKernel::Avx2)
        for (; w + 1 < to; w += 2) AssembleTwoWordsAvx2(bits, masks, w, array.data() + 64 * w);
#endif
    for (; w < to; ++w) {
        uint8_t* dst = array.data() + 64 * w;
#if ZEZ_HAVE_SSE2
        if (kernel != AssemblyKernel::Portable) {
            AssembleWordSse2(SourcesOf(bits, masks, w), dst);
            continue;
        }
#endif
        AssembleWordScalar(SourcesOf(bits, masks, w), dst);
    }
}

}  // namespace zez::fast

namespace zez {

using namespace fast;

std::vector<AssemblyKernel> AssemblyKernels() {
    std::vector<AssemblyKernel> k = {AssemblyKernel::Portable};
#if ZEZ_HAVE_SSE2
    k.push_back(AssemblyKernel::Sse2);
#endif
#if ZEZ_HAVE_AVX2
    if (__builtin_cpu_supports("avx2")) k.push_back(AssemblyKernel::Avx2);
#endif
    return k;
}

void AssembleControlArray(const std::array<OutputBits, kOutputs>& bits,
                          const std::array<int, kOutputs>& masks, ControlArray& array,
                          AssemblyKernel kernel) {
    int wordMask = 0;
    for (int m : masks) wordMask |= m;
    // Runs of words inside the mask come from the bitmaps; a word outside it repeats the 64
    // bytes of the word it agrees with on the mask, which comes before it.
    for (int w = 0; w < kBitWords;) {
        if ((w & ~wordMask) != 0) {
            std::memcpy(array.data() + 64 * w, array.data() + 64 * (w & wordMask), 64);
            ++w;
            continue;
        }
        int end = w + 1;
        while (end < kBitWords && (end & ~wordMask) == 0) ++end;
        AssembleWords(bits, masks, array, kernel, w, end);
        w = end;
    }
}

}  // namespace zez
