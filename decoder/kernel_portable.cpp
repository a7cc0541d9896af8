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

    DECODER_READS_PAST_END
    static std::uint64_t Load(const char16_t* block)
    {
        std::uint64_t word;
        std::memcpy(&word, block, sizeof word);
        return word;
    }

    // The high bit of each 16-bit lane of `word` that is 0, and no other.
    static std::uint64_t ZeroLanes(std::uint64_t word)
    {
        const std::uint64_t low = ~Highs;
        return ~(((word & low) + low) | word | low);
    }

    DECODER_READS_PAST_END
    static unsigned Hits(const char16_t* block, char16_t unit)
    {
        const std::uint64_t word = Load(block);
        const std::uint64_t lanes = (ZeroLanes(word) | ZeroLanes(word ^ Ones * unit)) >> 15;
        return static_cast<unsigned>((lanes | lanes >> 15 | lanes >> 30 | lanes >> 45) & 0xF);
    }

    // A lane is 0 in `word` or in `word ^ needle` exactly when one of these
    // has a high bit set somewhere; which lane it names may be wrong.
    DECODER_READS_PAST_END
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
