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

}  // namespace

#endif
