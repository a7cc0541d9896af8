// The portable kernel: plain C++ for every processor, searching four units
// at a time in aligned 64-bit words, which never cross a page.
#include "decode_driver.h"
#include "kernels.h"

#include <cstring>

namespace {

struct PortableKernel {
    static const std::size_t BlockUnits = 4;
    static const unsigned HitBits = 1;
    static const std::size_t StretchUnits = 4;
    using CharRefGroups = Groups<>;
    using UcnGroups = Groups<>;
    static const bool ReadsCharRefAtOnce = false;

    static constexpr std::uint64_t Ones = 0x0001000100010001u;
    static constexpr std::uint64_t Highs = 0x8000800080008000u;

    KERNEL_READS_PAST_END
    static std::uint64_t Load(const char16_t* block)
    {
        std::uint64_t word;
        std::memcpy(&word, block, sizeof word);
        return word;
    }

    // The high bit of each 16-bit lane of `word` that is 0, and no other: a
    // lane's low 15 bits plus 0x7FFF carry into its high bit unless they are
    // all 0, and the lane's own high bit must be clear too. This and the
    // test in StretchHits are the word-at-a-time zero tests that Anderson's
    // "Bit Twiddling Hacks" collects, for 16-bit lanes.
    static std::uint64_t ZeroLanes(std::uint64_t word)
    {
        const std::uint64_t low = ~Highs;
        return ~(((word & low) + low) | word | low);
    }

    KERNEL_READS_PAST_END
    static unsigned Hits(const char16_t* block, char16_t unit)
    {
        const std::uint64_t word = Load(block);
        const std::uint64_t lanes = (ZeroLanes(word) | ZeroLanes(word ^ Ones * unit)) >> 15;
        return static_cast<unsigned>((lanes | lanes >> 15 | lanes >> 30 | lanes >> 45) & 0xF);
    }

    // A lane is 0 in `word` or in `word ^ needle` exactly when one of these
    // has a high bit set somewhere (subtracting 1 borrows through a lane of
    // 0 and sets its high bit); which lane it names may be wrong.
    KERNEL_READS_PAST_END
    static bool StretchHits(const char16_t* block, char16_t unit)
    {
        const std::uint64_t word = Load(block);
        const std::uint64_t matches = word ^ Ones * unit;
        return ((((word - Ones) & ~word) | ((matches - Ones) & ~matches)) & Highs) != 0;
    }
};

}  // namespace

void DecodeTextPortable(char16_t* text, DecodeMode mode)
{
    DecodeWith<PortableKernel>(text, mode);
}
