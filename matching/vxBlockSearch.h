#pragma once
// The matcher's block substring search, written once for every vector width it is built for.
// A needle byte matches a text byte X when (X | Mask) == Value (see TNeedle).
#include <cstddef>
#include <cstdint>

// First place at or after I where the M needle bytes match in the N bytes at H, or SIZE_MAX.
// Needs M >= 1, P < Q < M (or P == Q == 0 for M == 1) and N - I >= M + TLanes::Width - 1. Each
// step tests TLanes::Width places at once by the needle's bytes at P and Q (chosen to be rare in
// text); the last step overlaps the one before it instead of leaving a tail to walk byte by byte,
// and ignores the places already seen.
template <class TLanes>
inline std::size_t BlockFind(const char* H, std::size_t N, std::size_t I, const char* Value, const char* Mask,
                             std::size_t M, std::size_t P, std::size_t Q) {
    constexpr std::size_t W = TLanes::Width;
    const auto FirstMask = TLanes::Set(Mask[P]);
    const auto FirstValue = TLanes::Set(Value[P]);
    const auto LastMask = TLanes::Set(Mask[Q]);
    const auto LastValue = TLanes::Set(Value[Q]);
    for (;;) {
        if (I + M > N) // every place seen
            return SIZE_MAX;
        const bool LastStep = I + M + W - 1 > N;
        const std::size_t Start = LastStep ? N - M - (W - 1) : I;
        std::uint32_t Bits =
            TLanes::Places(H + Start + P, H + Start + Q, FirstMask, FirstValue, LastMask, LastValue);
        if (LastStep)
            Bits &= ~std::uint32_t{0} << (I - Start);
        while (Bits != 0) {
            const std::size_t At = Start + static_cast<std::size_t>(__builtin_ctz(Bits));
            std::size_t K = 0;
            while (K < M && (H[At + K] | Mask[K]) == Value[K])
                ++K;
            if (K == M)
                return At;
            Bits &= Bits - 1;
        }
        if (LastStep)
            return SIZE_MAX;
        I += W;
    }
}

// 32 places a step. Built for AVX2 in a unit of its own; call it only where the processor has it.
std::size_t BlockFindWide(const char* H, std::size_t N, std::size_t I, const char* Value, const char* Mask,
                          std::size_t M, std::size_t P, std::size_t Q);
