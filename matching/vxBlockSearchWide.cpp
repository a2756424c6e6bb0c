// Compiled with AVX2 enabled: nothing here may be shared with code that runs without it, so this
// unit uses no library templates and keeps its helpers to itself.
#include "matching/vxBlockSearch.h"

#include <immintrin.h>

namespace {

struct TWideLanes {
    static constexpr std::size_t Width = 32;
    static __m256i Set(char C) { return _mm256_set1_epi8(C); }
    static std::uint32_t Places(const char* First, const char* Last, __m256i FirstMask, __m256i FirstValue,
                                __m256i LastMask, __m256i LastValue) {
        const __m256i A = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(First));
        const __m256i B = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Last));
        const __m256i Eq = _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_or_si256(A, FirstMask), FirstValue),
                                            _mm256_cmpeq_epi8(_mm256_or_si256(B, LastMask), LastValue));
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(Eq));
    }
};

} // namespace

std::size_t BlockFindWide(const char* H, std::size_t N, std::size_t I, const char* Value, const char* Mask,
                          std::size_t M, std::size_t P, std::size_t Q) {
    return BlockFind<TWideLanes>(H, N, I, Value, Mask, M, P, Q);
}
