// What the kernels' whole-block reads share: aligned blocks, the pages they
// stay in, and the lowest set bit of a hit mask (lowest_set_bit.h). Included
// by the passes and the kernel files only.
//
// Everything in the kernels' shared headers has internal linkage. An inline
// function shared by name between files compiled for different instruction
// sets would be compiled once per file, and the linker would keep any one of
// the copies: the AVX2 one could then run on a processor without AVX2.
#ifndef TEXT_KERNELS_BLOCK_READS_H
#define TEXT_KERNELS_BLOCK_READS_H

#include "text_kernels/lowest_set_bit.h"

#include <cstddef>
#include <cstdint>

// The kernels read whole blocks that may reach past the terminator, though
// never into a page that holds none of the text. AddressSanitizer cannot
// know that, so the functions that load such blocks are left out of its
// checks.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KERNEL_READS_PAST_END __attribute__((no_sanitize_address))
#endif
#endif
#if !defined(KERNEL_READS_PAST_END) && defined(__SANITIZE_ADDRESS__)
#if defined(_MSC_VER) && !defined(__clang__)
#define KERNEL_READS_PAST_END __declspec(no_sanitize_address)
#else
#define KERNEL_READS_PAST_END __attribute__((no_sanitize_address))
#endif
#endif
#if !defined(KERNEL_READS_PAST_END)
#define KERNEL_READS_PAST_END
#endif

namespace {

// Memory is mapped in pages of at least 4 KiB on every system the vector
// kernels run on: a read that stays within a page that holds a unit of the
// text cannot fault.
const std::size_t PageUnits = 4096 / sizeof(char16_t);

const char16_t* AlignDown(const char16_t* p, std::size_t units)
{
    const std::uintptr_t bytes = units * sizeof(char16_t);
    return reinterpret_cast<const char16_t*>(reinterpret_cast<std::uintptr_t>(p) & ~(bytes - 1));
}

bool IsAligned(const char16_t* p, std::size_t units)
{
    return (reinterpret_cast<std::uintptr_t>(p) & (units * sizeof(char16_t) - 1)) == 0;
}

// The end of the page that holds `p`.
const char16_t* PageEnd(const char16_t* p)
{
    return AlignDown(p, PageUnits) + PageUnits;
}

}  // namespace

#endif
