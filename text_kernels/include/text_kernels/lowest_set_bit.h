// The index of the lowest set bit of a hit mask, for the kernel files of
// every pass. Internal linkage, as everything the kernels share (see
// block_reads.h).
#ifndef TEXT_KERNELS_LOWEST_SET_BIT_H
#define TEXT_KERNELS_LOWEST_SET_BIT_H

#include <cstdint>

#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#endif

namespace {

// The index of the lowest set bit of a mask that is not 0.
inline unsigned LowestSetBit(std::uint32_t mask)
{
#if defined(_MSC_VER) && !defined(__clang__)
    unsigned long index;
    _BitScanForward(&index, mask);
    return index;
#else
    return static_cast<unsigned>(__builtin_ctz(mask));
#endif
}

// The same for a 64-bit mask.
inline unsigned LowestSetBit64(std::uint64_t mask)
{
#if defined(_MSC_VER) && !defined(__clang__) && defined(_M_X64)
    unsigned long index;
    _BitScanForward64(&index, mask);
    return index;
#elif defined(_MSC_VER) && !defined(__clang__)
    const std::uint32_t low = static_cast<std::uint32_t>(mask);
    return low != 0 ? LowestSetBit(low) : 32 + LowestSetBit(static_cast<std::uint32_t>(mask >> 32));
#else
    return static_cast<unsigned>(__builtin_ctzll(mask));
#endif
}

}  // namespace

#endif
